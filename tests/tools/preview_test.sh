#!/usr/bin/env bash
# setuppack preview under Wine: the sample product and a bundle that shows every optional page
# give one picture for each page their configurations show; at 144 pixels per inch the pages
# are larger; without Wine, or without the locale asked for, the tool says what is missing.
# Usage: preview_test.sh SETUPPACK SAMPLE_FOLDER BUNDLE_FOLDER
# Exit code 77 (skipped) when the Windows tree, which holds Setup.exe, has not been built.
set -u
setuppack=$1
sample=$2
bundle_source=$3
. "$(dirname "$0")/../support/test-lib.sh"
scratch_folder

data=$(dirname "$setuppack")/../share/setuppack
if [ -z "${SETUPPACK_DATA:-}" ] && [ ! -e "$data/Setup.exe" ]; then
  echo "no Setup.exe in $data: build the Windows tree first; skipped"
  exit 77
fi

PATH=/nonexistent "$setuppack" preview "$sample" "$work/none" >"$work/out" 2>&1
code=$?
[ $code = 1 ] || fail "preview without Wine: exit code $code"
grep -q "lacks wine, wineserver, Xvfb" "$work/out" || fail "preview without Wine: $(cat "$work/out")"
# Wine would quietly keep its default language under a locale the machine lacks.
"$setuppack" preview --locale xx_XX.UTF-8 "$sample" "$work/none" >"$work/out" 2>&1 &&
  fail "preview under a missing locale"
grep -q "The locale xx_XX.UTF-8 is not installed" "$work/out" || fail "preview under a missing locale: $(cat "$work/out")"

pages() { (cd "$1" 2>/dev/null && ls -1 | tr '\n' ' '); }

expect_pages() { # expect_pages FOLDER PAGE...
  local folder=$1
  shift
  local want="" page
  for page in "$@"; do want+="$page.png "; done
  [ "$(pages "$folder")" = "$want" ] || fail "pages in $folder: [$(pages "$folder")], expected [$want]"
}

# Width of a PNG from its header (bytes 16 to 19, big-endian).
png_width() { od -An -tu1 -j16 -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }

if ! "$setuppack" preview --version 5.04 --hidpi "$sample" "$work/sample" >"$work/sample.log" 2>&1; then
  fail "preview of the sample"
  cat "$work/sample.log"
fi
sample_pages=(00-welcome 01-license 06-destination 07-personalization 08-shortcuts 09-copying 10-completed)
expect_pages "$work/sample/96dpi" "${sample_pages[@]}"
expect_pages "$work/sample/144dpi" "${sample_pages[@]}"
if [ -f "$work/sample/96dpi/00-welcome.png" ] && [ -f "$work/sample/144dpi/00-welcome.png" ]; then
  narrow=$(png_width "$work/sample/96dpi/00-welcome.png")
  wide=$(png_width "$work/sample/144dpi/00-welcome.png")
  # The window is 512 design units wide plus its frame, and 1.5 times that at 144.
  [ "$narrow" -ge 512 ] && [ "$narrow" -lt 560 ] || fail "width at 96 pixels per inch: $narrow"
  [ $((wide * 10)) -ge $((narrow * 14)) ] || fail "width at 144 pixels per inch: $wide, at 96: $narrow"
fi

# The bundle takes the sample's picture.
cp -r "$bundle_source" "$work/bundle-product"
cp "$sample/Setup.jpg" "$work/bundle-product/"
if ! "$setuppack" preview "$work/bundle-product" "$work/bundle" >"$work/bundle.log" 2>&1; then
  fail "preview of the bundle"
  cat "$work/bundle.log"
fi
expect_pages "$work/bundle/96dpi" 00-welcome 01-license 02-bundle 03-vst-plugins 04-protools-plugins \
  05-photoshop-plugin 06-destination 07-personalization 09-copying 10-completed

finish "all preview checks passed"
