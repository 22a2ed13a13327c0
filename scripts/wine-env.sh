# Sourced: the environment of the private Wine prefix in a build folder.
# Usage: . scripts/wine-env.sh BUILD_DIR
# The prefix is of the kind Wine makes by default: 64-bit where Wine runs 64-bit programs (the
# 32-bit programs under test then run as on every current Windows, under WoW64), else 32-bit.
# WINEARCH=win32 chooses a 32-bit prefix of its own beside it, with its own session, as on a
# 32-bit Windows.
wine_build=$(cd "${1:?build folder}" && pwd)
# Wine refuses an empty WINEARCH.
[ -n "${WINEARCH:-}" ] || unset WINEARCH
if [ "${WINEARCH:-}" = win32 ]; then
  export WINEPREFIX="$wine_build/wineprefix-win32"
  wine_state="$wine_build/wine-session-win32"
else
  export WINEPREFIX="$wine_build/wineprefix"
  wine_state="$wine_build/wine-session"
fi
export WINEDEBUG=-all
# No Mono or Gecko prompt; and no menu entries or icons written into the Unix home folder
# for the shortcuts that tests create.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -f "$wine_state/display" ]; then
  export DISPLAY=$(cat "$wine_state/display")
fi
