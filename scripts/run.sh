#!/usr/bin/env bash
# Builds everything, packs the sample product (examples/sample) into a setup program and runs
# it under Wine with a private prefix in the build folder.
#   With DISPLAY set: the wizard opens on that display, for you to click through.
#   Without: setuppack preview runs it in a throwaway prefix on a private virtual display,
#   where the test driver walks through every page to completion and saves a picture of
#   each; the script says where they are.
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

if [ -n "${DISPLAY:-}" ]; then
  # The prefix of this run, on the caller's own display; the wizard is left to the user.
  user_display=$DISPLAY
  . "$root/scripts/wine-env.sh" "$run"
  export DISPLAY=$user_display
  echo "run: starting the wizard on display $DISPLAY (prefix $WINEPREFIX)"
  wine "$setup"
  exit 0
fi

# No display: the preview of the sample, with the real Setup.exe and the real test driver,
# installed into a throwaway prefix.
shots="$run/screenshots"
"$build/host/tools/setuppack" preview --version 5.04 "$root/examples/sample" "$shots"
echo "run: pictures of every page in $shots/96dpi"
