#!/usr/bin/env bash
# The driver fails with a clear message on each kind of mismatch, with exit code 2 on a
# script error, and ends the program under test so that no window stays open.
# Usage: driver-failures.sh SETUPDRIVER_EXE DRIVER_TARGET_EXE WORK_FOLDER
set -uo pipefail
driver=${1:?setupdriver.exe}
work=${3:?work folder}
. "$(dirname "$0")/../support/test-lib.sh"
mkdir -p "$work"
# A name of its own, so that the check for leftovers sees only this test's processes.
name="target-$$-$RANDOM.exe"
cp "${2:?DriverTarget.exe}" "$work/$name"
target=$(winpath "$work/$name")

# expect_failure CODE TEXT... -- COMMAND...: the driver ends with CODE, prints every TEXT
# and leaves no target process behind.
expect_failure() {
  local code=$1 texts=()
  shift
  while [ "$1" != -- ]; do texts+=("$1"); shift; done
  shift
  local out
  out=$("$wine_run" "$driver" TARGET="$target" "$@" 2>&1)
  local rc=$? text
  for text in "${texts[@]}"; do
    if [ $rc != "$code" ] || ! grep -qF -- "$text" <<<"$out"; then
      fail "expected exit code $code and \"$text\"; got $rc from:"
      printf '%s\n' "$out" | sed 's/^/    /'
    fi
  done
  for _ in $(seq 20); do pgrep -f "$name" >/dev/null || break; sleep 0.1; done
  if pgrep -f "$name" >/dev/null; then
    fail "the target still runs after: $*"
    pkill -f "$name"
  fi
}

# The window may take a while to come up on a busy machine; the step meant to fail then
# gives up after one second.
window=(-e 'start ${TARGET}' -e 'timeout 30' -e 'expect-window "Driver Target"' -e 'timeout 1')

expect_failure 1 'FAIL: -e:5: no window "No such window" (waited 1.0 s)' \
  'window "Driver Target" class DriverTarget' -- "${window[@]}" -e 'expect-window "No such window"'
expect_failure 1 'no visible control shows "wrong"' -- "${window[@]}" -e 'expect-text wrong'
expect_failure 1 'button "Disabled" stays disabled' -- "${window[@]}" -e 'press Disabled'
expect_failure 1 'no visible control "Hidden text"' -- "${window[@]}" -e 'press "Hidden text"'
expect_failure 1 'the push buttons are "&Apply" "Disabled" "&Close" "&Message"' -- "${window[@]}" -e 'expect-buttons OK'
expect_failure 1 'is still running' -- "${window[@]}"
expect_failure 1 'expected exit code 0, got 3' -- "${window[@]}" -e 'press Close' -e 'expect-exit 0'
expect_failure 2 'setupdriver: -e:5: unknown command frobnicate' -- "${window[@]}" -e 'frobnicate'
expect_failure 2 'undefined variable ${NOPE}' -- -e 'start ${NOPE}'

finish
