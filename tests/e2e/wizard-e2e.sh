#!/usr/bin/env bash
# The setup wizard end to end under Wine on the virtual display: the sample product packed
# onto the real Setup.exe, driven page by page with setupdriver, and what the installation
# left behind (files, registry values, shortcuts) checked afterwards, then removed again by
# the uninstaller it wrote.
# Usage: wizard-e2e.sh CASE SETUP_EXE SETUPPACK_EXE SETUPDRIVER_EXE E2EHELPER_EXE WORK_FOLDER
#   CASE: install (at 96 and at 144 pixels per inch, screenshots of every page), progress (a
#         product of 512 MiB: the window answers while it copies, the bar moves), cancel
#         (Cancel, Escape and "&No" on the license page), damaged (a damaged archive member),
#         no-space (a 512 KiB drive; needs root, skipped without), swap (the program's file
#         and its Setup.dat replaced at their path while the wizard shows),
#         version-winxp|version-win7|version-win10 (install as install does, with Wine
#         telling the setup program that Windows version, checking its font and resolution
#         awareness),
#         update (5.04 installed, 5.05 and then 5.04 again over it, and uninstalled),
#         codepage (an accented product on a Cyrillic system, from a folder outside Windows-1252,
#         into a Documents and onto a Desktop named in several scripts; then from a folder named
#         in several scripts with Setup.dat beside the program)
# Screenshots go to WORK_FOLDER/screenshots/<dpi>/ (version-*: <version>-<dpi>/) as BMP and PNG.
set -euo pipefail
case_name=${1:?case}
stub=${2:?Setup.exe}
packer=${3:?setuppack.exe}
driver=${4:?setupdriver.exe}
helper=${5:?E2eHelper.exe}
work=${6:?work folder}
. "$(dirname "$0")/../support/test-lib.sh"
wine_session

# The product goes to its own folder on drive C:, so that nothing of a real default is touched.
dest_windows='C:\E2E Wizard\Velmora 5'
dest_unix="$WINEPREFIX/drive_c/E2E Wizard/Velmora 5"

rm -rf "$work"
mkdir -p "$work"
setup="$work/VelmoraSetup.exe"
# The sample with a VST 3 plug-in besides, which goes to the system's VST 3 folder.
cp -r "$root/examples/sample" "$work/product"
mkdir -p "$work/product/VST3"
printf 'plug-in' >"$work/product/VST3/Velmora.vst3"
sed -i 's/^Presets=%Presets$/&\nVST3=$Vst3PluginFolder/' "$work/product/Setup.ini"
pack_setup "$work/product" "$setup"

folder() { "$wine_run" "$helper" folder "$1" | tr -d '\r'; }
programs=$(unix_path "$(folder programs)")
desktop=$(unix_path "$(folder desktop)")
documents=$(unix_path "$(folder documents)")
# The folders a 32-bit program is given, asked of the prefix's 32-bit command interpreter
# (whichever one `wine` starts): under WoW64 the "(x86)" ones.
cmd32=cmd
prefix_is_64bit && cmd32='C:\windows\syswow64\cmd.exe'
common_files=$(wine "$cmd32" /c echo %CommonProgramFiles% | tr -d '\r')
vst3="$(unix_path "$common_files")/VST3"

# A registry value as reg.exe shows it ("" when the key or value is missing).
reg_value() {
  reg32 query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print; exit }'
}

clean() {
  forget_product
  rm -rf "$WINEPREFIX/drive_c/E2E Wizard" "$documents/Velmora 5" "$vst3/Velmora.vst3"
  # Wine's menu builder adds a desktop entry of its own beside the desktop shortcut.
  rm -f "$programs/Velmora.lnk" "$programs/Velmora Readme.lnk" "$desktop/Velmora.lnk" "$desktop/Velmora.desktop"
}

set_dpi() {
  # Wine takes the resolution from the user's desktop settings first; each program reads it
  # when it starts.
  if [ "$1" = 96 ]; then
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
  else
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  fi
}

# The Windows version Wine reports to the setup program alone: a per-program setting, so that
# the tests running beside this one in the same prefix keep the prefix's version.
app_defaults='HKCU\Software\Wine\AppDefaults\VelmoraSetup.exe'
# Stand-ins for interface fonts that the machine lacks; each program reads them when it starts.
font_replacements='HKCU\Software\Wine\Fonts\Replacements'
stand_ins=()

