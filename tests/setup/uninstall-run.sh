#!/usr/bin/env bash
# The uninstall run end to end under Wine: a product installed by the install engine from a
# packed Setup.exe is removed by the Uninst.exe that the installation wrote, driven through
# its dialogs; afterwards the test compares what exists with what must.
# Usage: uninstall-run.sh HELPER_EXE SETUPDRIVER_EXE SETUP_EXE SETUPPACK_EXE WORK_FOLDER [progress]
#   progress: a product of 10,000 files, watched while it is removed
set -euo pipefail
helper=${1:?UninstallRunHelper.exe}
driver=${2:?setupdriver.exe}
stub=${3:?Setup.exe}
packer=${4:?setuppack.exe}
work=${5:?work folder}
case_name=${6:-}
. "$(dirname "$0")/../support/test-lib.sh"
wine_session

rm -rf "$work"
mkdir -p "$work/product/Program/Data" "$work/product/Program/Help"
printf '[Setup]\r\nProductName=Velmora\r\n' >"$work/product/Setup.ini"
# The files pack requires, also with --ignore-errors; the helper reads none of them.
printf 'License\r\n' >"$work/product/Setup.lic"
cp "$root/examples/sample/Setup.jpg" "$work/product/Setup.jpg"
head -c 5000 /dev/urandom >"$work/product/Program/Velmora.exe"
printf 'preset' >"$work/product/Program/Data/Factory.preset"
printf 'manual' >"$work/product/Program/Help/Manual.txt"
if [ "$case_name" = progress ]; then
  # 100 folders of 100 files: seconds of work for the uninstaller.
  for folder in $(seq -w 0 99); do
    mkdir -p "$work/product/Program/Data/$folder"
    for file in $(seq -w 0 99); do printf 'x' >"$work/product/Program/Data/$folder/$file.txt"; done
  done
fi
pack_setup "$work/product" "$work/Setup.exe" --ignore-errors

"$wine_run" "$helper" clean
at_exit "$wine_run" "$helper" clean

# What exists below a base folder, and which keys; CR LF from the Windows program becomes LF.
state() { "$wine_run" "$helper" state "$(winpath "$1")" | tr -d '\r'; }
expect_state() {
  local base=$1 what=$2 expected=$3 actual
  actual=$(state "$base")
  if [ "$actual" != "$expected" ]; then
    fail "$what"
    diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /' || true
  fi
}
batches() { "$wine_run" "$helper" batches | tr -d '\r'; }
run_driver() {
  batches_before=$(batches)
  drive "$2" "UNINST=$(winpath "$1")" || fail "driver script $(basename "$2")"
}
# The batch file that removes the uninstaller runs after the uninstaller has ended; wait for
# it to remove itself and its folder (its last line), at most 30 s.
wait_for_batch() {
  for _ in $(seq 60); do
    [ "$(batches)" = "$batches_before" ] && [ ! -e "$1" ] && return 0
    sleep 0.5
  done
  fail "the self-removal batch file did not finish"
}

if [ "$case_name" = progress ]; then
  # While the files go, the uninstaller's window answers every probe within 250 ms and its bar
  # moves; a second start of the uninstaller meanwhile ends at once. Then everything is gone.
  base="$work/progress"
  mkdir -p "$base"
  "$wine_run" "$helper" install "$(winpath "$work/Setup.exe")" "$(winpath "$base")"
  run_driver "$base/Programs/Vendor/Velmora/Uninst.exe" "$here/uninstall-progress.driver"
  wait_for_batch "$base/Programs/Vendor/Velmora/Uninst.exe"
  expect_state "$base" "everything is removed" 'Desktop\
Programs\
Programs\Other.txt'
  finish PASS
fi

installed='Desktop\
Desktop\Velmora.lnk
Menu\
Menu\Velmora\
Menu\Velmora\Velmora.lnk
Programs\
Programs\Other.txt
Programs\Vendor\
Programs\Vendor\Velmora\
Programs\Vendor\Velmora\Data\
Programs\Vendor\Velmora\Data\Factory.preset
Programs\Vendor\Velmora\Help\
Programs\Vendor\Velmora\Help\Manual.txt
Programs\Vendor\Velmora\Uninst.exe
Programs\Vendor\Velmora\Velmora.exe
user key
machine key
registration'

# Declined in every way: nothing changes, the uninstaller stays.
base="$work/declined"
mkdir -p "$base"
"$wine_run" "$helper" install "$(winpath "$work/Setup.exe")" "$(winpath "$base")"
expect_state "$base" "the installation" "$installed"
run_driver "$base/Programs/Vendor/Velmora/Uninst.exe" "$here/uninstall-refuse.driver"
expect_state "$base" "nothing is removed when the confirmation is declined" "$installed"

# Confirmed: every file, folder, key and the registration the installation created are gone,
# the uninstaller and its folders too; what existed before stays. A link that another program
# of the user planted where the batch file once had a fixed name, in the user's folder for
# temporary files, leads to a file that stays as it was.
temp=$(unix_path "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")
planted="$temp/Uninstall.bat"
printf 'victim' >"$work/victim.txt"
rm -f "$planted"
ln -s "$work/victim.txt" "$planted"
at_exit rm -f "$planted"
run_driver "$base/Programs/Vendor/Velmora/Uninst.exe" "$here/uninstall-complete.driver"
wait_for_batch "$base/Programs/Vendor/Velmora/Uninst.exe"
expect_state "$base" "everything is removed" 'Desktop\
Programs\
Programs\Other.txt'
[ -L "$planted" ] && [ "$(cat "$work/victim.txt" 2>/dev/null)" = victim ] ||
  fail "the link planted at the old batch file path was followed"

# A file of the user's in a folder of the product: that folder and the folders around it
# stay, with the file; everything else goes.
base="$work/partial"
mkdir -p "$base"
"$wine_run" "$helper" install "$(winpath "$work/Setup.exe")" "$(winpath "$base")"
printf 'mine' >"$base/Programs/Vendor/Velmora/Data/Mine.txt"
run_driver "$base/Programs/Vendor/Velmora/Uninst.exe" "$here/uninstall-partial.driver"
wait_for_batch "$base/Programs/Vendor/Velmora/Uninst.exe"
expect_state "$base" "only the user's file and its folders stay" 'Desktop\
Programs\
Programs\Other.txt
Programs\Vendor\
Programs\Vendor\Velmora\
Programs\Vendor\Velmora\Data\
Programs\Vendor\Velmora\Data\Mine.txt'

finish PASS
