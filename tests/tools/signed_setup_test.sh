#!/usr/bin/env bash
# A setup program signed with osslsigncode and a throwaway certificate: the signature checks
# out, setuppack verify and list accept it and say that it is signed, a byte appended after
# the signature is refused, and the signed program installs the sample product under Wine;
# the uninstaller it writes removes it again.
# Usage: signed_setup_test.sh SETUP_EXE SETUPPACK_EXE SETUPDRIVER_EXE WORK_FOLDER
set -euo pipefail
stub=${1:?Setup.exe}
packer=${2:?setuppack.exe}
driver=${3:?setupdriver.exe}
work=${4:?work folder}
. "$(dirname "$0")/../support/test-lib.sh"
wine_session

rm -rf "$work"
mkdir -p "$work"
pack_setup "$root/examples/sample" "$work/Unsigned.exe"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup Test Signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Velmora Setup" \
  -in "$work/Unsigned.exe" -out "$work/Signed.exe" >"$work/sign.log"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Signed.exe" >"$work/osslverify.log" 2>&1 ||
  fail "osslsigncode verify: $(cat "$work/osslverify.log")"

"$wine_run" "$packer" verify "$(winpath "$work/Signed.exe")" >/dev/null || fail "setuppack verify of the signed program"
list=$("$wine_run" "$packer" list "$(winpath "$work/Signed.exe")" | tr -d '\r') || fail "setuppack list"
grep -q "^Signed: an Authenticode signature of [0-9]* bytes follows the setup data" <<<"$list" ||
  fail "list does not report the signature: $(head -n3 <<<"$list")"
cp "$work/Signed.exe" "$work/Appended.exe"
printf 'x' >>"$work/Appended.exe"
if "$wine_run" "$packer" verify "$(winpath "$work/Appended.exe")" >/dev/null 2>&1; then
  fail "verify accepted a byte after the signature"
fi

# The signed program's wizard, start to finish, into a folder of its own.
dest_windows='C:\Signed Setup\Velmora 5'
dest_unix="$WINEPREFIX/drive_c/Signed Setup/Velmora 5"
clean() {
  forget_product
  rm -rf "$WINEPREFIX/drive_c/Signed Setup"
}
at_exit clean
clean
# The presets go to Documents, which the uninstaller removes again when it leaves it empty:
# a file of the user's keeps it, as on a real machine.
documents=$(documents_folder)
mkdir -p "$documents"
printf 'mine' >"$documents/Signed Setup keep.txt"
mkdir -p "$work/shots"
drive "$root/tests/e2e/full-install.driver" "SETUP=$(winpath "$work/Signed.exe")" "SHOTS=$(winpath "$work/shots")" \
  "DEST=$dest_windows" >"$work/install.log" || fail "install: $(tail -n 20 "$work/install.log")"
[ -f "$dest_unix/Velmora.exe" ] || fail "the signed program did not install Velmora.exe"
[ -f "$documents/Velmora 5/Presets/Default.preset" ] || fail "the signed program did not install the presets"

# The uninstaller it wrote, a copy of it without the setup data, removes it again.
if [ -f "$dest_unix/Uninst.exe" ]; then
  drive "$root/tests/e2e/uninstall.driver" "UNINST=$dest_windows\\Uninst.exe" >"$work/uninstall.log" ||
    fail "uninstall: $(tail -n 20 "$work/uninstall.log")"
else
  fail "no Uninst.exe"
fi

finish "all signing checks passed"