restore() {
  set_dpi 96
  wine reg delete "$app_defaults" /f >/dev/null 2>&1 || true
  for face in "${stand_ins[@]}"; do
    wine reg delete "$font_replacements" /v "$face" /f >/dev/null 2>&1 || true
  done
  clean
}
at_exit restore
clean
# The user's own file: the Documents folder is not empty, so the uninstaller, which removes
# folders that existed before when it leaves them empty, keeps it.
mkdir -p "$documents"
printf 'mine' >"$documents/E2E Wizard keep.txt"

run_driver() {
  local script=$1
  shift
  drive "$here/$script" "SETUP=$(winpath "$setup")" "$@" || fail "driver script $script $*"
}

convert_shots() {
  local bmp
  for bmp in "$1"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png"
  done
  return 0
}

expect_equal() {
  if [ "$2" != "$3" ]; then fail "$1: expected [$3], got [$2]"; fi
}

check_installed() {
  local f
  for f in Velmora.exe Readme.txt Plugins/Velmora.dll Presets/Bright.preset Presets/Warm.preset Uninst.exe; do
    [ -f "$dest_unix/$f" ] || fail "not installed: $f"
  done
  [ -d "$dest_unix/Plugins/Empty" ] || fail "not installed: the empty folder Plugins\\Empty"
  [ -f "$documents/Velmora 5/Presets/Default.preset" ] || fail "not installed: the custom folder's preset"
  cmp -s "$root/examples/sample/Program/Readme.txt" "$dest_unix/Readme.txt" || fail "Readme.txt differs"
  [ -f "$vst3/Velmora.vst3" ] || fail "not installed: the VST 3 plug-in, in $common_files\\VST3"

  expect_equal "product location" "$(reg_value "HKLM\\$product_key\\5.0" Location)" "$dest_windows\\"
  expect_equal "product version" "$(reg_value "HKLM\\$product_key\\5.0" VersionString)" "5.04"
  expect_equal "owner" "$(reg_value "HKCU\\$product_key\\5.0\\General" Owner)" "E2E Owner"
  expect_equal "per-user setting" "$(reg_value "HKCU\\$product_key\\5.0\\General" Language)" "English"
  expect_equal "integer setting" "$(reg_value "HKCU\\$product_key\\5.0\\General" ShowTips)" "0x1"
  expect_equal "machine setting" "$(reg_value "HKLM\\$product_key\\5.0\\General" InstallFolder)" "$dest_windows"
  expect_equal "uninstall entry" "$(reg_value "$uninstall_key" DisplayName)" "Velmora 5.04"
  case "$(reg_value "$uninstall_key" UninstallString)" in
  *"$dest_windows\\Uninst.exe"*) ;;
  *) fail "uninstall string: $(reg_value "$uninstall_key" UninstallString)" ;;
  esac
  # Windows lists it with the programs installed; on 64-bit Windows the keys of the 32-bit
  # program are those of 32-bit programs alone, which the list reads besides its own.
  wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -q '|||Velmora 5.04$' ||
    fail "not in the list of installed programs: $(wine uninstaller --list 2>/dev/null | tr -d '\r')"
  if prefix_is_64bit; then
    [[ $common_files == *'\Program Files (x86)\Common Files' ]] || fail "a 32-bit program's Common Files: $common_files"
    local key
    for key in "$product_key\\5.0" 'Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora 5.04'; do
      wine reg query "HKLM\\${key/Software/Software\\Wow6432Node}" /reg:64 >/dev/null 2>&1 ||
        fail "not in the 32-bit registry: $key"
      ! wine reg query "HKLM\\$key" /reg:64 >/dev/null 2>&1 || fail "in the 64-bit registry: $key"
    done
  fi
  expect_equal "listed version" "$(reg_value "$uninstall_key" DisplayVersion)" "5.04"
  expect_equal "listed icon" "$(reg_value "$uninstall_key" DisplayIcon)" "$dest_windows\\Velmora.exe"
  expect_equal "listed location" "$(reg_value "$uninstall_key" InstallLocation)" "$dest_windows\\"
  expect_equal "listed publisher" "$(reg_value "$uninstall_key" Publisher)" "Vendor"
  expect_equal "listed as removable only" "$(reg_value "$uninstall_key" NoModify) $(reg_value "$uninstall_key" NoRepair)" \
    "0x1 0x1"
  # What the run wrote, a started KiB counted whole: the product folder (it holds nothing else)
  # with Uninst.exe, the custom folder's preset and the VST 3 plug-in.
  local bytes
  bytes=$(($(find "$dest_unix" -type f -printf '+%s') + $(stat -c %s "$documents/Velmora 5/Presets/Default.preset") +
    $(stat -c %s "$vst3/Velmora.vst3")))
  expect_equal "listed size" "$(reg_value "$uninstall_key" EstimatedSize)" "$(printf '0x%x' $(((bytes + 1023) / 1024)))"

  expect_equal "Start menu shortcut" "$("$wine_run" "$helper" shortcut "$(folder programs)\\Velmora.lnk" | tr -d '\r')" \
    "$dest_windows\\Velmora.exe|"
  expect_equal "Readme shortcut" "$("$wine_run" "$helper" shortcut "$(folder programs)\\Velmora Readme.lnk" | tr -d '\r')" \
    "$dest_windows\\Readme.txt|"
  expect_equal "desktop shortcut" "$("$wine_run" "$helper" shortcut "$(folder desktop)\\Velmora.lnk" | tr -d '\r')" \
    "$dest_windows\\Velmora.exe|"
}

