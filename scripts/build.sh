#!/usr/bin/env bash
# Installs what is missing, then configures and builds both trees:
#   build/host  - Linux: portable core, packing tool, native tests, fuzz targets
#   build/win32 - i686-w64-mingw32: Setup.exe, the packing tool as .exe, Windows tests
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_ROOT:-$root/build}
bash "$root/scripts/bootstrap.sh" "$build"
cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw32.cmake" >/dev/null
cmake --build "$build/host"
cmake --build "$build/win32"
