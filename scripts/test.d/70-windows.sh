#!/usr/bin/env bash
# The Windows build: cross-built with mingw-w64 and its tests run under
# wine in a fresh wine prefix of its own, first the headless ones, then the
# window tests ("gui.") on a virtual X display, then the live captures of
# harrow-capture.exe and of harrow.exe's window from reader-sim through a
# COM port; the zip and the installer for the labs are packed (the
# installer tried in a wine prefix of its own) and the 32-bit build compiled.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

ensure_packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev libgcrypt-mingw-w64-dev \
  googletest wine wine64 socat xvfb python3 wixl msitools

prefix=$(mktemp -d)
source scripts/wine.sh
xvfb=
trap 'wineserver -k 2>/dev/null || true; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true; rm -rf "$prefix"' EXIT
wine_env "$prefix/wine"

# Runs ctest in build/win64 with the arguments given. wine's client now and
# then loses its wineserver as a test starts ("wine client error:0: recvmsg:
# Connection reset by peer"), before any of the test's own code runs; when
# that was seen, the failed tests run once more, and pass only if they pass
# then. Any other failure fails at once.
wine_ctest() {
  local log status=0
  log=$(mktemp)
  (cd build/win64 && ctest --output-on-failure "$@") 2>&1 | tee "$log" || status=$?
  if [ "$status" -ne 0 ] && grep -q "^wine client error" "$log"; then
    echo "-- wine lost its server during a test start; the failed tests run again"
    status=0
    (cd build/win64 && ctest --output-on-failure --rerun-failed "$@") || status=$?
  fi
  rm -f "$log"
  return "$status"
}

build_tree build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHARROW_WERROR=ON
# A program that needs a DLL Windows lacks fails here, not on a lab's PC.
# (Turning off wine's own zlib1.dll instead, WINEDLLOVERRIDES=zlib1=d, would
# stop every program: Debian's wine builds its setupapi.dll against it.)
tests/win32/check_imports.sh x86_64-w64-mingw32-objdump build/win64/{app/win32/harrow,tools/harrow-capture}.exe
wine_ctest -j2 --timeout 300 -E '^gui\.'

# wine chooses its display driver when the prefix's session starts: the
# headless session ends first, the window tests start one on the display.
wineserver -w
mkfifo "$prefix/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$prefix/display" >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$(timeout 20 head -n 1 "$prefix/display")"
timeout 600 bash -c "$(declare -f wine_ctest); wine_ctest -j2 --timeout 120 -R '^gui\.'"
wineserver -w
kill "$xvfb" 2>/dev/null || true
xvfb=
unset DISPLAY

# The serial port on COM ports backed by Linux ptys, and the live capture
# of harrow-capture.exe from the Linux reader-sim (of the release build).
echo "-- serial port and listener on COM7/COM8 under wine"
timeout 180 tests/wine/com_port_run.sh build/win64
echo "-- harrow-capture.exe's help, messages and port list under wine"
timeout 180 tests/wine/capture_console_run.sh build/win64
echo "-- results file, outbox, command after export and manifest of harrow-capture.exe under wine"
timeout 180 tests/wine/lims_run.sh build/win64
echo "-- the traffic log reaching its size while a generation is held open, under wine"
timeout 180 tests/wine/rotation_held_open.sh build/win64
[ -x build/release/tools/reader-sim ] || build_tree build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "-- every sample replayed 20 times under wine, each run equal to Linux's"
timeout 300 tests/wine/replay_repeat_run.sh build/win64 build/release 20
echo "-- live capture under wine"
timeout 300 tests/wine/live_capture_run.sh build/win64 build/release
echo "-- the capture window of harrow.exe, live under wine"
timeout 300 tests/app/win32/live_window_run.sh build/win64 build/release

echo "-- the Windows zip"
ninja -C build/win64 harrow_zip >/dev/null
python3 - build/win64/harrow-*-windows.zip <<'PY'
import sys, zipfile
names = {n.rsplit("/", 1)[-1] for n in zipfile.ZipFile(sys.argv[1]).namelist()}
missing = {"harrow.exe", "harrow-capture.exe", "README.txt"} - names
sys.exit(f"{sys.argv[1]} lacks {sorted(missing)}" if missing else 0)
PY
echo "-- the installer: installed, upgraded, refused as a downgrade and removed under wine"
ninja -C build/win64 harrow_msi >/dev/null
timeout 180 tests/wine/msi_install.sh build/win64
echo "-- harrow-capture.exe as a Windows service: installed, stopped mid-report, upgraded and removed under wine"
timeout 240 tests/wine/service_run.sh build/win64 build/release

build_tree build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF
tests/win32/check_imports.sh i686-w64-mingw32-objdump build/win32/{app/win32/harrow,tools/harrow-capture}.exe
ninja -C build/win32 harrow_msi >/dev/null
