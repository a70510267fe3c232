#!/usr/bin/env bash
# The capture window of the Windows build capturing live, under wine on a
# virtual display:
#   tests/app/win32/live_window_run.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
# The Linux reader-sim plays the reader on a pty that wine maps to COM7,
# and pulls the plug mid-report three times, putting it back at once, after
# 3 and after 12 seconds; the window test's live case opens the capture
# window on COM7, waits for the report, checks the list and closes the
# window. Its traffic log must show each loss and reconnection, its list
# rows must be the lines of its traffic log, and its exports byte for byte
# those of the Linux harrow-capture's --replay of the same transcript.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tests=$(cd "$1" && pwd)/tests/app/win32/win32_windows_tests.exe
linux=$(cd "$2" && pwd)
source "$here/../../../scripts/wine.sh"
work=$(mktemp -d)
trap 'wine_ports_stop; [ -n "${HARROW_KEEP:-}" ] || rm -rf "$work"' EXIT
wine_ports_init "$work"
transcript=$here/../../../samples/6310-english.txt
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}
logged_lines() { tr -d '\r' <"$1" | grep -P ':\t' | sed 's/^[^\t]*:\t//'; }
folder_bytes() { find "$1" -type f 2>/dev/null | sort | xargs -r cat; }

wine_map_port COM7 "$work/port"
wine_ports_apply

cuts=$(wine_replug_cuts "$transcript")
mkdir -p "$work/live/Log"
wine_replug "$linux/tools/reader-sim" "$work/port" "$transcript" "$work/live/Log/USB_Serial.log" "$cuts" "0 3 12" ||
  fail "reader-sim made no port"
HARROW_LIVE_PORT=COM7 HARROW_LIVE_ROOT=$(winpath "$work/live") LD_PRELOAD="$wine_shim" \
  "$here/../../win32/with_display.sh" wine "$tests" --gtest_filter='CaptureDialogLive.*' \
  >"$work/window.out" 2>"$work/window.err" || fail "the window test failed: $(cat "$work/window.out")"
grep -q '^\[  PASSED  \] 1 test' "$work/window.out" || fail "the live case did not run: $(cat "$work/window.out")"
# reader-sim ends once the other side has read everything; it waits (a
# minute at most) when nobody connected.
wait "$wine_replug_pid" || fail "the adapter was not taken up again: $(cat "$work/port.err")"
events=$(wine_replug_events "$work/live/Log/USB_Serial.log")
# The reader's end closes the port once more, which may be logged too.
[ "${events%,Lost the connection}" = "$wine_replugged_thrice" ] || fail "the log's losses and reconnects: $events"

rows=$(tr -d '\r' <"$work/window.out" | sed -n 's/^list rows: //p')
logged=$(logged_lines "$work/live/Log/USB_Serial.log" | wc -l)
[ -n "$rows" ] && [ "$rows" = "$logged" ] || fail "list rows ${rows:-none}, traffic log lines $logged"

"$linux/tools/harrow-capture" --model 6310 --root "$work/replay" --replay "$transcript" >/dev/null 2>"$work/replay.err" ||
  fail "Linux replay: $(cat "$work/replay.err")"
for kind in Text Excel; do
  [ "$(ls "$work/live/$kind" | wc -l)" = "$(ls "$work/replay/$kind" | wc -l)" ] || fail "$kind: another number of files"
  cmp -s <(folder_bytes "$work/live/$kind") <(folder_bytes "$work/replay/$kind") || fail "$kind exports differ"
done
[ "$failed" -eq 0 ] || exit 1
echo "capture window under wine: $rows lines listed, exports equal the Linux ones"
