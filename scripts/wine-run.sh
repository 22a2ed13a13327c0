#!/usr/bin/env bash
# Runs a Windows program under the build folder's Wine session (the CTest emulator).
# The build folder is the one holding CMakeCache.txt above the program, or $SETUP_BUILD_DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${SETUP_BUILD_DIR:-}
if [ -z "$build" ]; then
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build=$d
  if [ "$build" = / ]; then
    echo "wine-run: $1 is not inside a build folder; set SETUP_BUILD_DIR" >&2
    exit 2
  fi
fi
. "$here/wine-env.sh" "$build"
if [ -z "${DISPLAY:-}" ] || [ ! -f "$wine_state/display" ]; then
  echo "wine-run: no Wine session in $build (scripts/wine-session.sh start $build)" >&2
fi
exec wine "$@"
