#!/usr/bin/env bash
# harrow-capture.exe from a console, under wine:
#   tests/wine/capture_console_run.sh WINDOWS_BUILD_DIR
# Its help, its messages and --list-ports must name Windows' own things:
# COM ports, %APPDATA% and the console's ways to stop, never a Linux path,
# and every COM port the system maps must be listed. Wine registers no COM
# device interface, only the SERIALCOMM device map, as virtual and
# Bluetooth ports on Windows often do. Uses the caller's WINEPREFIX, whose
# wineserver it restarts to map the ports.
set -euo pipefail
capture=$(cd "$1" && pwd)/tools/harrow-capture.exe
source "$(dirname "$0")/../../scripts/wine.sh"
work=$(mktemp -d)
trap 'wine_ports_stop; rm -rf "$work"' EXIT
wine_ports_init "$work"
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Fails unless the text $1 holds the text $2, telling $3.
expect_in() {
  case "$1" in *"$2"*) ;; *) fail "$3: no \"$2\"" ;; esac
}

# --- Every mapped port is listed, as the system's device map has it.
# Mapped to /dev/null and to ptys alike: wine lists a port whatever its device.
wine_map_port COM1 /dev/null
wine_map_port COM2 /dev/null
wine_ports_pair COM7 COM8
listed=$(wine "$capture" --list-ports | tr -d '\r')
mapped=$(wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' | tr -d '\r' | awk '$2 == "REG_SZ" { print $3 }')
for port in COM1 COM2 COM7 COM8 $mapped; do
  grep -q "^$port  *$port  *\\\\\\\\\\.\\\\$port\$" <<<"$listed" || fail "--list-ports lacks $port: $listed"
done
[ -n "$mapped" ] || fail "wine's SERIALCOMM lists none of the mapped ports"

# --- The help names the Windows things, and none of Linux.
help=$(wine "$capture" --help | tr -d '\r')
expect_in "$help" '("COM3")' "help's port"
expect_in "$help" '%APPDATA%\Harrow\Kestrel.ini' "help's settings file"
expect_in "$help" 'C:\MODEL (C:\6310, ...)' "help's root folders"
expect_in "$help" '%LOCALAPPDATA%\Harrow\unsaved' "help's unsaved folder"
expect_in "$help" 'Ctrl+C, Ctrl+Break or closing the console' "help's way to stop"
for linux in /dev ttyUSB XDG '~/' SIGTERM; do
  case "$help" in *"$linux"*) fail "the help speaks of $linux" ;; esac
done
[ "$failed" -eq 0 ] || echo "$help" >&2

# --- A Linux device name is refused whole, as no COM port name, not cut to nine characters.
status=0
err=$(wine "$capture" --port /dev/ttyUSB0 2>&1 >/dev/null | tr -d '\r') || status=$?
[ "$status" -eq 2 ] || fail "--port /dev/ttyUSB0 ended with $status, not 2"
expect_in "$err" 'harrow-capture: /dev/ttyUSB0 cannot be a COM port name' "--port /dev/ttyUSB0 told $err"

# --- Notices in the program's name; a report that cannot be written where
# it belongs is saved in the user's real unsaved folder. A file in place of
# the root folder refuses every export.
# Such a run exits 1 and says so last.
: >"$work/root"
printf '1) A\r\n  S#      ABS   mg/dL  x\r\n' >"$work/in.txt"
status=0
err=$(wine "$capture" --quiet --model 6310 --root "$(winpath "$work/root")" --replay "$(winpath "$work/in.txt")" 2>&1 \
  | tr -d '\r') || status=$?
unsaved="$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')\\Harrow\\unsaved\\"
expect_in "$err" "harrow-capture: Cannot open file for writing: $(winpath "$work/root")\\Text\\" "refused export"
expect_in "$err" "The report was saved instead as $unsaved" "unsaved folder"
if grep -q '^harrow: ' <<<"$err"; then fail "a notice begins \"harrow:\""; fi
[ "$status" -eq 1 ] || fail "a report saved elsewhere ended with $status, not 1"
expect_in "$(tail -n 1 <<<"$err")" "1 report was not saved where it belongs" "the last line"
[ "$failed" -eq 0 ] || echo "$err" >&2

# --- A root in any language, its parent folders not there yet, is made
# whole and takes every file (the programs run with UTF-8 as their code page).
sample=$(dirname "$0")/../../samples/6310-english.txt
root="$work/Отчёты/Ω 検査/6310"
# wine reads a Linux program's arguments in the character set of the
# locale, which is ASCII under the tests' LC_ALL=C.
LC_ALL=C.UTF-8 wine "$capture" --quiet --model 6310 --root "$(winpath "$root")" --replay "$(winpath "$sample")" 2>"$work/err" ||
  fail "a root in any language failed: $(cat "$work/err")"
for kind in Text/*.txt Excel/*.xls Log/USB_Serial.log; do
  compgen -G "$root/$kind" >/dev/null || fail "no $kind below $root"
done

# --- A root on a drive that does not exist is told once, with its cause,
# however many files then miss it.
status=0
err=$(wine "$capture" --quiet --model 6310 --root 'Q:\reports' --replay "$(winpath "$sample")" 2>&1 | tr -d '\r') ||
  status=$?
[ "$(grep -c 'The root folder Q:\\reports cannot be made (Q:\\reports: ' <<<"$err")" -eq 1 ] ||
  fail "the missing drive was not told once: $err"
[ "$status" -eq 1 ] || fail "a root on a missing drive ended with $status, not 1"

[ "$failed" -eq 0 ] && echo "harrow-capture.exe names Windows' own things and lists every mapped port"
exit "$failed"
