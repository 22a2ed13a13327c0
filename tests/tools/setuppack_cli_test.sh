#!/usr/bin/env bash
# The packing tool's command line: exit codes 0 (done), 1 (failed), 2 (wrong command line),
# and pack, list, verify and extract on the sample product.
# Usage: setuppack_cli_test.sh SAMPLE_FOLDER SETUPPACK_COMMAND...
#   (the command may be a runner and its program, as "wine-run.sh setuppack.exe")
set -u
sample=$1
shift
pack=("$@")
. "$(dirname "$0")/../support/test-lib.sh"
scratch_folder

expect() { # expect CODE DESCRIPTION COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" != "$want" ]; then
    fail "$what: exit code $got, expected $want"
    cat "$work/out" "$work/err"
  fi
}

expect 2 "no command" "${pack[@]}"
expect 2 "unknown command" "${pack[@]}" frobnicate
expect 2 "pack without --version" "${pack[@]}" pack "$sample" "$work/a.dat"
expect 2 "unknown option" "${pack[@]}" pack --version 5.04 --fast "$sample" "$work/a.dat"
expect 2 "bad date" "${pack[@]}" pack --version 5.04 --date 2024-02-30 "$sample" "$work/a.dat"
expect 2 "version without a time of day" "${pack[@]}" pack --version 5.70 "$sample" "$work/a.dat"
expect 2 "list without a file" "${pack[@]}" list
expect 0 "help" "${pack[@]}" --help
grep -q "^Usage:" "$work/out" || fail "help text"

expect 1 "invalid version text" "${pack[@]}" pack --version x.y "$sample" "$work/a.dat"
grep -q "'x.y' is not a valid version number" "$work/err" || fail "version message"
expect 1 "a version that does not read back as written" "${pack[@]}" pack --version 1.20b2 "$sample" "$work/a.dat"
grep -q "'1.20b2' reads as 1.20," "$work/err" || fail "read-back message: $(cat "$work/err")"
expect 0 "a version in another spelling of the same value" "${pack[@]}" pack --quiet --version 5.4 "$sample" \
  "$work/Spelling.dat"
grep -q "'5.4' reads as 5.40, the same version; write it as 5.40" "$work/err" || fail "spelling: $(cat "$work/err")"
expect 1 "verify a missing file" "${pack[@]}" verify "$work/missing.dat"

expect 0 "pack" "${pack[@]}" pack --version 5.04 --date 2024-05-01 "$sample" "$work/Setup.dat"
grep -q "Setup.dat: version 5.04, " "$work/out" || fail "pack summary: $(cat "$work/out")"
expect 0 "pack again, quietly, on one thread" "${pack[@]}" pack --quiet --jobs 1 --version 5.04 --date 2024-05-01 \
  "$sample" "$work/Again.dat"
[ -s "$work/out" ] && fail "--quiet printed"
cmp -s "$work/Setup.dat" "$work/Again.dat" || fail "output differs between runs"

expect 0 "list" "${pack[@]}" list "$work/Setup.dat"
grep -q "version 5.04, built 2024-05-01 05:04:00" "$work/out" || fail "list header: $(cat "$work/out")"
grep -q "Program\\\\Plugins\\\\Empty\\\\" "$work/out" || fail "empty folder not listed"
grep -q "\.keep" "$work/out" && fail ".keep packed"

expect 0 "list as JSON" "${pack[@]}" list --json "$work/Setup.dat"
for want in '"version": "5.04"' '"built": "2024-05-01T05:04:00"' '"signature": null' \
  '{"path": "Program\\Plugins\\Empty", "folder": true' '"files": '; do
  grep -qF "$want" "$work/out" || fail "list --json lacks $want: $(cat "$work/out")"
done

# Without --date the date of SOURCE_DATE_EPOCH counts, in UTC whatever the time zone:
# 1714608000 is 2024-05-02 00:00 UTC, still 2024-05-01 in Los Angeles.
expect 0 "pack at SOURCE_DATE_EPOCH" env SOURCE_DATE_EPOCH=1714608000 TZ=America/Los_Angeles \
  "${pack[@]}" pack --quiet --version 5.04 "$sample" "$work/Epoch.dat"
expect 0 "list the SOURCE_DATE_EPOCH build" "${pack[@]}" list "$work/Epoch.dat"
grep -q "built 2024-05-02 05:04:00" "$work/out" || fail "SOURCE_DATE_EPOCH date: $(cat "$work/out")"
expect 1 "SOURCE_DATE_EPOCH that is no number" env SOURCE_DATE_EPOCH=soon \
  "${pack[@]}" pack --quiet --version 5.04 "$sample" "$work/Epoch.dat"

# Bytes after the setup data that are not a code signature are damage.
cp "$work/Setup.dat" "$work/Tail.dat"
printf 'tail' >>"$work/Tail.dat"
expect 1 "verify with bytes after the setup data" "${pack[@]}" verify "$work/Tail.dat"

expect 0 "verify" "${pack[@]}" verify "$work/Setup.dat"
expect 0 "extract" "${pack[@]}" extract "$work/Setup.dat" "$work/out-tree"
diff -r --exclude=.keep "$sample" "$work/out-tree" >/dev/null || fail "extracted tree differs"
[ -d "$work/out-tree/Program/Plugins/Empty" ] || fail "empty folder not extracted"
expect 1 "extract into a folder that is not empty" "${pack[@]}" extract "$work/Setup.dat" "$work/out-tree"

