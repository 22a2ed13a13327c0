#!/usr/bin/env bash
# Runs the benchmarks and prints their figures; they are never part of the tests.
#   1. Adler-32 over 256 MB: each kernel this processor runs against zlib's (native and under Wine)
#   2. packing a 200 MB mixed payload with setuppack on one thread and on all cores
#   3. opening that archive as Setup.exe does (TInstaller) against zlib's adler32 over the same
#      file in 4096-byte blocks, under Wine
#   4. the size of Setup.exe without an archive against its 512 KB goal, by section
#   5. extracting a 200 MB component as Setup.exe does (TInstaller::ExtractComponent) against a
#      plain loop inflating the same members into files and against inflating them to memory,
#      with the peak working set of each, under Wine
#   6. the whole installation run (TSetupInstaller::Install) against the plain loop, pair by
#      pair, on 207 MiB in 1,887 files, on 1 GiB and on a tree of 10,000 files, without and with
#      the status holds; and the longest time the wizard's window took to answer while it copied
#      1 GiB
#   7. a 1 GB setup program's start: the archive check against zlib's adler32 in 4096-byte
#      reads, and the time to the first page
#   8. setuppack check (with the plans of every choice) on a product of 60,000 files
# Usage: bench/run.sh [BUILD_ROOT]   (default: $SETUP_BUILD_ROOT or ./build, as scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${SETUP_BUILD_ROOT:-$root/build}}" && pwd)
host=$build/host
win=$build/win32

cmake --build "$host" --target adler32_bench verify_bench make_payload make_tree setuppack >/dev/null
cmake --build "$win" --target adler32_bench verify_bench extract_bench install_bench start_bench Setup setupdriver >/dev/null

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
# make_payload's folders become products that the setup program runs: a configuration with
# registry settings and two shortcuts, and the sample's picture.
product_files() { # product_files FOLDER
  cat >"$1/Setup.ini" <<'INI'
[Setup]
ProductName=Velmora
RegistryRoot=Software\Vendor\Velmora Bench
DefaultFolder=Vendor\Velmora
[Components]
Program=$ProgramFolder
[RegistrySettings]
General\ShowTips=#1
[GlobalRegistrySettings]
General\InstallFolder=$ProgramFolder
[Shortcuts]
StartMenu=$ProgramFolder\Folder0,Velmora Bench
Desktop=$ProgramFolder\Folder0,Velmora Bench,,0
INI
  cp "$root/examples/sample/Setup.jpg" "$1/"
}
payload() { # payload FOLDER MB [incompressible]: make_payload's files as a product
  "$host/bench/make_payload" "$@" >/dev/null
  product_files "$1"
}
payload "$work/payload" 200
pack() { # pack ARGS...: setuppack's pack; the check's findings on the generated products go to a log
  "$host/tools/setuppack" pack --quiet --ignore-errors --version 5.04 --date 2024-05-01 "$@" 2>>"$work/pack.log"
}
one=$(seconds pack --jobs 1 "$work/payload" "$work/one.dat")
all=$(seconds pack "$work/payload" "$work/Setup.dat")
cmp -s "$work/one.dat" "$work/Setup.dat" && same="identical" || same="DIFFERENT"
echo "  best of 3: one thread ${one} s, $(nproc) threads ${all} s, speed-up $(awk -v a="$one" -v b="$all" 'BEGIN { printf "%.2f", a / b }')x (outputs $same)"
echo "  archive: $(stat -c %s "$work/Setup.dat") bytes"

echo
echo "== 8. Checking a product of 60,000 files (the sample with 600 folders of 100 empty files)"
cp -r "$root/examples/sample" "$work/big"
for folder in $(seq 1 600); do
  mkdir -p "$work/big/Program/Tree/d$((folder % 30))/f$folder"
  (cd "$work/big/Program/Tree/d$((folder % 30))/f$folder" && touch $(seq -f "file%g.dat" 1 100))
done
for _ in 1 2 3; do
  /usr/bin/time -f "  %e s wall, %U s user, %S s system, %M KB peak" \
    "$host/tools/setuppack" check --quiet "$work/big" --version 5.04 2>&1 >/dev/null
done
echo "  goal: under 3 s"
rm -rf "$work/big"

