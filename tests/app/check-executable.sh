#!/usr/bin/env bash
# Checks the built Setup.exe from the Linux side: a GUI program that imports only DLLs
# Windows always loads from its system folder, carries its manifest and main icon, and
# needs no DLL of ours beside it. Prints its size.
# Usage: check-executable.sh SETUP_EXE
set -euo pipefail
exe=${1:?Setup.exe}
. "$(dirname "$0")/../support/test-lib.sh"

headers=$(i686-w64-mingw32-objdump -p "$exe")

# DLL planting: a DLL named in the import table is loaded with the program, before any of its
# code runs, and searched in the program's folder first (a downloads folder) unless Windows
# maps it from its KnownDLLs list; so are the DLLs those import in turn. Only kernel32 and
# msvcrt (KnownDLLs, and the C runtime's own imports) are imported; every other system DLL is
# delay-loaded after the program has restricted the search to the system folder.
allowed='^(kernel32|msvcrt)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  [[ $dll =~ $allowed ]] || fail "imports $dll, which is loaded before the program restricts the DLL search"
done
# The delay-loaded DLLs are named in the delay tables (.didat) and in the names beside them.
for dll in user32 gdi32 comctl32 shell32 ole32 advapi32; do
  LC_ALL=C grep -aqi "$dll\.dll" "$exe" || fail "$dll.dll is not among the delay-loaded DLLs"
done
grep -q '\.didat' <<<"$(i686-w64-mingw32-objdump -h "$exe")" || fail "no delay-load tables"

grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI program"
grep -q 'Magic.*010b' <<<"$headers" || fail "not a 32-bit program"

# The manifest is stored as plain text in the resources, the resource name in UTF-16.
grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$exe" ||
  fail "no manifest asking for common controls 6.0.0.0"
grep -aq 'level="requireAdministrator"' "$exe" || fail "no manifest asking for administrator rights"
LC_ALL=C grep -aqP 'M\x00A\x00I\x00N\x00I\x00C\x00O\x00N\x00' "$exe" || fail "no MAINICON resource"

# Static linking: no DLL of the toolchain next to the program, and none imported.
for dll in "$(dirname "$exe")"/*.dll; do
  [ -e "$dll" ] && fail "$(basename "$dll") lies beside the program"
done

# Stripped: no symbol table left.
grep -q 'symbols stripped' <<<"$headers" || fail "not stripped"

# Every byte is carried twice, as Setup.exe and as its copy Uninst.exe. A library function
# that drags in a large part of the runtime (iostreams, locales, the demangler, the C
# runtime's printf or scanf) shows here. The goal is 512 KB (bench/run.sh reports it too).
size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -le 524288 ] || fail "$size bytes, more than 512 KB"
finish
