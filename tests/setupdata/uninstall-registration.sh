#!/usr/bin/env bash
# Wine's own list of installed programs (`uninstaller --list`, which reads the uninstall
# registrations as Windows' list does) shows the entry that the install engine registered,
# and no longer shows it once the uninstall engine has replayed the uninstaller's record.
# Usage: uninstall-registration.sh WINE_RUN HELPER_EXE
set -u
run=$1
helper=$2
. "$(dirname "$0")/../support/test-lib.sh"
scratch_folder
windows_work=$(winpath "$work")

# Whatever happens below: no registration of ours stays behind in the prefix.
unregister() { "$run" "$helper" unregister "$windows_work" >/dev/null 2>&1; }
at_exit unregister

# One line per program: key name, "|||", display name.
listed() { "$run" uninstaller --list 2>/dev/null | tr -d '\r'; }

name=$("$run" "$helper" register "$windows_work" | tr -d '\r') || { echo "FAIL: register"; exit 1; }
[ -n "$name" ] || { echo "FAIL: register printed no key name"; exit 1; }
[ -f "$work/Program Files/Velmora/Uninst.exe" ] || fail "no Uninst.exe written"

if ! listed | grep -Fxq "$name|||$name"; then
  fail "\"$name\" is not in Wine's list of installed programs:"
  listed
fi

"$run" "$helper" unregister "$windows_work" || fail "unregister"
if listed | grep -Fq "$name"; then
  fail "\"$name\" is still listed after the uninstaller's replay"
fi

finish "uninstall registration: listed by Wine and removed again"
