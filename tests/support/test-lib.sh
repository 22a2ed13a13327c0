# shellcheck shell=bash
# Sourced by the test scripts: the mechanics they share (counting failures, clean-up when the
# script ends, the Wine session, packing and driving the setup program under test), so that
# each script says only what it checks.
# Sets root (the source tree), here (the sourcing script's folder) and wine_run, the runner
# of a Windows program in the build folder's Wine session.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$root/scripts/wine-run.sh"
failures=0
exit_actions=()

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

# at_exit COMMAND [ARGUMENT...]: runs the command when the script ends, however it ends; the
# command registered last runs first.
at_exit() {
  exit_actions+=("$(printf '%q ' "$@")")
  trap run_exit_actions EXIT
}
run_exit_actions() {
  local i
  for ((i = ${#exit_actions[@]} - 1; i >= 0; i--)); do
    eval "${exit_actions[i]}" || true
  done
}

# Sets work to a new temporary folder, removed when the script ends.
scratch_folder() {
  work=$(mktemp -d)
  at_exit rm -rf "$work"
}

# The environment of the build folder's Wine session ($SETUP_BUILD_DIR, which CTest sets for
# the Windows tests): the prefix, the virtual display and Wine's settings, so that plain
# `wine` runs in it. Sets build to the build folder.
wine_session() {
  . "$root/scripts/wine-env.sh" "${SETUP_BUILD_DIR:?build folder}"
  build=$wine_build
}

# The Linux path of a Windows path in the session's prefix.
unix_path() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# The user's Documents folder in the prefix, as a Linux path.
documents_folder() { unix_path "$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')\\Documents"; }

# pack_setup PRODUCT_FOLDER OUTPUT [OPTION...]: packs the product as version 5.04 of
# 2024-03-01 with $packer (setuppack.exe, in the Wine session) onto a copy of $stub, the
# Setup.exe under test, made in $work.
pack_setup() {
  local product=$1 output=$2
  shift 2
  cp "$stub" "$work/stub.exe"
  "$wine_run" "$packer" pack --quiet --version 5.04 --date 2024-03-01 --stub "$(winpath "$work/stub.exe")" "$@" \
    "$(winpath "$product")" "$(winpath "$output")"
}

# drive SCRIPT [NAME=value...]: setupdriver ($driver) runs a driver script (tools/setupdriver/Script.h)
# with those variables on the session's display; its exit code is the script's verdict. Runs
# plain `wine` in the environment wine_session set, with any changes the caller made to it.
drive() {
  local script=$1
  shift
  wine "$driver" "$@" "$(winpath "$script")"
}

# The sample product's keys: its own, in the machine's and the user's part of the registry,
# and its entry in the list of installed programs.
product_key='Software\Vendor\Velmora'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora 5.04'

# Whether the prefix is 64-bit: the programs under test, all 32-bit, then run under WoW64.
prefix_is_64bit() { [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; }

# reg.exe on the registry as 32-bit programs see it, whichever reg.exe `wine` starts: on
# 64-bit Windows their HKLM\Software is HKLM\Software\Wow6432Node of the 64-bit view.
reg32() { wine reg "$@" /reg:32; }

key_exists() { reg32 query "$1" >/dev/null 2>&1; }

# Deletes every key that an installation of the sample product writes.
forget_product() {
  local key
  for key in "HKLM\\$product_key" "HKCU\\$product_key" "$uninstall_key"; do
    reg32 delete "$key" /f >/dev/null 2>&1 || true
  done
}

# wait_gone PATH: the uninstaller's batch file removes Uninst.exe and the product folder after
# the uninstaller has ended; waits up to 30 s for PATH to go, and fails when it stays.
wait_gone() {
  for _ in $(seq 60); do
    [ -e "$1" ] || return 0
    sleep 0.5
  done
  return 1
}

# small_volume LETTER SIZE FOLDER: a tmpfs volume of SIZE mounted at FOLDER serves as drive
# LETTER: of the prefix until the script ends. Mounting needs root: without it, or when the
# prefix already has that drive, it says why and fails.
small_volume() {
  local link="$WINEPREFIX/dosdevices/${1,,}:"
  if [ -e "$link" ] || [ -L "$link" ]; then
    echo "drive $1: is taken in $WINEPREFIX"
    return 1
  fi
  mkdir -p "$3"
  if ! mount -t tmpfs -o "size=$2" setup-test-volume "$3" 2>/dev/null; then
    rmdir "$3"
    echo "cannot mount a volume of $2 (needs root)"
    return 1
  fi
  ln -s "$3" "$link"
  at_exit remove_small_volume "$link" "$3"
}
remove_small_volume() {
  rm -f "$1"
  umount "$2" || true
  rmdir "$2" || true
}
