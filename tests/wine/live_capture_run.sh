#!/usr/bin/env bash
# The live capture of the Windows build from end to end, under wine:
#   tests/wine/live_capture_run.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
# The Linux reader-sim plays the reader on a pty that wine maps to COM7;
# harrow-capture.exe captures from COM7. Its lines, traffic log and exports
# must equal those of the .exe's own --replay of the same bytes. Then the
# plug is pulled mid-report three times and put back at once, after 3 and
# after 12 seconds: each time the capture says the port was lost, reopens
# it and loses no line of the report it was collecting.
#
# Wine turns neither SIGINT nor a Ctrl+C on its console into the console's
# CTRL_C_EVENT for a program started from Linux, so the capture cannot be
# ended as on Windows: each run sends whole reports, which are exported as
# their end line arrives, and the capture is then killed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
capture=$(cd "$1" && pwd)/tools/harrow-capture.exe
sim=$(cd "$2" && pwd)/tools/reader-sim
source "$here/../../scripts/wine.sh"
work=$(mktemp -d)
trap 'wine_ports_stop; [ -n "${HARROW_KEEP:-}" ] || rm -rf "$work"' EXIT
wine_ports_init "$work"
transcript=$here/../../samples/6310-english.txt
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Ends the capture once its exports are there and its output has settled.
stop_capture() {
  exports=$3/Excel
  wait_for '[ -n "$(ls "$exports" 2>/dev/null)" ]' 20 || fail "no export in $3: $(cat "$2")"
  sleep 1
  kill -0 "$1" 2>/dev/null || fail "harrow-capture.exe ended early: $(cat "$2")"
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# The received lines of a traffic log, without their time stamps.
logged_lines() { tr -d '\r' <"$1" | grep -P ':\t' | sed 's/^[^\t]*:\t//'; }

# Every file of a folder, in name order, one after the other.
folder_bytes() { find "$1" -type f 2>/dev/null | sort | xargs -r cat; }

# Compares a live root with a replay root.
same_as_replay() {
  local live=$1 replay=$2
  cmp -s "$live.out" "$replay.out" || fail "printed lines differ ($live.out, $replay.out)"
  [ -n "$(ls "$live/Text" 2>/dev/null)" ] || fail "no text export in $live"
  cmp -s <(logged_lines "$live/Log/USB_Serial.log") <(logged_lines "$replay/Log/USB_Serial.log") ||
    fail "traffic logs differ"
  local kind
  for kind in Text Excel; do
    [ "$(ls "$live/$kind" | wc -l)" = "$(ls "$replay/$kind" | wc -l)" ] || fail "$kind: another number of files"
    cmp -s <(folder_bytes "$live/$kind") <(folder_bytes "$replay/$kind") || fail "$kind exports differ"
  done
}

replay() {
  wine "$capture" --model 6310 --root "$(winpath "$2")" --replay "$(winpath "$1")" >"$2.out" 2>"$2.err" ||
    fail "replay failed: $(cat "$2.err")"
}

# Starts reader-sim with ARGS on the port and harrow-capture.exe on COM7
# into the root NAME: start_run NAME SIMNAME ARGS...
start_run() {
  local name=$1 simname=$2
  shift 2
  "$sim" --fast --link "$work/port" "$@" >/dev/null 2>"$work/$simname.err" &
  simpid=$!
  wait_for '[ -e "$work/port" ]' 10 || fail "reader-sim made no port"
  LD_PRELOAD="$wine_shim" wine "$capture" --port COM7 --model 6310 --root "$(winpath "$work/$name")" \
    >"$work/$name.out" 2>"$work/$name.err" &
  cap=$!
}

wine_map_port COM7 "$work/port"
wine_ports_apply

echo "-- a whole report, live"
start_run live sim "$transcript"
wait "$simpid" || fail "reader-sim: $(cat "$work/sim.err")"
stop_capture "$cap" "$work/live.err" "$work/live"
replay "$transcript" "$work/replay"
same_as_replay "$work/live" "$work/replay"

echo "-- the plug pulled mid-report and put back at once, after 3 s and after 12 s"
pending=$transcript
cuts=$(wine_replug_cuts "$pending")
mkdir -p "$work/plug/Log"
wine_replug "$sim" "$work/port" "$pending" "$work/plug/Log/USB_Serial.log" "$cuts" "0 3 12" ||
  fail "reader-sim made no port"
LD_PRELOAD="$wine_shim" wine "$capture" --port COM7 --model 6310 --root "$(winpath "$work/plug")" \
  >"$work/plug.out" 2>"$work/plug.err" &
cap=$!
wait "$wine_replug_pid" || fail "the adapter was not taken up again: $(cat "$work/port.err")"
[ "$(grep -c "Reconnected" "$work/plug.err")" = 3 ] || fail "not three reconnects: $(cat "$work/plug.err")"
stop_capture "$cap" "$work/plug.err" "$work/plug"
replay "$pending" "$work/plugreplay"
same_as_replay "$work/plug" "$work/plugreplay"
events=$(wine_replug_events "$work/plug/Log/USB_Serial.log")
# The reader's end closes the port once more, which may be logged too.
[ "${events%,Lost the connection}" = "$wine_replugged_thrice" ] || fail "the log's losses and reconnects: $events"

if [ "$failed" -ne 0 ]; then
  for f in "$work"/*.err; do echo "== $f"; cat "$f"; done >&2
  exit 1
fi
echo "live capture under wine: all checks passed"