echo
echo "== 3. Opening a 200 MB archive as Setup.exe does, under Wine"
payload "$work/noise" 200 incompressible
pack "$work/noise" "$work/Noise.dat"
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
size=$(stat -c %s "$win/app/Setup.exe")
echo "  $size bytes; goal at most 524288 (512 KB): $([ "$size" -le 524288 ] && echo met || echo NOT MET)"
# The sections that make up the file (sizes in memory; the file rounds each up to 512 bytes).
sections=$(i686-w64-mingw32-objdump -h "$win/app/Setup.exe" | while read -r _ name size _; do
  if [[ $name == .* ]]; then printf ' %s=%d' "${name/#.eh_fram/.eh_frame}" "$((16#$size))"; fi
done)
echo "  sections:$sections"

echo
echo "== 5. Extracting a 200 MB component as Setup.exe does, under Wine"
# The mixed payload: large compressible files, incompressible ones and zeros (make_payload),
# plus thousands of small files in nested folders with empty folders among them (make_tree).
payload "$work/mixed" 160
"$host/bench/make_tree" "$work/mixed/Program/Library" 6000 | sed 's/^/  payload: /'
pack "$work/mixed" "$work/Mixed.dat"
# For the memory figure: the same amount in two large files, one compressible, one not.
mkdir -p "$work/large/Program"
product_files "$work/large"
cp "$root/examples/sample/Setup.lic" "$work/large/"
# (yes ends on SIGPIPE, which pipefail would count as a failure: not in a pipeline.)
head -c 150000000 <(yes "velmora preset gain filter signal sample rate") >"$work/large/Program/Large.txt"
head -c 50000000 /dev/urandom >"$work/large/Program/Noise.bin"
pack "$work/large" "$work/Large.dat"
rm -rf "$work/mixed" "$work/large"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The wineserver of this session does part of every file operation; its CPU time is counted
# next to the program's own. It is the server whose folder belongs to this prefix.
. "$root/scripts/wine-env.sh" "$win"
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server_pid=""
for p in $(pgrep wineserver || true); do
  if [[ $(readlink "/proc/$p/cwd" 2>/dev/null) == */$server_dir ]]; then server_pid=$p; fi
done
server_ticks() { # user + system time of the server in clock ticks
  if [ -n "$server_pid" ]; then awk '{ print $14 + $15 }' "/proc/$server_pid/stat"; else echo 0; fi
}

extract() { # extract MODE ARCHIVE: one run into an empty folder; prints the program's line
  rm -rf "$work/out"
  sync
  local before after line
  before=$(server_ticks)
  line=$(run_wine "$win/bench/extract_bench.exe" "$1" "$(winpath "$2")" Program "$(winpath "$work/out")")
  after=$(server_ticks)
  echo "$line, wineserver CPU $(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }') s"
}

echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
results=$work/extract.txt
: >"$results"
for round in 1 2 3; do
  for mode in engine plain memory; do
    extract "$mode" "$work/Mixed.dat" | tee -a "$results" | sed 's/^/  /'
  done
done
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
best() { awk -v m="$1" '$1 == m && (b == "" || $8 < b) { b = $8 } END { print b }' "$results"; }
engine=$(best engine)
plain=$(best plain)
memory=$(best memory)
echo "  best of 3: engine ${engine} s, plain loop ${plain} s, to memory ${memory} s;" \
  "engine / plain loop $(awk -v a="$engine" -v b="$plain" 'BEGIN { printf "%.2f", a / b }') (goal: at most 1.15)"
echo "  memory, 200 MB in two large files (150 MB compressible, 50 MB noise):"
for mode in engine plain memory; do
  extract "$mode" "$work/Large.dat" | sed 's/^/  /'
done
rm -rf "$work/out"

