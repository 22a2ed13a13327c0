#!/usr/bin/env bash
# Builds everything, packs the sample product (examples/sample) into a setup program and runs
# it under Wine with a private prefix in the build folder.
#   With DISPLAY set: the wizard opens on that display, for you to click through.
#   Without: it runs on a private virtual display, where the test driver walks through every
#   page to completion and saves a screenshot of each; the script says where they are.
# Usage: bash scripts/run.sh          (SETUP_BUILD_ROOT chooses the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_ROOT:-$root/build}

bash "$root/scripts/build.sh"

# The sample's setup program: the native packing tool appends the archive to the Windows
# Setup.exe.
run="$build/run"
mkdir -p "$run"
setup="$run/VelmoraSetup.exe"
"$build/host/tools/setuppack" pack --quiet --version 5.04 --stub "$build/win32/app/Setup.exe" \
  "$root/examples/sample" "$setup"
echo "run: packed $setup"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ -n "${DISPLAY:-}" ]; then
  # The prefix of this run, on the caller's own display; the wizard is left to the user.
  user_display=$DISPLAY
  . "$root/scripts/wine-env.sh" "$run"
  export DISPLAY=$user_display
  echo "run: starting the wizard on display $DISPLAY (prefix $WINEPREFIX)"
  wine "$setup"
  exit 0
fi

# No display: a private session (prefix, virtual display, wineserver) in the run folder, apart
# from the one the tests use, stopped again on the way out.
bash "$root/scripts/wine-session.sh" start "$run"
trap 'bash "$root/scripts/wine-session.sh" stop "$run"' EXIT
shots="$run/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
SETUP_BUILD_DIR="$run" "$root/scripts/wine-run.sh" "$build/win32/tests/driver/setupdriver.exe" \
  "SETUP=$(winpath "$setup")" "SHOTS=$(winpath "$shots")" 'DEST=C:\Program Files\Vendor\Velmora 5' \
  "$(winpath "$root/tests/e2e/full-install.driver")"
for bmp in "$shots"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm -f "$bmp"
done
echo "run: the wizard installed the sample product into the prefix $run/wineprefix"
echo "run: screenshots of every page in $shots:"
ls -1 "$shots"
