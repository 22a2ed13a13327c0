#!/usr/bin/env bash
# Makes a delay-load import library for a system DLL from mingw's ordinary import library:
# a program linked with it loads the DLL on the first call into it, through LoadLibraryA,
# instead of having the Windows loader load it with the program.
# Usage: make-delay-import-lib.sh DLL IMPORT_LIB OUTPUT_LIB   (DLL without .dll: user32)
#
# dlltool builds the library in the sections of ordinary imports (.idata$2 to .idata$7). This
# linker takes a member with such sections for one of an ordinary import library and leaves
# its address slot zero: a delayed call would jump to address 0. So every section moves: the
# address slots and the name table to .didat$..., which app/delay-imports.ld keeps whole and
# sorts by name (per DLL the head, one entry per function in the order of the members, the
# tail; the same order in both tables), the names to read-only data.
set -euo pipefail
dll=${1:?dll name}
import_lib=${2:?import library}
output=${3:?output library}
prefix=${TOOL_PREFIX:-i686-w64-mingw32-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo "LIBRARY $dll.dll"
  echo EXPORTS
  # __imp__Name@N for each function of the DLL; the export name has no decoration (-k).
  "${prefix}nm" -g "$import_lib" | sed -n 's/^[0-9a-f]* I __imp__//p' | sort -u
} >"$work/$dll.def"
# The members' names begin with the library's: the tables of each DLL stay in one piece.
"${prefix}dlltool" -k -d "$work/$dll.def" -y "$work/lib$dll.a"

mkdir "$work/o"
(
  cd "$work/o"
  "${prefix}ar" x "../lib$dll.a"
  for member in $("${prefix}ar" t "../lib$dll.a"); do
    case $member in
    *_h.o) key=a ;;
    *_t.o) key=c ;;
    *) key=b$(basename "$member" .o | sed 's/.*_s//') ;;
    esac
    "${prefix}objcopy" \
      --rename-section ".idata\$5=.didat\$${dll}_5$key" \
      --rename-section ".idata\$4=.didat\$${dll}_4$key" \
      --rename-section '.idata$6=.rdata$delay_names' \
      --rename-section '.idata$7=.rdata$delay_names' \
      --rename-section '.idata$2=.rdata$delay_names' \
      "$member"
  done
  rm -f "$output"
  "${prefix}ar" rcs "$output" $("${prefix}ar" t "../lib$dll.a")
)
