#!/usr/bin/env bash
# The Debian package: CPack makes it from the Linux tree, lintian finds nothing in it, dpkg
# installs it into a scratch root, and the setuppack installed there packs the sample into a
# setup program without --stub, taking the Setup.exe installed beside it. Its manual page,
# bash completion and CMake package configuration work from there: the example project
# builds its setup program through the configuration, which finds the tool in the scratch
# root, not in /usr.
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
# lintian: no error and no warning.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>"$work/lintian.err" ||
  fail "lintian failed: $(cat "$work/lintian.err")"
[ -s "$work/lintian.log" ] && fail "lintian: $(cat "$work/lintian.log")"
# The dependencies come from the executable, libjpeg's among them.
dpkg-deb -f "$deb" Depends | grep -q 'libjpeg62-turbo' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"

for f in usr/bin/setuppack usr/share/setuppack/Setup.exe usr/share/setuppack/setupdriver.exe \
  usr/share/setuppack/preview.driver usr/share/setuppack/wine-session.sh usr/share/doc/setuppack/README.md \
  usr/share/doc/setuppack/copyright usr/share/doc/setuppack/product-folder.md; do
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

"$tool" --version | grep -qx 'setuppack [0-9]*\.[0-9]*\.[0-9]*' || fail "--version: $("$tool" --version 2>&1)"

# The manual page: every command and option of the usage text, and no warnings from groff.
page=$scratch_root/usr/share/man/man1/setuppack.1.gz
MANWIDTH=100 man --warnings -l "$page" 2>"$work/man.err" >"$work/man.txt"
[ ! -s "$work/man.err" ] || fail "man: $(cat "$work/man.err")"
for word in pack check plan list verify extract preview --stub --ignore-errors --hidpi --keep --previous SOURCE_DATE_EPOCH; do
  grep -q -- "$word" "$work/man.txt" || fail "the manual page lacks $word"
done

# The completion: the commands, then a command's own options.
complete_words() { # complete_words WORD... : what the completion offers for the last word
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _setuppack; echo "${COMPREPLY[*]}"' \
    _ "$scratch_root/usr/share/bash-completion/completions/setuppack" "$@"
}
expect_offer() { # expect_offer EXPECTED WORD...
  local want=$1
  shift
  local got
  got=$(complete_words "$tool" "$@" | tr ' ' '\n' | sort | tr '\n' ' ')
  [ "$got" = "$want " ] || fail "completion of [$*]: [$got], expected [$want ]"
}
expect_offer "pack plan preview" p
expect_offer "--json --version" plan --
expect_offer "--hidpi --keep --locale --stub --version" preview --
expect_offer "--json --quiet" list --
expect_offer "--date --ignore-errors --jobs --quiet --stub --time --version" pack "$sample" --

# The CMake package configuration, from the scratch root: the example project packs its setup
# program as a target, packs it again when a file of the product changes, and its test runs
# setuppack check.
if command -v cmake >/dev/null; then
  cp -r "$sample" "$work/product"
  example=$scratch_root/usr/share/doc/setuppack/examples/cmake
  cmake -S "$example" -B "$work/example" -DCMAKE_PREFIX_PATH="$scratch_root/usr" \
    -DVELMORA_PRODUCT="$work/product" >"$work/example.log" 2>&1 || fail "configuring the example: $(cat "$work/example.log")"
  grep -q "$scratch_root/usr/share/cmake/setuppack" "$work/example/CMakeCache.txt" || fail "the example took another setuppack"
  cmake --build "$work/example" >>"$work/example.log" 2>&1 || fail "building the example: $(cat "$work/example.log")"
  "$tool" verify "$work/example/VelmoraSetup.exe" >/dev/null || fail "the example's setup program does not verify"
  cmp -s -n 48 "$scratch_root/usr/share/setuppack/Setup.exe" "$work/example/VelmoraSetup.exe" ||
    fail "the example's setup program does not start with the installed stub"
  cmake --build "$work/example" >"$work/again.log" 2>&1
  grep -q "Packing" "$work/again.log" && fail "packed again with nothing changed"
  printf 'changed\r\n' >>"$work/product/Program/Readme.txt"
  cmake --build "$work/example" >"$work/changed.log" 2>&1
  grep -q "Packing" "$work/changed.log" || fail "not packed again after a product file changed"
  mkdir -p "$work/unpacked"
  "$tool" extract "$work/example/VelmoraSetup.exe" "$work/unpacked" >/dev/null
  cmp -s "$work/product/Program/Readme.txt" "$work/unpacked/Program/Readme.txt" || fail "the changed file is not in the setup program"
  ctest --test-dir "$work/example" >"$work/ctest.log" 2>&1 || fail "the example's check: $(cat "$work/ctest.log")"
  grep -q "VelmoraSetup.check .*Passed" "$work/ctest.log" || fail "no check test in the example: $(cat "$work/ctest.log")"
fi

finish "all package checks passed"
