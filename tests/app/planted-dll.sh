#!/usr/bin/env bash
# DLL planting: stand-in DLLs under the names that setup programs have been attacked with lie
# beside a packed setup program, and Wine is told to prefer native DLLs of those names. The
# wizard is walked to the end and the uninstaller run: no stand-in may be loaded. A control
# program without any restriction loads the same names from the same folder and must load
# every one, so that the test cannot pass because the plant itself does not work.
# Usage: planted-dll.sh SETUP_EXE SETUPPACK_EXE SETUPDRIVER_EXE PLANTED_DLL CONTROL_EXE WORK
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
stub=${1:?Setup.exe}
packer=${2:?setuppack.exe}
driver=${3:?setupdriver.exe}
planted=${4:?stand-in DLL}
control=${5:?control program}
work=${6:?work folder}
. "$root/scripts/wine-env.sh" "${SETUP_BUILD_DIR:?build folder}"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

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
cp "$stub" "$work/stub.exe"
"$root/scripts/wine-run.sh" "$packer" pack --quiet --version 5.04 --date 2024-03-01 \
  --stub "$(winpath "$work/stub.exe")" "$(winpath "$root/examples/sample")" "$(winpath "$downloads/VelmoraSetup.exe")"
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

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
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
  local key
  for key in 'HKLM\Software\Vendor\Velmora' 'HKCU\Software\Vendor\Velmora' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora 5.04'; do
    wine reg delete "$key" /f >/dev/null 2>&1 || true
  done
  rm -rf "$WINEPREFIX/drive_c/Planted DLL" "$WINEPREFIX"/drive_c/users/*/Documents/"Velmora 5" \
    "$WINEPREFIX"/drive_c/users/*/Documents/"Planted DLL keep.txt"
}
trap clean EXIT
clean
# The uninstaller removes the folders it created or found when it leaves them empty; a file of
# the user's keeps the Documents folder.
for documents in "$WINEPREFIX"/drive_c/users/*/Documents; do
  printf 'mine' >"$documents/Planted DLL keep.txt"
done
mkdir -p "$work/shots"
wine "$driver" "SETUP=$(winpath "$downloads/VelmoraSetup.exe")" "SHOTS=$(winpath "$work/shots")" \
  "DEST=$dest_windows" "$(winpath "$root/tests/e2e/full-install.driver")" || fail "the wizard was not walked to the end"
[ -f "$dest_unix/Uninst.exe" ] || fail "the installation wrote no uninstaller"
wine "$driver" "UNINST=$dest_windows\\Uninst.exe" "$(winpath "$root/tests/e2e/uninstall.driver")" ||
  fail "the uninstaller did not run to the end"
echo "setup program and uninstaller loaded: $(loaded)"
[ -z "$(ls -A "$markers")" ] || fail "planted DLLs were loaded: $(loaded)"

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "PASS"
