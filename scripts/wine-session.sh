#!/usr/bin/env bash
# Starts or stops the Wine session of a test run: a private prefix inside the build folder,
# a virtual display (Xvfb on a free display number) and a persistent wineserver, so that
# each Windows test program starts in well under a second.
# Usage: scripts/wine-session.sh start|stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=${1:?start or stop}
. "$here/wine-env.sh" "${2:?build folder}"
state=$wine_state

stop() {
  wineserver -k 2>/dev/null || true
  # Wait for the server to go, so that a new session does not meet the old one's socket.
  wineserver -w 2>/dev/null || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  fi
  rm -rf "$state"
}

start_display() {
  # Xvfb picks a free display number itself and writes it to the descriptor given with
  # -displayfd, so that parallel sessions (other build folders) never race for one.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display-number" \
    </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 200); do
    [ -s "$state/display-number" ] && break
    kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -s "$state/display-number" ]; then
    echo "wine-session: Xvfb did not start:" >&2
    cat "$state/xvfb.log" >&2
    exit 1
  fi
  echo ":$(tr -d '[:space:]' <"$state/display-number")" >"$state/display"
  export DISPLAY=$(cat "$state/display")
}

case "$action" in
start)
  stop
  mkdir -p "$state"
  start_display
  # The persistent server first, so that no Wine program below starts a passing one.
  # Every daemon gets its output away from ours: CTest waits until the pipes of a test
  # close, and a server that kept them open would hold the test until its timeout.
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  # A new prefix is created by the first Wine program itself, together with the one boot of the
  # session (service manager, device services, COM's RPC service). That program must not be
  # "wineboot -i": it boots the prefix a second time, and two service managers then answer
  # the service pipe. Every program that uses COM afterwards (shortcuts, the shell, and the
  # desktop process each window-using test starts, which keeps the test's output open) waits
  # many seconds for an RPC service that never comes up, and the first run on a new machine
  # took five times as long as the next.
  wineboot </dev/null >/dev/null 2>&1
  # Wine links the user's Desktop, Documents and similar folders to the Unix home folder.
  # Tests create shortcuts and files there: give the prefix real folders of its own.
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link"
      mkdir -p "$link"
    fi
  done
  # Settings for tests, applied once per prefix (again when this list changes).
  settings='REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
; No window manager runs on Xvfb: Wine draws the title bars itself, and does not wait
; (two seconds each time) for a window manager to confirm that a window was hidden.
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
; The wizard is designed in "MS Sans Serif" 8 pt, whose "0" is 13 pixels high at 96 pixels per
; inch, as on Windows. Where Wine has no font of that name (its own fonts are a package of
; their own), it would take whatever the machine has, and another height scales every page:
; a stand-in of the same height, the same on every machine. Wine skips a replacement for a
; face that exists.
"MS Sans Serif"="DejaVu Sans"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
; A crashing test program ends with an error code instead of waiting in a crash dialog.
"ShowCrashDialog"=dword:00000000
'
  stamp="$WINEPREFIX/test-settings.reg"
  if [ "$(cat "$stamp" 2>/dev/null)" != "$(printf '%s' "$settings")" ]; then
    printf '%s' "$settings" >"$stamp"
    wine regedit /S "$(printf 'Z:%s' "${stamp//\//\\}")" </dev/null >/dev/null 2>&1
  fi
  # Wait until the server answers, so that the first test does not pay for its start.
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  echo "wine-session: prefix $WINEPREFIX, display $DISPLAY"
  ;;
stop)
  stop
  ;;
*)
  echo "usage: $0 start|stop BUILD_DIR" >&2
  exit 2
  ;;
esac