check_removed() {
  wait_gone "$dest_unix" || fail "the product folder is still there: $(ls -R "$dest_unix" | tr '\n' ' ')"
  [ ! -e "$documents/Velmora 5/Presets/Default.preset" ] || fail "the custom folder's preset is still there"
  [ ! -e "$vst3/Velmora.vst3" ] || fail "the VST 3 plug-in is still there"
  [ -f "$documents/E2E Wizard keep.txt" ] || fail "the user's own file in Documents is gone"
  [ ! -e "$programs/Velmora.lnk" ] || fail "the Start menu shortcut is still there"
  [ ! -e "$desktop/Velmora.lnk" ] || fail "the desktop shortcut is still there"
  ! key_exists "HKLM\\$product_key\\5.0" || fail "the product's machine key is still there"
  ! key_exists "HKCU\\$product_key\\5.0" || fail "the product's user key is still there"
  ! key_exists "$uninstall_key" || fail "the uninstall entry is still there"
}

# The plan of the installation (setuppack plan --json, default choices) against what the run
# left: every folder, file, shortcut and registry value of the plan is there with its data, and
# every file the run wrote in the product's folders is in the plan. The plan's machine is its
# own (C:\Program Files, the user User); its folders are mapped to this prefix's. Where they
# differ by design the test says so: the owner is the driver's answer, not the user's name.
plan_entries() { # plan_entries LIST: the default plan's entries of that list, one a line
  awk -v list="\"$1\":" '/"choice": / { n++ } n == 1 && $1 == list && $2 == "[" { inside = 1; next }
    inside && /^      \]/ { inside = 0 } inside' "$work/plan.json"
}
json_field() { # json_field NAME < entries: the string field, unescaped
  sed -n "s/.*\"$1\": \"\\(\\([^\"\\\\]\\|\\\\.\\)*\\)\".*/\\1/p" | sed 's/\\\\/\\/g; s/\\"/"/g'
}
on_prefix() { # on_prefix PATH: a path of the plan's machine on this prefix; empty for one that
  # lies outside the folders mapped (the default folder's parent, which the driver does not pick)
  local path=$1 from to
  for pair in "C:\Program Files\Vendor\Velmora 5|$dest_windows" "C:\Program Files\Common Files|$common_files" \
    "C:\Users\User\AppData\Roaming\Microsoft\Windows\Start Menu\Programs|$(folder programs)" \
    "C:\Users\User\Desktop|$(folder desktop)" "C:\Users\User\Documents|$(folder documents)"; do
    from=${pair%%|*} to=${pair#*|}
    to=${to%\\}
    if [ "${path:0:${#from}}" = "$from" ]; then
      printf '%s' "$to${path:${#from}}"
      return
    fi
  done
}
# A Linux path of the prefix, links resolved: dosdevices/c: is drive_c.
prefix_file() { realpath -m "$(unix_path "$1")"; }
compare_plan() {
  local path planned="$work/plan-files.txt" written="$work/written-files.txt"
  : >"$planned"
  while IFS= read -r path; do
    path=$(on_prefix "$path")
    [ -n "$path" ] || continue
    [ -d "$(prefix_file "$path")" ] || fail "the plan's folder is missing: $path"
  done < <(plan_entries folders | json_field path)
  while IFS= read -r path; do
    [ -n "$path" ] || continue
    path=$(prefix_file "$(on_prefix "$path")")
    [ -f "$path" ] || fail "the plan's file is missing: $path"
    printf '%s\n' "$path" >>"$planned"
  done < <(plan_entries files | json_field path; plan_entries shortcuts | json_field path)
  find "$dest_unix" "$documents/Velmora 5" "$vst3/Velmora.vst3" -type f ! -name Uninst.exe -exec realpath -m {} + |
    sort >"$written"
  sort "$planned" | grep -Fv -e "$(realpath -m "$programs")" -e "$(realpath -m "$desktop")" |
    diff - "$written" >"$work/plan.diff" ||
    fail "the files written differ from the plan (< plan only, > written only): $(cat "$work/plan.diff")"
  local uninstaller
  uninstaller=$(grep -o '"uninstaller": "[^"]*"' "$work/plan.json" | head -1 | json_field uninstaller)
  [ -f "$(prefix_file "$(on_prefix "$uninstaller")")" ] || fail "the plan's uninstaller is missing: $uninstaller"
  [ "$(wc -l <"$planned")" -ge 9 ] || fail "the plan lists too few files and shortcuts: $(cat "$planned")"
  local entry root key name type data got values=0
  while IFS= read -r entry; do
    values=$((values + 1))
    root=$(json_field root <<<"$entry") key=$(json_field key <<<"$entry") name=$(json_field name <<<"$entry")
    type=$(json_field type <<<"$entry")
    [ "$name" = Owner ] && continue # the driver's answer on the personalization page
    if [ "$type" = REG_DWORD ]; then
      data=$(printf '0x%x' "$(sed -n 's/.*"data": \(-\?[0-9]*\)}.*/\1/p' <<<"$entry")")
    else
      data=$(json_field data <<<"$entry")
      data=${data//C:\\Program Files\\Vendor\\Velmora 5/$dest_windows}
      local documents_windows
      documents_windows=$(folder documents)
      data=${data//C:\\Users\\User\\Documents/${documents_windows%\\}}
    fi
    got=$(reg_value "$root$key" "$name")
    expect_equal "the plan's value $root$key $name ($type)" "$got" "$data"
  done < <(plan_entries registry)
  [ "$values" -ge 9 ] || fail "the plan lists $values registry values"
}

# install_at DPI [DRIVER_SCRIPT [NAME=value]...]
install_at() {
  local dpi=$1 script=${2:-full-install.driver} shots="$work/screenshots/${shots_prefix:-}$1"
  shift $(($# < 2 ? $# : 2))
  mkdir -p "$shots"
  set_dpi "$dpi"
  run_driver "$script" "SHOTS=$(winpath "$shots")" "DEST=$dest_windows" "$@"
  convert_shots "$shots"
  check_installed
  [ -z "${plan_once:-}" ] || compare_plan
  plan_once=
  # Started by its Windows path, as the list of installed programs starts it: the uninstaller
  # knows its own folder by the path it was started with.
  drive "$here/uninstall.driver" "UNINST=$dest_windows\\Uninst.exe" || fail "driver script uninstall.driver"
  check_removed
  set_dpi 96
  echo "screenshots at $dpi pixels per inch: $shots"
}

case "$case_name" in
install)
  "$wine_run" "$packer" plan --json --version 5.04 "$(winpath "$work/product")" >"$work/plan.crlf" ||
    fail "setuppack plan"
  tr -d '\r' <"$work/plan.crlf" >"$work/plan.json"
  plan_once=yes
  install_at 96
  install_at 144
  ;;
version-*)
  version=${case_name#version-}
  # What the wizard adapts: the interface font is "Tahoma" 8 before Windows 6 and "Segoe UI"
  # 9 from it on. Each system has its own: where the machine lacks one, a font of the
  # machine stands in under that name (Wine lists a replacement as a font of its own), so
  # that the program finds it installed, as it would on that system. Wine's user32 has
  # SetProcessDPIAware at every version, so the program declares itself aware at each (only
  # a real Windows XP lacks the call); Wine also starts every program aware, so that check
  # tells something only on Windows. The scaled layout below is what Wine does show.
  case "$version" in
  winxp) winver=5.1 font=Tahoma points=8 ;;
  win7) winver=6.1 font="Segoe UI" points=9 ;;
  win10) winver=10.0 font="Segoe UI" points=9 ;;
  *) echo "unknown Windows version $version" >&2 && exit 2 ;;
  esac
  installed_fonts=$(reg32 query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' 2>/dev/null | tr -d '\r')
  for face in Tahoma "Segoe UI"; do
    if [ -z "$(fc-list ":family=$face")" ] && ! grep -qi "^ *$face (TrueType)" <<<"$installed_fonts"; then
      stand_ins+=("$face")
      wine reg add "$font_replacements" /v "$face" /d "$(fc-match -f "%{family[0]}" sans-serif)" /f >/dev/null
    fi
  done
  wine reg add "$app_defaults" /v Version /d "$version" /f >/dev/null
  shots_prefix=$version-
  for dpi in 96 144; do
    install_at $dpi version-walk.driver "WINVER=$winver" AWARE=yes "FONT=$font" "POINTS=$points"
  done
  # The resolution handling: at 144 pixels per inch the whole layout grows by about half.
  w96=$(identify -format %w "$work/screenshots/$version-96/01-welcome.png")
  w144=$(identify -format %w "$work/screenshots/$version-144/01-welcome.png")
  [ $((w144 * 100 / w96)) -ge 135 ] || fail "the window is $w96 pixels wide at 96 and $w144 at 144 pixels per inch"
  ;;
progress)
  # A product that takes seconds to copy: the sample (with its VST 3 plug-in, as packed above)
  # with a large folder of its own.
  product="$work/product"
  mkdir -p "$product/Program/Data"
  head -c 512M /dev/urandom | split -b 4M - "$product/Program/Data/part"
  pack_setup "$product" "$setup"
  run_driver progress.driver "DEST=$dest_windows"
  check_installed
  cmp -s "$product/Program/Data/partbl" "$dest_unix/Data/partbl" || fail "Data\\partbl differs"
  drive "$here/uninstall.driver" "UNINST=$dest_windows\\Uninst.exe" || fail "driver script uninstall.driver"
  check_removed
  ;;
