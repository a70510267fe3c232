#!/usr/bin/env bash
# The Windows build: cross-built with mingw-w64 and its tests run under
# wine, headless, in a fresh wine prefix of its own; the 32-bit build is
# compiled too.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

ensure_packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev \
  googletest wine wine64 socat

prefix=$(mktemp -d)
source scripts/wine.sh
trap 'wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
wine_env "$prefix/wine"

build_tree build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHARROW_WERROR=ON
(cd build/win64 && ctest --output-on-failure -j2 --timeout 300)

# The serial port on COM ports backed by Linux ptys, and the live capture
# of harrow-capture.exe from the Linux reader-sim (of the release build).
echo "-- serial port and listener on COM7/COM8 under wine"
timeout 180 tests/wine/com_port_run.sh build/win64
echo "-- live capture under wine"
[ -x build/release/tools/reader-sim ] || build_tree build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
timeout 300 tests/wine/live_capture_run.sh build/win64 build/release

build_tree build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF
