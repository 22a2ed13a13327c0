#!/usr/bin/env bash
# Faults of the system met by the real Setup.exe under Wine, driven on the virtual display:
# what the user sees, and that nothing is left where it does not belong.
# Usage: faults-e2e.sh CASE SETUP_EXE SETUPPACK_EXE SETUPDRIVER_EXE WORK_FOLDER
#   CASE: disk-full (a 4 MiB drive that the copying fills after the free-space check passed;
#         needs root to mount, skipped without), destination (destinations that cannot be
#         folders, and a file where a component's folder must be created), twice (second
#         starts of Setup.exe and Uninst.exe while the wizard runs)
set -euo pipefail
case_name=${1:?case}
stub=${2:?Setup.exe}
packer=${3:?setuppack.exe}
driver=${4:?setupdriver.exe}
work=${5:?work folder}
. "$(dirname "$0")/../support/test-lib.sh"
wine_session

faults_unix="$WINEPREFIX/drive_c/E2E Faults"
clean() {
  forget_product
  rm -rf "$faults_unix"
}
at_exit clean
clean

# The sample product, with extra files in its Program component when the case asks for them.
rm -rf "$work"
mkdir -p "$work"
cp -r "$root/examples/sample" "$work/product"
pack() { pack_setup "$work/product" "$work/VelmoraSetup.exe"; }
setup=$(winpath "$work/VelmoraSetup.exe")

nothing_registered() {
  ! key_exists "$uninstall_key" || fail "$1: an uninstall entry was written"
  ! key_exists "HKLM\\$product_key" || fail "$1: the product's key was written"
}

case "$case_name" in
disk-full)
  # 900 files of one byte take a page of the volume each (3.5 MiB of 4) but count as 900
  # bytes; with the megabyte file last, the product needs about 2 MiB by its sizes, so the
  # free-space check passes and the volume fills in the middle of the last file.
  for i in $(seq -w 0 899); do printf 'x' >"$work/product/Program/a$i.txt"; done
  head -c 1048576 /dev/urandom >"$work/product/Program/zz-big.bin"
  pack
  volume="$build/e2e-full-volume"
  if ! small_volume S 4m "$volume"; then
    echo "skipped"
    exit 0
  fi
  drive "$here/run-fault.driver" "SETUP=$setup" 'DEST=S:\Velmora 5' 'FILE=S:\Velmora 5\zz-big.bin' ||
    fail "driver: the full disk"
  [ -f "$volume/Velmora 5/a899.txt" ] || fail "the disk did not fill where expected: $(ls "$volume/Velmora 5" | tail -3)"
  [ ! -e "$volume/Velmora 5/zz-big.bin" ] || fail "the half-written file is still there"
  [ ! -e "$volume/Velmora 5/Uninst.exe" ] || fail "an uninstaller was written"
  nothing_registered "full disk"
  echo "on the full volume: $(find "$volume" -type f | wc -l) files, $(du -sk "$volume" | cut -f1) KiB"
  ;;
destination)
  pack
  mkdir -p "$faults_unix"
  printf 'mine' >"$faults_unix/blocker"
  missing=
  for letter in m n o p t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
      missing=${letter^^}
      break
    fi
  done
  refused() {
    drive "$here/dest-refused.driver" "SETUP=$setup" "DEST=$1" \
      "WARNING=Could not create the folder '$1\\'."$'\r'"Please specify a valid name." ||
      fail "driver: destination $1 not refused"
  }
  refused "$missing:\\Velmora 5"
  refused 'C:\E2E Faults\blocker\Velmora 5'
  refused 'C:\E2E Faults\blocker'
  [ "$(ls -A "$faults_unix")" = blocker ] || fail "refused destinations left: $(ls -A "$faults_unix")"
  [ "$(cat "$faults_unix/blocker")" = mine ] || fail "the file in the way was changed"
  # A file where one of the product's folders goes: the first file into it fails.
  mkdir -p "$faults_unix/Velmora 5"
  printf 'mine' >"$faults_unix/Velmora 5/Plugins"
  drive "$here/run-fault.driver" "SETUP=$setup" 'DEST=C:\E2E Faults\Velmora 5' \
    'FILE=C:\E2E Faults\Velmora 5\Plugins\Velmora.dll' || fail "driver: a file in the way of a folder"
  [ "$(cat "$faults_unix/Velmora 5/Plugins")" = mine ] || fail "the file in the way was changed"
  [ ! -e "$faults_unix/Velmora 5/Uninst.exe" ] || fail "an uninstaller was written"
  nothing_registered "file in the way"
  ;;
twice)
  # A second start of the setup program while its wizard shows, and of the uninstaller it has
  # written while the wizard is still on its last page: neither shows a window, the wizard stays
  # in front, and the one installation completes; its uninstaller removes the product.
  pack
  drive "$here/twice.driver" "SETUP=$setup" 'DEST=C:\E2E Faults\Velmora 5' \
    'UNINST=C:\E2E Faults\Velmora 5\Uninst.exe' || fail "driver: the second starts"
  for f in Velmora.exe Readme.txt Plugins/Velmora.dll Presets/Bright.preset; do
    cmp -s "$root/examples/sample/Program/$f" "$faults_unix/Velmora 5/$f" || fail "not installed whole: $f"
  done
  [ -f "$faults_unix/Velmora 5/Uninst.exe" ] || fail "no uninstaller"
  drive "$here/uninstall.driver" 'UNINST=C:\E2E Faults\Velmora 5\Uninst.exe' || fail "driver: the uninstaller"
  wait_gone "$faults_unix/Velmora 5" || fail "the product folder is still there"
  ! key_exists "$uninstall_key" || fail "the uninstall entry is still there"
  ! key_exists "HKLM\\$product_key\\5.0" || fail "the product's key is still there"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac

finish PASS