cancel)
  run_driver cancel.driver
  run_driver license-no.driver
  [ ! -e "$dest_unix" ] || fail "cancelling created the product folder"
  ! key_exists "HKLM\\$product_key" || fail "cancelling wrote the product's key"
  ;;
damaged)
  # The archive still verifies; extracting the member fails.
  "$wine_run" "$helper" damage "$(winpath "$setup")" 'Program\Velmora.exe'
  mkdir -p "$work/screenshots/damaged"
  run_driver failure.driver "SHOTS=$(winpath "$work/screenshots/damaged")" "DEST=$dest_windows" \
    "ERROR=The setup data is damaged. Please download the installer again."
  convert_shots "$work/screenshots/damaged"
  ! key_exists "$uninstall_key" || fail "a failed run registered an uninstaller"
  [ ! -e "$dest_unix/Uninst.exe" ] || fail "a failed run wrote an uninstaller"
  ;;
no-space)
  # A 512 KiB volume as drive R: is less than the one mebibyte the run keeps free besides the
  # product. Mounting needs root; without it the case is skipped.
  volume="$build/e2e-small-volume"
  if ! small_volume R 512k "$volume"; then
    echo "skipped"
    exit 0
  fi
  mkdir -p "$work/screenshots/no-space"
  # The message has no final full stop; the error box adds it.
  run_driver failure.driver "SHOTS=$(winpath "$work/screenshots/no-space")" 'DEST=R:\Velmora 5' \
    "ERROR=There is not enough space on the destination drive."$'\r'"Please free up some space and then try again."
  convert_shots "$work/screenshots/no-space"
  [ -z "$(ls -A "$volume")" ] || fail "the failed run wrote to the small volume: $(ls -A "$volume")"
  ;;
