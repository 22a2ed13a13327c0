# Sourced: the environment of the private Wine prefix in a build folder.
# Usage: . scripts/wine-env.sh BUILD_DIR
wine_build=$(cd "${1:?build folder}" && pwd)
export WINEPREFIX="$wine_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$wine_build/wine-session/display" ]; then
  export DISPLAY=$(cat "$wine_build/wine-session/display")
fi
