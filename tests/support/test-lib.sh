# Sourced by the test scripts: Windows paths, failure counting, and running under Wine.
# Sets wine_run, the runner of a Windows program in the build folder's Wine session.
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine-run.sh"
failures=0

# The Windows form of a Linux path, on Wine's drive Z:, which maps the Linux root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Notes a failed check; the script goes on and ends through finish.
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Ends the script: exit code 1 with the count after any failure, otherwise the text given.
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  [ $# -eq 0 ] || echo "$*"
  exit 0
}
