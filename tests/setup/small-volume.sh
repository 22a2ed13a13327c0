#!/usr/bin/env bash
# Runs a Windows test program with a small volume as drive Q: of the build folder's Wine
# prefix: a 4 MiB tmpfs mounted inside the build folder. The program finds the drive in
# SETUP_TEST_SMALL_DRIVE. Mounting needs root; without it the variable stays unset and the
# cases that need the drive skip.
# Usage: SETUP_BUILD_DIR=BUILD small-volume.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
. "$(dirname "$0")/../support/test-lib.sh"
wine_session
if small_volume Q 4m "$build/small-volume" >&2; then
  export SETUP_TEST_SMALL_DRIVE=Q:
else
  echo "small-volume: the cases on drive Q: are skipped" >&2
fi
"$wine_run" "$@"