# One byte changed in the middle: verify names the damage, exit code 1.
cp "$work/Setup.dat" "$work/Bad.dat"
printf '\x55' | dd of="$work/Bad.dat" bs=1 seek=200 conv=notrunc 2>/dev/null
expect 1 "verify a damaged archive" "${pack[@]}" verify "$work/Bad.dat"
grep -q "The installer appears to be corrupted" "$work/err" || fail "damage message"

# The check: the sample is clean; a product with an error is reported and not packed, unless
# the vendor insists.
expect 0 "check the sample" "${pack[@]}" check "$sample" --version 5.04 --json
[ "$(tr -d '\r\n' <"$work/out")" = "[]" ] || fail "sample not clean: $(cat "$work/out")"
expect 0 "check with pack's --time and --date" "${pack[@]}" check --quiet --time 12:00 --date 2024-05-01 \
  "$sample" --version 5.70
expect 2 "check with a bad date" "${pack[@]}" check --date 2024-02-30 "$sample" --version 5.04
cp -r "$sample" "$work/broken"
sed -i 's/^DefaultFolder=.*/DefaultFolder=/' "$work/broken/Setup.ini"
expect 1 "check a product with an error" "${pack[@]}" check "$work/broken" --version 5.04
grep -q "^Setup.ini:[0-9]*: error: \[Setup\] DefaultFolder is missing" "$work/out" || fail "check output: $(cat "$work/out")"
expect 1 "pack a product with an error" "${pack[@]}" pack --version 5.04 "$work/broken" "$work/Broken.dat"
[ -e "$work/Broken.dat" ] && fail "packed despite an error"
expect 0 "pack it anyway" "${pack[@]}" pack --ignore-errors --version 5.04 "$work/broken" "$work/Broken.dat"
grep -q "despite the errors" "$work/err" || fail "--ignore-errors said nothing"
# Not without a required file, whose stand-in the setup program would read from beside itself.
mv "$work/broken/Setup.jpg" "$work/broken/setup.JPG"
expect 0 "pack it anyway, the picture named in other letter case" "${pack[@]}" pack --ignore-errors --quiet \
  --version 5.04 "$work/broken" "$work/Broken.dat"
rm "$work/broken/setup.JPG" "$work/Broken.dat"
expect 1 "pack without Setup.jpg, even with --ignore-errors" "${pack[@]}" pack --ignore-errors --version 5.04 \
  "$work/broken" "$work/Broken.dat"
grep -q "has no Setup.jpg" "$work/err" && [ ! -e "$work/Broken.dat" ] || fail "packed without Setup.jpg: $(cat "$work/err")"
cp -r "$sample" "$work/bundle"
sed -i 's/^IsBundle=0/IsBundle=1/' "$work/bundle/Setup.ini"
expect 1 "pack a bundle without BundleInfo.ini, even with --ignore-errors" "${pack[@]}" pack --ignore-errors \
  --version 5.04 "$work/bundle" "$work/Bundle.dat"
grep -q "has no BundleInfo.ini" "$work/err" || fail "packed a bundle without its list: $(cat "$work/err")"

# The plan: every file at its final path, the registry values with their types, the log.
expect 0 "plan the sample" "${pack[@]}" plan --json "$sample" --version 5.04
for want in '"choice": "default"' '"path": "C:\\Program Files\\Vendor\\Velmora 5\\Velmora.exe"' \
  '"name": "ShowTips", "type": "REG_DWORD", "data": 1' '"choice": "without shortcuts"' '"log": ['; do
  grep -qF "$want" "$work/out" || fail "plan --json lacks $want: $(cat "$work/out")"
done
expect 0 "plan as text" "${pack[@]}" plan "$sample" --version 5.04
grep -q "^  uninstall C:.Program Files.Vendor.Velmora 5.Uninst.exe" "$work/out" || fail "plan text: $(cat "$work/out")"
expect 1 "plan a product with an error" "${pack[@]}" plan "$work/broken" --version 5.04
# An accented name is planned and printed in UTF-8, each letter once; check tells of it as
# information, which fails nothing.
cp -r "$sample" "$work/accented"
printf 'x' >"$work/accented/Program/Café.txt"
expect 0 "plan an accented name" "${pack[@]}" plan "$work/accented" --version 5.04
grep -qF 'Velmora 5\Café.txt  <- Program\Café.txt' "$work/out" || fail "plan of Café.txt: $(grep -a Caf "$work/out")"
expect 0 "check an accented name" "${pack[@]}" check --json "$work/accented" --version 5.04
grep -qF '"severity": "information", "message": "1 name or text has letters outside ASCII.' "$work/out" ||
  fail "check of Café.txt: $(cat "$work/out")"
expect 0 "check against the last release" "${pack[@]}" check --quiet --previous "$work/Setup.dat" "$sample" \
  --version 5.05
expect 1 "check against a missing release" "${pack[@]}" check --quiet --previous "$work/missing.dat" "$sample" \
  --version 5.05

finish "all command-line checks passed"