swap)
  # Another valid setup program: another product's files, and a byte of the DOS stub's
  # message changed, so that an uninstaller made from its image tells.
  other="$work/other"
  cp -r "$work/product" "$work/other-product"
  printf 'other' >"$work/other-product/Program/Other.txt"
  printf 'other readme' >"$work/other-product/Program/Readme.txt"
  pack_setup "$work/other-product" "$other.exe"
  printf 'X' | dd of="$other.exe" bs=1 seek=80 conv=notrunc status=none
  data_offset() { od -An -tu4 -j48 -N4 "$1" | tr -d ' '; }
  # The program without its archive, DataOffset 0, and the archive as Setup.dat beside it.
  split_setup() {
    local offset
    offset=$(data_offset "$1")
    head -c "$offset" "$1" >"$2/VelmoraSetup.exe"
    printf '\0\0\0\0' | dd of="$2/VelmoraSetup.exe" bs=1 seek=48 conv=notrunc status=none
    tail -c +$((offset + 1)) "$1" >"$2/Setup.dat"
  }
  first="$work/first.exe"
  cp "$setup" "$first"
  for form in appended beside; do
    rm -rf "$work/$form" "$work/$form-other" "$work/swapped"
    mkdir -p "$work/$form" "$work/$form-other" "$work/screenshots/$form"
    if [ $form = appended ]; then
      cp "$first" "$work/$form/VelmoraSetup.exe"
      cp "$other.exe" "$work/$form-other/VelmoraSetup.exe"
      file=VelmoraSetup.exe image="$first"
    else
      split_setup "$first" "$work/$form"
      split_setup "$other.exe" "$work/$form-other"
      file=Setup.dat image="$work/$form/VelmoraSetup.exe"
      cp "$image" "$work/first-stub.exe"
      image="$work/first-stub.exe"
    fi
    setup="$work/$form/VelmoraSetup.exe"
    (
      # Once the wizard shows (its first page pictured), the other program's file takes the
      # place of the running one's, as a user who may write to the folder can do on Windows.
      for _ in $(seq 300); do [ -s "$work/screenshots/$form/01-welcome.bmp" ] && break; sleep 0.1; done
      mv "$work/$form/$file" "$work/$form/$file.old"
      cp "$work/$form-other/$file" "$work/$form/$file"
      touch "$work/swapped"
    ) &
    run_driver swap.driver "SHOTS=$(winpath "$work/screenshots/$form")" "DEST=$dest_windows" \
      "FILE=$(winpath "$work/$form/$file")" "OTHER=$(winpath "$work/$form-other/$file")" \
      "SWAPPED=$(winpath "$work/swapped")"
    wait
    cmp -s "$work/$form/$file" "$work/$form-other/$file" || fail "$form: the files were not swapped"
    check_installed
    [ ! -e "$dest_unix/Other.txt" ] || fail "$form: the other program's file was installed"
    # The uninstaller is the first program's image up to its archive, only its two fields
    # (DataOffset, UninstallFlag at 48) changed.
    size=$(data_offset "$image")
    [ "$size" != 0 ] || size=$(stat -c %s "$image")
    cmp -s -n 48 "$dest_unix/Uninst.exe" "$image" &&
      cmp -s -i 56:56 -n $((size - 56)) "$dest_unix/Uninst.exe" "$image" ||
      fail "$form: Uninst.exe is not made from the first program's image"
    drive "$here/uninstall.driver" "UNINST=$dest_windows\\Uninst.exe" || fail "driver script uninstall.driver"
    check_removed
  done
  ;;
