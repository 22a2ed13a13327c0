#!/usr/bin/env bash
# A fuzzing campaign: runs each fuzz target in turn, on one core at the lowest priority, until
# it has done RUNS executions or SECONDS have passed, from its seeds into a corpus kept in the
# build tree. Prints one line of figures per target; logs and any crashing inputs stay in
# BUILD/tests/fuzz/campaign/.
# Usage: tests/fuzz/campaign.sh [BUILD] [SECONDS] [RUNS] [TARGET...]
#   the full campaign: tests/fuzz/campaign.sh build/host 3600 10000000
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/host}" && pwd)
seconds=${2:-3600}
runs=${3:-10000000}
shift $(($# > 3 ? 3 : $#))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive uninstall-record version format configuration bundle-info setting-lines jpeg)

fuzz=$build/tests/fuzz
out=$fuzz/campaign
seeds=$root/tests/fuzz/seeds
mkdir -p "$out" "$fuzz/generated/archive" "$fuzz/generated/record"
# The controller targets write their setup data for every input: into memory where possible.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
"$build/tests/fuzz/MakeFuzzSeeds" "$fuzz/generated/archive" >/dev/null
"$build/tests/fuzz/UninstallRecordSeeds" "$fuzz/generated/record" >/dev/null

for target in "${targets[@]}"; do
  folders=()
  case $target in
    archive) folders+=("$fuzz/generated/archive") ;;
    uninstall-record) folders+=("$fuzz/generated/record") ;;
  esac
  [ -d "$seeds/$target" ] && folders+=("$seeds/$target")
  corpus=$out/$target-corpus
  mkdir -p "$corpus" "$out/$target-findings"
  start=$(date +%s)
  nice -n 19 "$fuzz/$target-fuzzer" -runs="$runs" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$out/$target-findings/" \
    "$corpus" "${folders[@]}" >"$out/$target.log" 2>&1
  status=$?
  elapsed=$(($(date +%s) - start))
  last=$(grep -E '^#[0-9]+' "$out/$target.log" | tail -n1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target.log")
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  units=$(ls "$corpus" | wc -l)
  findings=$(ls "$out/$target-findings" | wc -l)
  echo "$target: exit $status, ${execs:-?} executions in ${elapsed} s, cov ${cov:-?}, ft ${ft:-?}, corpus $units, findings $findings"
done
