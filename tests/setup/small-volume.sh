#!/usr/bin/env bash
# Runs a Windows test program with a small volume as drive Q: of the build folder's Wine
# prefix: a 4 MiB tmpfs mounted inside the build folder. The program finds the drive in
# SETUP_TEST_SMALL_DRIVE. Mounting needs root; without it the variable stays unset and the
# cases that need the drive skip.
# Usage: SETUP_BUILD_DIR=BUILD small-volume.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/wine-env.sh" "${SETUP_BUILD_DIR:?build folder}"
volume="$wine_build/small-volume"
link="$WINEPREFIX/dosdevices/q:"
mounted=
linked=

cleanup() {
  if [ -n "$linked" ]; then rm -f "$link"; fi
  if [ -n "$mounted" ]; then umount "$volume" || true; fi
  rmdir "$volume" 2>/dev/null || true
}
trap cleanup EXIT

mkdir -p "$volume"
if [ -e "$link" ] || [ -L "$link" ]; then
  echo "small-volume: drive Q: is taken in $WINEPREFIX; the cases on it are skipped" >&2
elif mount -t tmpfs -o size=4m setup-small-volume "$volume" 2>/dev/null; then
  mounted=1
  ln -s "$volume" "$link"
  linked=1
  export SETUP_TEST_SMALL_DRIVE=Q:
else
  echo "small-volume: cannot mount a 4 MiB volume (needs root); the cases on it are skipped" >&2
fi
"$root/scripts/wine-run.sh" "$@"
