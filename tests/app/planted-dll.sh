#!/usr/bin/env bash
# DLL planting: stand-in DLLs under the names that setup programs have been attacked with lie
# beside a packed setup program, and Wine is told to prefer native DLLs of those names. The
# wizard is walked to the end and the uninstaller run: no stand-in may be loaded. A control
# program without any restriction loads the same names from the same folder and must load
# every one, so that the test cannot pass because the plant itself does not work.
# Usage: planted-dll.sh SETUP_EXE SETUPPACK_EXE SETUPDRIVER_EXE PLANTED_DLL CONTROL_EXE WORK
set -euo pipefail
stub=${1:?Setup.exe}
packer=${2:?setuppack.exe}
driver=${3:?setupdriver.exe}
planted=${4:?stand-in DLL}
control=${5:?control program}
work=${6:?work folder}
. "$(dirname "$0")/../support/test-lib.sh"
wine_session

# Left out: Windows' KnownDLLs (kernel32, user32, gdi32, advapi32, shell32, ole32, oleaut32,
# comdlg32, shlwapi, imm32, rpcrt4, sechost, combase, msvcrt, ...), which Windows never looks
# for in a program's folder, and kernelbase, which Wine's kernel32 imports before any code of
# the program runs.
names=(version uxtheme dwmapi cryptbase userenv profapi propsys winmm msimg32 riched20 msftedit
  secur32 sspicli cabinet apphelp dbghelp oleacc ntmarta wintrust crypt32 usp10 windowscodecs
  urlmon wininet netapi32 mpr linkinfo comctl32 iertutil winhttp dnsapi iphlpapi mswsock wsock32
  dhcpcsvc winspool.drv textshaping explorerframe ntshrui srvcli cscapi edputil)

rm -rf "$work"
downloads=$work/Downloads
markers=$work/markers
mkdir -p "$downloads" "$markers"
pack_setup "$root/examples/sample" "$downloads/VelmoraSetup.exe"
# Before the stand-ins are preferred below.
documents=$(documents_folder)
cp "$control" "$downloads/control.exe"
overrides=""
for name in "${names[@]}"; do
  file=$name
  [[ $file == *.* ]] || file=$file.dll
  cp "$planted" "$downloads/$file"
  overrides+="${name%.dll},"
done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${overrides%,}=n,b"
export PLANTED_DLL_MARKERS
PLANTED_DLL_MARKERS=$(winpath "$markers")

loaded() { (cd "$markers" && ls -1 | sed 's/\.loaded$//' | tr '\n' ' '); }

wine "$downloads/control.exe" "${names[@]}" >/dev/null 2>&1 || true
echo "control (no restriction) loaded: $(loaded)"
for name in "${names[@]}"; do
  file=$name
  [[ $file == *.* ]] || file=$file.dll
  [ -e "$markers/$file.loaded" ] || fail "the control did not load the planted $file: the plant does not work"
done
rm -f "$markers"/*

dest_windows='C:\Planted DLL\Velmora 5'
dest_unix="$WINEPREFIX/drive_c/Planted DLL/Velmora 5"
clean() {
  forget_product
  rm -rf "$WINEPREFIX/drive_c/Planted DLL" "$documents/Velmora 5" "$documents/Planted DLL keep.txt"
}
at_exit clean
clean
# The uninstaller removes the folders it created or found when it leaves them empty; a file of
# the user's keeps the Documents folder.
mkdir -p "$documents"
printf 'mine' >"$documents/Planted DLL keep.txt"
mkdir -p "$work/shots"
drive "$root/tests/e2e/full-install.driver" "SETUP=$(winpath "$downloads/VelmoraSetup.exe")" \
  "SHOTS=$(winpath "$work/shots")" "DEST=$dest_windows" || fail "the wizard was not walked to the end"
[ -f "$dest_unix/Uninst.exe" ] || fail "the installation wrote no uninstaller"
drive "$root/tests/e2e/uninstall.driver" "UNINST=$dest_windows\\Uninst.exe" ||
  fail "the uninstaller did not run to the end"
echo "setup program and uninstaller loaded: $(loaded)"
[ -z "$(ls -A "$markers")" ] || fail "planted DLLs were loaded: $(loaded)"

finish PASS
