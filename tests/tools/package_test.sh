#!/usr/bin/env bash
# The Debian package: CPack makes it from the Linux tree, dpkg installs it into a scratch
# root, and the setuppack installed there packs the sample into a setup program without
# --stub, taking the Setup.exe installed beside it.
# Usage: package_test.sh BUILD_DIR SAMPLE_FOLDER
# Exit code 77 (skipped) when the Windows tree, which holds Setup.exe, has not been built.
set -u
build=$1
sample=$2
. "$(dirname "$0")/../support/test-lib.sh"
scratch_folder

if [ ! -e "$build/share/setuppack/Setup.exe" ]; then
  echo "no Setup.exe in $build/share/setuppack: build the Windows tree first; skipped"
  exit 77
fi
if ! (cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$(ls "$work"/package/setuppack_*.deb)

# A scratch root with an empty package database; the libraries the package depends on are
# the host's.
scratch_root=$work/root
mkdir -p "$scratch_root/var/lib/dpkg/info" "$scratch_root/var/lib/dpkg/updates"
touch "$scratch_root/var/lib/dpkg/status"
dpkg --root="$scratch_root" --force-depends --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1 ||
  fail "dpkg -i: $(cat "$work/dpkg.log")"
for f in usr/bin/setuppack usr/share/setuppack/Setup.exe usr/share/setuppack/setupdriver.exe \
  usr/share/setuppack/preview.driver usr/share/setuppack/wine-session.sh usr/share/doc/setuppack/README.md; do
  [ -e "$scratch_root/$f" ] || fail "not installed: /$f"
done
dpkg --root="$scratch_root" -s setuppack 2>/dev/null | grep -q '^Status: install ok installed' || fail "package not registered"

tool=$scratch_root/usr/bin/setuppack
unset SETUPPACK_DATA
"$tool" pack --quiet --version 5.04 --date 2024-05-01 "$sample" "$work/VelmoraSetup.exe" || fail "pack without --stub"
stub_size=$(stat -c %s "$scratch_root/usr/share/setuppack/Setup.exe")
"$tool" list "$work/VelmoraSetup.exe" >"$work/list" || fail "list"
grep -q "at offset $stub_size: version 5.04" "$work/list" || fail "not appended to the installed stub: $(head -n1 "$work/list")"
cmp -s -n 48 "$scratch_root/usr/share/setuppack/Setup.exe" "$work/VelmoraSetup.exe" || fail "the setup program does not start with the stub"
"$tool" verify "$work/VelmoraSetup.exe" >/dev/null || fail "verify"
"$tool" pack --quiet --version 5.04 --date 2024-05-01 "$sample" "$work/Setup.dat" || fail "pack a Setup.dat"
"$tool" list "$work/Setup.dat" | grep -q "at offset 0:" || fail "a Setup.dat got a stub"

finish "all package checks passed"
