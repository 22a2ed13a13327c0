#!/bin/bash
# Every section and key that the configuration loader reads from Setup.ini has its place in the
# vendors' guide: a key as a table row "| `Key` |" under the section's "### `[Section]`" heading,
# a list section as such a heading. Usage: configuration-keys-documented.sh SOURCE_DIR
set -euo pipefail
source_dir=${1:?source folder}
. "$(dirname "$0")/../support/test-lib.sh"
guide="$source_dir/docs/product-folder.md"
loaders=("$source_dir"/setup/*.cpp)

# The text of the guide's subsections whose heading names [section], up to the next heading.
section_text() {
    awk -v heading="\`[$1]\`" '
        /^##/ { inside = ($0 ~ /^### / && index($0, heading) > 0) }
        inside' "$guide"
}

# A key is read by a call ReadString("Section", "Key" or listed in the loader's tables as
# {"Section", "Key", ...}; a list section by ReadSection("Section") or a table row
# {"Section", &TSetupInstaller::Field}.
keys=$(grep -ohE '(Read(String|Bool)\(|\{)"[A-Za-z]+", "[A-Za-z]+"' "${loaders[@]}" |
    sed -E 's/.*"([A-Za-z]+)", "([A-Za-z]+)"/\1 \2/' | sort -u)
lists=$(grep -ohE '(ReadSection\("[A-Za-z]+"\)|\{"[A-Za-z]+", &TSetupInstaller::)' "${loaders[@]}" |
    sed -E 's/^[^"]*"([A-Za-z]+)".*/\1/' | sort -u)
if [ -z "$keys" ] || [ -z "$lists" ]; then
    echo "found no keys or no list sections in the loader; has the way it reads them changed?" >&2
    exit 1
fi

while read -r section key; do
    section_text "$section" | grep -qF "| \`$key\` |" ||
        fail "[$section] $key: read by the loader, not in a table of the guide's [$section] section"
done <<<"$keys"
for section in $lists; do
    [ -n "$(section_text "$section")" ] || fail "[$section]: read by the loader, the guide has no section for it"
done
finish "$(wc -l <<<"$keys") keys and $(wc -w <<<"$lists") list sections documented"
