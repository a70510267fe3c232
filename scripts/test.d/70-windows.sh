#!/usr/bin/env bash
# The Windows build: cross-built with mingw-w64 and its tests run under
# wine, headless, in a fresh wine prefix of its own; the 32-bit build is
# compiled too.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

ensure_packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev \
  googletest wine wine64

prefix=$(mktemp -d)
export WINEPREFIX="$prefix/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
wineboot -i >/dev/null 2>&1 || true
wineserver -w

build_tree build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHARROW_WERROR=ON
(cd build/win64 && ctest --output-on-failure -j2 --timeout 300)

build_tree build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF
