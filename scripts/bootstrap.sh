#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages only, and builds
# libjpeg-turbo from Debian's source package as a static library for mingw.
# Idempotent: a second run checks and returns in seconds.
# Usage: scripts/bootstrap.sh [BUILD_ROOT]   (default: ./build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

packages=(cmake ninja-build g++ clang libclang-rt-dev make pkg-config dpkg-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libz-mingw-w64-dev zlib1g-dev googletest libjpeg62-turbo-dev
  wine wine32:i386 wine64 fonts-dejavu-core xvfb x11-apps imagemagick libjpeg-turbo-progs
  osslsigncode openssl lintian man-db locales)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

# A deb-src entry for the same Debian source the machine uses, so that `apt-get source` works.
src_list=/etc/apt/sources.list.d/setup-builder-src.sources
need_update=0
if [ ! -f "$src_list" ] && ! grep -rqs '^\s*\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Copy each stanza that serves Debian's own archive, with Types: deb-src.
    awk 'BEGIN{RS=""; ORS="\n\n"} /URIs:[^\n]*debian/ && /Types:[^\n]*deb/ { gsub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb\s\+\(\[[^]]*\]\s\+\)\?\(\S*debian\S*\s.*\)$/deb-src \1\2/p' /etc/apt/sources.list >"$tmp.list"
    [ -s "$tmp.list" ] && as_root cp "$tmp.list" /etc/apt/sources.list.d/setup-builder-src.list
  fi
  [ -s "$tmp" ] && as_root cp "$tmp" "$src_list"
  rm -f "$tmp" "$tmp.list"
  need_update=1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

# Wine takes the system's language and code page from the Linux locale, and only from one that
# is installed: the test of a Cyrillic system (code page 1251) runs under ru_RU.UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  as_root localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi

# libjpeg-turbo, static, for i686-w64-mingw32. Only Setup.exe decodes with it (the wizard's
# picture), and every byte of Setup.exe is carried twice, so it is built for size: -Os; no
# unwind tables (the library's errors leave it through longjmp, never as C++ exceptions); its
# messages formatted by the Microsoft C runtime's printf rather than mingw's own; and no JPEGMEM
# variable, whose sscanf alone brought mingw's scanf and strtod (33 KB; the decoder sets its
# memory limit itself). A library built with other options is built again.
jpeg_prefix=$build/deps/mingw32
jpeg_options=(-DCMAKE_BUILD_TYPE=MinSizeRel
  "-DCMAKE_C_FLAGS=-DNO_GETENV -D__USE_MINGW_ANSI_STDIO=0 -fno-asynchronous-unwind-tables")
jpeg_stamp=$jpeg_prefix/lib/libjpeg.options
if [ ! -f "$jpeg_prefix/lib/libjpeg.a" ] || [ "$(cat "$jpeg_stamp" 2>/dev/null)" != "${jpeg_options[*]}" ]; then
  src=$build/deps/src
  mkdir -p "$src"
  if ! ls -d "$src"/libjpeg-turbo-*/ >/dev/null 2>&1; then
    (cd "$src" && apt-get source -q libjpeg-turbo)
  fi
  jsrc=$(ls -d "$src"/libjpeg-turbo-*/ | head -n1)
  rm -rf "$build/deps/jpeg-build" # a fresh configure: nothing cached from other options or paths
  cmake -S "$jsrc" -B "$build/deps/jpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw32.cmake" \
    "${jpeg_options[@]}" -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_TOOLS=OFF -DWITH_TESTS=OFF >/dev/null
  cmake --build "$build/deps/jpeg-build" --target install >/dev/null
  echo "${jpeg_options[*]}" >"$jpeg_stamp"
fi
echo "bootstrap: ready"
