# Sourced: the environment of the private Wine prefix in a build folder.
# Usage: . scripts/wine-env.sh BUILD_DIR
wine_build=$(cd "${1:?build folder}" && pwd)
export WINEPREFIX="$wine_build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko prompt; and no menu entries or icons written into the Unix home folder
# for the shortcuts that tests create.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -f "$wine_build/wine-session/display" ]; then
  export DISPLAY=$(cat "$wine_build/wine-session/display")
fi