update)
  # Version 5.05 ships one file fewer and another preset of its NoOverwrite component, which
  # the run over 5.04 leaves as it is. 5.04 goes into a folder below an existing empty folder,
  # 5.05 over it, then the uninstaller; and again with 5.04 twice. Each time nothing of either
  # run may stay: the uninstaller knows the earlier run only through the record the later one
  # carried on (the folders the first run made, the second found existing; the preset the
  # second did not write; the file the second does not ship).
  mkdir -p "$work/product-5.05"
  cp -r "$work/product/." "$work/product-5.05"
  rm "$work/product-5.05/Program/Presets/Bright.preset"
  printf 'another default' >"$work/product-5.05/Presets/Default.preset"
  pack_setup "$work/product-5.05" "$work/VelmoraSetup505.exe" --version 5.05
  existing="$WINEPREFIX/drive_c/E2E Wizard"
  # The vendor's keys go when the uninstaller leaves them empty; one that holds something of
  # another product here stays.
  vendor_keys=()
  for root_key in HKLM HKCU; do
    key="$root_key\\Software\\Vendor"
    # reg.exe lists an empty key as its name and an empty default value.
    if key_exists "$key" && ! reg32 query "$key" /s | tr -d '\r' |
      grep -v -e '^$' -e '^HKEY_[A-Z_]*\\Software\\Vendor$' -e '^ *(Default) *REG_SZ *$' >/dev/null; then
      reg32 delete "$key" /f >/dev/null
    fi
    key_exists "$key" || vendor_keys+=("$key")
  done
  entry_505='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora 5.05'
  forget_505() { reg32 delete "$entry_505" /f >/dev/null 2>&1 || true; }
  at_exit forget_505
  for second in "$work/VelmoraSetup505.exe 5.05" "$setup 5.04"; do
    version=${second##* }
    clean
    forget_505
    mkdir -p "$existing"
    drive "$here/update.driver" "FIRST=$(winpath "$setup")" "SECOND=$(winpath "${second% *}")" "VERSION=$version" \
      "DEST=$dest_windows" "UNINST=$dest_windows\\Uninst.exe" || fail "driver script update.driver over $version"
    check_removed
    [ ! -e "$documents/Velmora 5" ] || fail "$version: the custom folder is still there"
    [ -d "$existing" ] && [ -z "$(ls -A "$existing")" ] || fail "$version: the folder that existed is gone or not empty"
    for key in "$entry_505" "HKLM\\$product_key" "HKCU\\$product_key" "${vendor_keys[@]}"; do
      ! key_exists "$key" || fail "$version: the key $key is still there"
    done
  done
  ;;
codepage)
  # A Cyrillic system (code page 1251, where the bytes of "é" and "à" are other letters): a
  # product with accented names, packed onto a setup program in a folder whose name has a letter
  # outside Windows-1252, installs those names intact, also into a user's Documents and Desktop
  # named in several scripts, lists its name right, and goes again.
  shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
  saved_folders=()
  for value in Personal Desktop; do
    saved_folders+=("$value" "$(wine reg query "$shell_folders" /v $value 2>/dev/null | tr -d '\r' |
      awk -v name=$value '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print; exit }')")
  done
  restore_folders() {
    local i
    for i in 0 2; do
      wine reg add "$shell_folders" /v "${saved_folders[i]}" /t REG_EXPAND_SZ /d "${saved_folders[i + 1]}" /f >/dev/null 2>&1
    done
  }
  at_exit restore_folders
  export LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8
  cp_documents="$WINEPREFIX/drive_c/users/Łukasz Документы 文档"
  cp_desktop="$WINEPREFIX/drive_c/users/Łukasz Рабочий стол"
  # Wine notes the system's locale of each program it starts.
  wine reg query 'HKCU\Control Panel\International' /v LocaleName 2>/dev/null | grep -q ru-RU ||
    fail "Wine does not run Cyrillic: is ru_RU.UTF-8 installed (locale -a)?"
  product="$work/product-cp"
  mkdir -p "$product/Program/Déjà vu"
  printf 'presets' >"$product/Program/Déjà vu/Café Présets.txt"
  printf 'app' >"$product/Program/App.exe"
  mkdir -p "$product/Presets"
  printf 'warm' >"$product/Presets/Chaud.preset"
  cp "$root/examples/sample/Setup.jpg" "$product/"
  # The setup files are Windows-1252, as vendors write them.
  iconv -f UTF-8 -t CP1252 >"$product/Setup.ini" <<'INI'
