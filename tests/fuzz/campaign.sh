#!/usr/bin/env bash
# A fuzzing campaign: runs each fuzz target in turn, on one core at the lowest priority, until
# it has done RUNS executions or SECONDS of wall time have passed, from its seeds and the
# corpus of earlier campaigns kept in the build tree. Prints one line of figures per target
# (wall and processor seconds: on a shared machine the two differ); logs, the figures and any
# crashing inputs stay in BUILD/tests/fuzz/campaign/.
# Usage: tests/fuzz/campaign.sh [BUILD] [SECONDS] [RUNS] [TARGET[:SECONDS[:RUNS]]...]
#   the full campaign:  tests/fuzz/campaign.sh build/host 3600 10000000
#   one target longer:  tests/fuzz/campaign.sh build/host 600 10000000 version archive:3600
# With FUZZ_UNTIL set (a time `date -d` reads, such as 18:25), each target gets at most an
# equal share of the time left for the targets still to run; a target that reaches RUNS early
# leaves its time to those after it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/host}" && pwd)
seconds=${2:-3600}
runs=${3:-10000000}
shift $(($# > 3 ? 3 : $#))
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(version format jpeg uninstall-record archive configuration bundle-info setting-lines)

fuzz=$build/tests/fuzz
out=$fuzz/campaign
seeds=$root/tests/fuzz/seeds
mkdir -p "$out" "$fuzz/generated/archive" "$fuzz/generated/record"
# The archive and controller targets write their setup data for every input: into memory
# where possible.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
"$build/tests/fuzz/MakeFuzzSeeds" "$fuzz/generated/archive" >/dev/null
"$build/tests/fuzz/UninstallRecordSeeds" "$fuzz/generated/record" >/dev/null

left=${#targets[@]}
for entry in "${targets[@]}"; do
  IFS=: read -r target limit count <<<"$entry"
  limit=${limit:-$seconds}
  count=${count:-$runs}
  if [ -n "${FUZZ_UNTIL:-}" ]; then
    share=$((($(date -d "$FUZZ_UNTIL" +%s) - $(date +%s)) / left))
    [ "$share" -lt "$limit" ] && limit=$share
    [ "$limit" -lt 1 ] && limit=1
  fi
  left=$((left - 1))
  folders=()
  case $target in
    archive) folders+=("$fuzz/generated/archive") ;;
    uninstall-record) folders+=("$fuzz/generated/record") ;;
  esac
  [ -d "$seeds/$target" ] && folders+=("$seeds/$target")
  corpus=$out/$target-corpus
  mkdir -p "$corpus" "$out/$target-findings"
  start=$(date +%s)
  nice -n 19 /usr/bin/time -f '%U %S' -o "$out/$target.cpu" \
    "$fuzz/$target-fuzzer" -runs="$count" -max_total_time="$limit" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$out/$target-findings/" \
    "$corpus" "${folders[@]}" >"$out/$target.log" 2>&1
  status=$?
  elapsed=$(($(date +%s) - start))
  cpu=$(awk 'END { printf "%d", $1 + $2 }' "$out/$target.cpu")
  last=$(grep -E '^#[0-9]+' "$out/$target.log" | tail -n1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target.log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$out/$target.log")
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  units=$(ls "$corpus" | wc -l)
  findings=$(ls "$out/$target-findings" | wc -l)
  line="$target: exit $status, ${execs:-?} executions in ${elapsed} s of ${limit} (${cpu:-?} s of processor), cov ${cov:-?},"
  line+=" ft ${ft:-?}, corpus $units, RSS ${rss:-?} MB, findings $findings"
  echo "$line" | tee -a "$out/summary.txt"
done
