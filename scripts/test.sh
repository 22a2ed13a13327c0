#!/usr/bin/env bash
# Builds everything and runs every test: the native tests, then the Windows tests under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" || exit 1
status=0
echo "== native tests"
ctest --test-dir "$build/host" --output-on-failure || status=1
echo "== Windows tests under Wine"
ctest --test-dir "$build/win32" --output-on-failure || status=1
exit $status
