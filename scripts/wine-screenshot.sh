#!/usr/bin/env bash
# Saves the virtual display of a build folder's Wine session as a picture (PNG, or any
# format ImageMagick knows from the name's extension).
# Usage: scripts/wine-screenshot.sh BUILD_DIR OUTPUT.png
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "${1:?build folder}"
out=${2:?output file}
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-screenshot: no Wine session in $wine_build" >&2
  exit 1
fi
xwd -root -silent -display "$DISPLAY" | convert xwd:- "$out"
