#!/bin/bash
# Every section and key that the configuration loader reads from Setup.ini has its place in the
# vendors' guide: a key as a table row "| `Key` |" under the section's "### `[Section]`" heading,
# a list section as such a heading. The loader's own list (ConfigurationKeys, printed by
# ListConfigurationKeys) says what it reads.
# Usage: configuration-keys-documented.sh SOURCE_DIR LIST_CONFIGURATION_KEYS
set -euo pipefail
source_dir=${1:?source folder}
lister=${2:?ListConfigurationKeys program}
. "$(dirname "$0")/../support/test-lib.sh"
guide="$source_dir/docs/product-folder.md"

# The text of the guide's subsections whose heading names [section], up to the next heading.
section_text() {
    awk -v heading="\`[$1]\`" '
        /^##/ { inside = ($0 ~ /^### / && index($0, heading) > 0) }
        inside' "$guide"
}

listed=$("$lister")
keys=$(awk 'NF == 2' <<<"$listed")
lists=$(awk 'NF == 1' <<<"$listed")
if [ -z "$keys" ] || [ -z "$lists" ]; then
    echo "the loader lists no keys or no list sections" >&2
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
