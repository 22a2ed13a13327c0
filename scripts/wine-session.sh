#!/usr/bin/env bash
# Starts or stops the Wine session of a test run: a private prefix inside the build folder,
# a virtual display (Xvfb on a free display number) and a persistent wineserver, so that
# each Windows test program starts in well under a second.
# Usage: scripts/wine-session.sh start|stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=${1:?start or stop}
. "$here/wine-env.sh" "${2:?build folder}"
state="$wine_build/wine-session"

stop() {
  wineserver -k 2>/dev/null || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  fi
  rm -rf "$state"
}

case "$action" in
start)
  stop
  mkdir -p "$state"
  # A free display: no lock file and no socket for it.
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
  echo ":$n" >"$state/display"
  export DISPLAY=":$n"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    # No window manager runs on Xvfb: let Wine draw the title bars itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  fi
  wineserver -p
  # Wait until the server answers, so that the first test does not pay for its start.
  wine cmd /c exit 0 >/dev/null 2>&1 || true
  ;;
stop)
  stop
  ;;
*)
  echo "usage: $0 start|stop BUILD_DIR" >&2
  exit 2
  ;;
esac