[Setup]
ProductName=Velmora Café
RegistryRoot=Software\Vendor\Velmora Café
DefaultFolder=Velmora Café %d
[Complete]
Message=$ProductName is installed.
[Folders]
Presets=$Documents\Velmora Café\Presets
[Components]
Program=$ProgramFolder
Presets=%Presets
[RegistrySettings]
General\Ambiance=Café crème
[Shortcuts]
StartMenu=$ProgramFolder\Déjà vu\Café Présets.txt,Café Présets
Desktop=$ProgramFolder\App.exe,$ProductName
INI
  printf 'Licence of Velmora Café: déjà vu, “quoted”\r\n' | iconv -f UTF-8 -t CP1252 >"$product/Setup.lic"
  downloads="$WINEPREFIX/drive_c/E2E Łukasz/Downloads"
  cp_dest='C:\E2E Codepage\Velmora Café 5'
  cp_key='Software\Vendor\Velmora Café'
  cp_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora Café 5.04'
  cp_clean() {
    local key
    for key in "HKLM\\$cp_key" "HKCU\\$cp_key" "$cp_uninstall"; do reg32 delete "$key" /f >/dev/null 2>&1 || true; done
    rm -rf "$WINEPREFIX/drive_c/E2E Codepage" "$WINEPREFIX/drive_c/E2E Łukasz" "$programs/Café Présets.lnk" \
      "$cp_documents" "$cp_desktop"
  }
  at_exit cp_clean
  cp_clean
  mkdir -p "$cp_documents" "$cp_desktop"
  wine reg add "$shell_folders" /v Personal /t REG_EXPAND_SZ /d 'C:\users\Łukasz Документы 文档' /f >/dev/null
  wine reg add "$shell_folders" /v Desktop /t REG_EXPAND_SZ /d 'C:\users\Łukasz Рабочий стол' /f >/dev/null
  mkdir -p "$downloads"
  pack_setup "$product" "$work/VelmoraCafeSetup.exe"
  mv "$work/VelmoraCafeSetup.exe" "$downloads/VelmoraSetup.exe"
  drive "$here/codepage.driver" "SETUP=C:\\E2E Łukasz\\Downloads\\VelmoraSetup.exe" "DEST=$cp_dest" ||
    fail "driver script codepage.driver"

  [ -f "$WINEPREFIX/drive_c/E2E Codepage/Velmora Café 5/Déjà vu/Café Présets.txt" ] ||
    fail "not installed with its letters: $(cd "$WINEPREFIX/drive_c/E2E Codepage" 2>/dev/null && find . | tr '\n' ' ')"
  # What the list of installed programs and the product read: the registry's own (UTF-16) text.
  reg_text() { # reg_text KEY: the key's values as reg.exe exports them, in UTF-8
    rm -f "$work/export.reg"
    reg32 export "$1" "$(winpath "$work/export.reg")" /y >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r'
  }
  [ -f "$cp_documents/Velmora Café/Presets/Chaud.preset" ] || fail "not installed into the user's Documents"
  [ -f "$cp_desktop/Velmora Café.lnk" ] || fail "no shortcut on the user's Desktop"
  reg_text "$cp_uninstall" | grep -qx '"DisplayName"="Velmora Café 5.04"' ||
    fail "listed name: $(reg_text "$cp_uninstall" | grep DisplayName)"
  reg_text "HKCU\\$cp_key\\5.0\\General" | grep -qx '"Ambiance"="Café crème"' ||
    fail "setting: $(reg_text "HKCU\\$cp_key\\5.0\\General")"
  # The helper runs in the Western code page, where "é" is a letter; Wine hands its output
  # to Linux in UTF-8.
  link=$(LC_ALL=C.UTF-8 LANG=C.UTF-8 "$wine_run" "$helper" shortcut "$(LC_ALL=C.UTF-8 folder programs)\\Café Présets.lnk" |
    tr -d '\r')
  expect_equal "shortcut" "$link" "$cp_dest\\Déjà vu\\Café Présets.txt|"

  drive "$here/codepage-uninstall.driver" "UNINST=$cp_dest\\Uninst.exe" || fail "driver script codepage-uninstall.driver"
  # The uninstaller removes the files and folders it installed; the folder with Uninst.exe is
  # left to its self-removal batch.
  [ ! -e "$WINEPREFIX/drive_c/E2E Codepage/Velmora Café 5/Déjà vu" ] || fail "the folder Déjà vu is still there"
  # The self-removal batch takes the folder with Uninst.exe, its name read from the environment
  # in any code page.
  wait_gone "$WINEPREFIX/drive_c/E2E Codepage/Velmora Café 5" || fail "the product folder is still there"
  ! key_exists "$cp_uninstall" || fail "the uninstall entry is still there"
  [ ! -e "$programs/Café Présets.lnk" ] || fail "the shortcut is still there"
  [ ! -e "$cp_desktop/Velmora Café.lnk" ] || fail "the Desktop shortcut is still there"
  [ ! -e "$cp_documents/Velmora Café/Presets/Chaud.preset" ] || fail "the preset in Documents is still there"

  # The program beside its Setup.dat in a folder named in several scripts finds and opens it.
  several="$WINEPREFIX/drive_c/E2E Łukasz/Загрузки 下载 Λήψεις"
  mkdir -p "$several"
  "$wine_run" "$packer" pack --quiet --version 5.04 --date 2024-03-01 "$(winpath "$product")" "$(winpath "$work/Setup.dat")"
  mv "$work/Setup.dat" "$several/Setup.dat"
  cp "$stub" "$several/Setup.exe"
  drive "$here/codepage-start.driver" "SETUP=C:\\E2E Łukasz\\Загрузки 下载 Λήψεις\\Setup.exe" ||
    fail "driver script codepage-start.driver"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac

finish PASS
