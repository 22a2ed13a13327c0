#!/usr/bin/env bash
# Builds the setup programs that the program-entry tests run: a small product packed with
# setuppack onto Setup.exe, copies of it with changed header fields or archive bytes, and an
# uninstaller copy with an uninstall record.
# Usage: make-test-setups.sh SETUP_EXE SETUPPACK_EXE WORK_FOLDER
# Each variant is a Setup.exe in its own folder below WORK_FOLDER, so that Setup.dat beside
# it is the one the test means.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stub=${1:?Setup.exe}
packer=${2:?setuppack.exe}
work=${3:?work folder}
. "$here/../support/test-lib.sh"

rm -rf "$work"
mkdir -p "$work"

# The product: a configuration file without the settings the wizard requires, a license
# text, and three components, one holding only an empty folder.
product="$work/product"
mkdir -p "$product/Program/Sub/Deeper" "$product/Plugins" "$product/Empty/Inner"
printf '[Setup]\r\nProductName=Velmora\r\n' >"$product/Setup.ini"
printf 'License\r\n' >"$product/Setup.lic"
head -c 3000 /dev/zero | tr '\0' 'a' >"$product/Program/App.txt"
head -c 20000 /dev/urandom >"$product/Program/Sub/Data.bin"
printf 'x' >"$product/Program/Sub/Deeper/One.txt"
head -c 1234 /dev/zero >"$product/Plugins/Plugin.txt"

# setuppack.exe is the Windows build of the packing tool, run in the test's Wine session.
mkdir -p "$work/packed"
cp "$stub" "$work/stub.exe"
"$wine_run" "$packer" pack --quiet --ignore-errors --version 5.04 --date 2024-03-01 --stub "$(winpath "$work/stub.exe")" \
  "$(winpath "$product")" "$(winpath "$work/packed/Setup.exe")"
packed="$work/packed/Setup.exe"

# Little-endian 32-bit integers in the DOS header's reserved words.
read_int32() { od -An -t d4 -j "$2" -N 4 "$1" | tr -d ' '; }
write_int32() {
  local v=$(($3 & 0xFFFFFFFF))
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
variant() { mkdir -p "$work/$1" && cp "$2" "$work/$1/Setup.exe" && echo "$work/$1/Setup.exe"; }

offset=$(read_int32 "$packed" 48)
[ "$offset" -gt 0 ] || { echo "setuppack wrote DataOffset $offset" >&2; exit 1; }

# UninstallFlag values: only 1 makes an uninstaller.
write_int32 "$(variant flag-1 "$packed")" 52 1
write_int32 "$(variant flag-2 "$packed")" 52 2
write_int32 "$(variant flag-100 "$packed")" 52 0x100
write_int32 "$(variant flag-big-endian-1 "$packed")" 52 0x01000000

# The archive in Setup.dat beside a program whose DataOffset is 0 or negative; and without it.
tail -c +$((offset + 1)) "$packed" >"$work/Setup.dat"
head -c "$offset" "$packed" >"$work/plain.exe"
write_int32 "$(variant offset-zero "$work/plain.exe")" 48 0
cp "$work/Setup.dat" "$work/offset-zero/"
write_int32 "$(variant offset-negative "$work/plain.exe")" 48 -1
cp "$work/Setup.dat" "$work/offset-negative/"
write_int32 "$(variant no-data "$work/plain.exe")" 48 0

# One flipped byte inside the checksummed part of the archive (past its 28-byte header).
corrupted=$(variant corrupted "$packed")
pos=$((offset + 100))
byte=$(od -An -t u1 -j "$pos" -N 1 "$corrupted" | tr -d ' ')
printf "$(printf '\\x%02x' $((byte ^ 0x01)))" | dd of="$corrupted" bs=1 seek="$pos" conv=notrunc status=none

# An uninstaller: the program without archive, flagged, with an uninstall record appended
# (signature, 20 unused bytes, the archive's version, an empty log and the product name).
uninstaller=$(variant uninstaller "$work/plain.exe")
{
  printf 'QK/UNS/3'
  head -c 20 /dev/zero
  # Read with dd: "tail | head" fails now and then under pipefail, when head has its bytes
  # and closes the pipe while tail is still writing.
  dd if="$packed" bs=1 skip=$((offset + 28)) count=25 status=none
  printf '\x00\x00\x00\x00\x07\x00\x00\x00'
  printf 'Velmora'
} >>"$uninstaller"
write_int32 "$uninstaller" 48 "$offset"
write_int32 "$uninstaller" 52 1

echo "test setups in $work (archive at offset $offset)"