echo
echo "== 6. The whole installation run against the plain loop, under Wine"
# Three products, each with a configuration of registry settings and two shortcuts:
#   207 MiB in 1,887 files and 172 folders: make_payload's text, program-like binaries, noise
#           and zeros plus make_tree's small files
#   1 GiB   make_payload's mix in 1,000 MB
#   tree    10,000 files of 1 KB to 4 MB in about 1,000 folders (about 440 MB), as a tree of
#           documentation and headers, where the calls per file outweigh the bytes
# Each is installed (TSetupInstaller::Install without the status holds) and extracted by the
# plain loop in turn, five rounds; the ratio is taken pair by pair and its median given.
product() { # product NAME: packs work/NAME into work/NAME.exe
  product_files "$work/$1"
  echo "  $1: $(find "$work/$1/Program" -type f | wc -l) files, $(find "$work/$1/Program" -mindepth 1 -type d | wc -l) folders, $(du -sb "$work/$1/Program" | cut -f1) bytes"
  pack --stub "$win/app/Setup.exe" "$work/$1" "$work/$1.exe"
  rm -rf "${work:?}/$1"
}
"$host/bench/make_payload" "$work/p207" 182 >/dev/null
"$host/bench/make_tree" "$work/p207/Program/Library" 1716 144 >/dev/null
product p207
"$host/bench/make_payload" "$work/p1024" 1000 >/dev/null
product p1024
"$host/bench/make_tree" "$work/tree/Program" 10000 1000 large >/dev/null
mkdir -p "$work/tree/Program/Folder0"
cp "$root/examples/sample/Setup.lic" "$work/tree/"
product tree
install_run() { # install_run MODE PRODUCT: one run into an empty folder
  rm -rf "$work/out"
  sync
  run_wine "$win/bench/install_bench.exe" "$1" "$(winpath "$work/$2.exe")" "$(winpath "$work/out")"
}
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in p207 p1024 tree; do
  ratios=()
  for round in 1 2 3 4 5; do
    run_line=$(install_run run "$name" | tr -d '\r')
    plain_line=$(extract plain "$work/$name.exe" | tr -d '\r')
    run_s=$(sed -n 's/.*total *\([0-9.]*\) s.*/\1/p' <<<"$run_line")
    plain_s=$(awk '{ print $8 }' <<<"$plain_line")
    ratios+=("$(awk -v a="$run_s" -v b="$plain_s" 'BEGIN { printf "%.2f", a / b }')")
    echo "  $name round $round: run $run_s s, plain loop $plain_s s: ${ratios[-1]} (${run_line##*; })"
  done
  median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n 3p)
  echo "  $name: run without holds / plain loop, median of 5 pairs: $median (goal: at most 0.75)"
  install_run paused "$name" | sed 's/^/  /'
done
install_run steps p207 | sed 's/^/  /'
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work/out"

echo
echo "== 6b. The wizard while it copies 1 GiB, under Wine"
# Setup.exe itself, driven to the copying page; the driver asks the window every 50 ms and
# reads the bar until the completion page shows.
rm -rf "$work/out"
line=$(run_wine "$win/tools/setupdriver.exe" "SETUP=$(winpath "$work/p1024.exe")" \
  "DEST=$(winpath "$work/out")" "$(winpath "$root/bench/watch-copy.driver")" | tr -d '\r' | grep probes || true)
echo "  ${line:-the driver failed}"
rm -rf "$work/out" "$work/p207.exe" "$work/p1024.exe" "$work/tree.exe"

echo
echo "== 7. A 1 GB setup program's start, under Wine"
payload "$work/big" 1000 incompressible
pack --stub "$win/app/Setup.exe" "$work/big" "$work/Big.exe"
rm -rf "$work/big"
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
run_wine "$win/bench/verify_bench.exe" "$(winpath "$work/Big.exe")" 3 | sed 's/^/  /'
# The first page with the file in the page cache, then evicted (the check reads it from the
# disk), then evicted and read at 100 MB/s, as from a USB stick or a share (where the kernel's
# block-I/O throttle can be had: cgroup v1, as root).
big=$(winpath "$work/Big.exe")
for round in 1 2 3 4 5; do
  run_wine "$win/bench/start_bench.exe" "$big" "Velmora Setup" | sed 's/^/  cached: /'
done
evict() { dd if="$work/Big.exe" iflag=nocache count=0 status=none; }
for round in 1 2 3; do
  evict
  run_wine "$win/bench/start_bench.exe" "$big" "Velmora Setup" | sed 's/^/  evicted: /'
done
slow=/sys/fs/cgroup/blkio/setup-bench-slow
device=$(stat -c '%d' "$work/Big.exe")
if mkdir -p "$slow" 2>/dev/null &&
  echo "$((device >> 8)):$((device & 255)) 104857600" >"$slow/blkio.throttle.read_bps_device" 2>/dev/null; then
  evict
  (echo $BASHPID >"$slow/cgroup.procs" && run_wine "$win/bench/start_bench.exe" "$big" "Velmora Setup") |
    sed 's/^/  evicted, 100 MB\/s: /'
  rmdir "$slow" 2>/dev/null || true
else
  echo "  evicted, 100 MB/s: no block-I/O throttle here"
fi
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -f "$work/Big.exe"
