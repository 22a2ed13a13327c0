#!/usr/bin/env bash
# Runs the benchmarks and prints their figures; they are never part of the tests.
#   1. Adler-32 over 256 MB: ours against zlib's (native and under Wine)
#   2. packing a 200 MB mixed payload with setuppack on one thread and on all cores
#   3. opening that archive as Setup.exe does (TInstaller) against zlib's adler32 over the same
#      file in 4096-byte blocks, under Wine
#   4. the size of Setup.exe without an archive
# Usage: bench/run.sh [BUILD_ROOT]   (default: $SETUP_BUILD_ROOT or ./build, as scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${SETUP_BUILD_ROOT:-$root/build}}" && pwd)
host=$build/host
win=$build/win32

cmake --build "$host" --target adler32_bench verify_bench make_payload setuppack >/dev/null
cmake --build "$win" --target adler32_bench verify_bench >/dev/null

work=$build/bench-work
rm -rf "$work"
mkdir -p "$work"
trap 'bash "$root/scripts/wine-session.sh" stop "$win" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

seconds() { # seconds COMMAND...: runs it three times and prints the best wall time
  local start end best=""
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; if (b != "" && b < t) t = b; printf "%.2f", t }')
  done
  echo "$best"
}

echo "Machine: $(nproc) cores, $(uname -m), $(wine --version 2>/dev/null || echo 'no wine')"
echo
echo "== 1. Adler-32, 256 MB (native)"
"$host/bench/adler32_bench"

echo
echo "== 2. Packing a 200 MB mixed payload"
"$host/bench/make_payload" "$work/payload" 200
pack=("$host/tools/setuppack" pack --quiet --version 5.04 --date 2024-05-01)
one=$(seconds "${pack[@]}" --jobs 1 "$work/payload" "$work/one.dat")
all=$(seconds "${pack[@]}" "$work/payload" "$work/Setup.dat")
cmp -s "$work/one.dat" "$work/Setup.dat" && same="identical" || same="DIFFERENT"
echo "  best of 3: one thread ${one} s, $(nproc) threads ${all} s, speed-up $(awk -v a="$one" -v b="$all" 'BEGIN { printf "%.2f", a / b }')x (outputs $same)"
echo "  archive: $(stat -c %s "$work/Setup.dat") bytes"

echo
echo "== 3. Opening a 200 MB archive as Setup.exe does, under Wine"
"$host/bench/make_payload" "$work/noise" 200 incompressible >/dev/null
"${pack[@]}" "$work/noise" "$work/Noise.dat"
bash "$root/scripts/wine-session.sh" start "$win" >/dev/null
run_wine() { "$root/scripts/wine-run.sh" "$@"; }
run_wine "$win/bench/verify_bench.exe" "Z:$work/Noise.dat" 3
echo "  (native build for comparison)"
"$host/bench/verify_bench" "$work/Noise.dat" 3 | sed 's/^/  /'

echo
echo "== 1b. Adler-32, 256 MB, under Wine (32-bit build)"
run_wine "$win/bench/adler32_bench.exe"

echo
echo "== 4. Setup.exe without an archive"
if [ -f "$win/app/Setup.exe" ]; then
  echo "  $(stat -c %s "$win/app/Setup.exe") bytes ($win/app/Setup.exe)"
else
  echo "  not built yet"
fi
