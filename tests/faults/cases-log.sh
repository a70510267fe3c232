# Fault runs of the traffic log, sourced by run.sh after its own cases
# (its helpers and variables: start_case, repeat, report, expect_told,
# fail, CAPTURE, SIM). The model "none" keeps the exports to one text file,
# so that a megabyte of lines replays in a blink.

# The lines of a log file that carry a time stamp (received lines).
stamped_lines() {
  local n
  n=$(grep -c $'\t' "$1" 2>/dev/null)
  echo "${n:-0}"
}
# A live capture of TRANSCRIPT sent by reader-sim at the reader's pace,
# into the case's root: start_live TRANSCRIPT. stop_live waits for the
# last byte, gives the capture a second more, then stops it.
start_live() {
  local link=$D/port i
  timeout 30 "$SIM" --link "$link" "$1" >"$D/sim.out" 2>"$D/sim.err" &
  sim=$!
  for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
  timeout 60 "$CAPTURE" --port "$link" --model none --root "$D/root" >"$D/out" 2>"$D/err" &
  capture=$!
}
stop_live() {
  wait "$sim"
  sleep 1.2
  kill -TERM "$capture"
  wait "$capture"
  rc=$?
  echo "  exit status $rc"
  [ "$rc" -eq 0 ] || fail "exit status $rc"
}
# The text file the model "none" saves holds every line, not a report:
# moved out of the way of report's check of whole reports.
set_aside_line_file() { mv "$D"/root/Text/*.txt "$D/" 2>/dev/null; }

# --- Rotation under a Log folder the capture may not write, as another
# user: the log cannot be moved aside, so it keeps every line and says so.
start_case log-folder-read-only
mkdir -p "$D/root/Log" "$D/root/Text" "$D/root/Excel"
: >"$D/root/Log/USB_Serial.log"
chmod 666 "$D/root/Log/USB_Serial.log"
chown -R 65534:65534 "$D/home" "$D/config" "$D/data" "$D/root/Text" "$D/root/Excel"
chmod 555 "$D/root/Log"
chmod 755 "$D" "$D/root"
repeat 520 >"$D/in.txt"  # about 1.1 MB of log
EXPECT_REPORTS=-
if setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  timeout 60 setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$CAPTURE" --model none --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  echo "  exit status $rc"
  [ "$rc" -eq 0 ] || fail "exit status $rc: $(head -c 300 "$D/err")"
  set_aside_line_file
report "$D/root" "$D/in.txt" "$D/out"
  [ "$LOGGED" -eq "$IN_LINES" ] || fail "the log holds $LOGGED of $IN_LINES lines"
  expect_told "$D/err" "The traffic log $D/root/Log/USB_Serial.log cannot be rotated (cannot rename $D/root/Log/USB_Serial.log to $D/root/Log/USB_Serial[1].log: Permission denied)" "rotation refused"
  [ "$(grep -c 'cannot be rotated' "$D/err")" -eq 1 ] || fail "the refused rotation was not told exactly once"
else
  echo "  skipped: setpriv cannot drop root here"
fi
chmod 755 "$D/root/Log"

# --- The log deleted in the middle of a live capture: within a second the
# capture opens it again under its name and tells; every line from the
# deletion on lands there (those of that second copied from the deleted
# file, with up to a second's lines from before it).
start_case log-deleted
repeat 10 >"$D/in.txt"  # about 2 s at the reader's 57600 baud
EXPECT_REPORTS=-
start_live "$D/in.txt"
log=$D/root/Log/USB_Serial.log
for ((i = 0; i < 200; i++)); do [ "$(stamped_lines "$log")" -ge 100 ] && break; sleep 0.02; done
before=$(stamped_lines "$log")
rm -f "$log"
stop_live
set_aside_line_file
report "$D/root" "$D/in.txt" "$D/out"
missing=$((IN_LINES - before - LOGGED))
echo "  lines logged before the deletion $before; in the new log $LOGGED"
[ "$OUT_LINES" -eq "$IN_LINES" ] || fail "stdout has $OUT_LINES of $IN_LINES lines"
expect_told "$D/err" "The traffic log $log was deleted by another program while this capture wrote it" "log reopened"
[ "$missing" -le 0 ] || fail "$missing lines after the deletion are missing from the new log"
last=$(grep $'\t' "$log" 2>/dev/null | tail -n 1 | cut -f 2- | tr -d '\r')
[ "$last" = "$(tail -n 1 "$D/in.txt" | tr -d '\r\n')" ] || fail "the new log does not end with the last line but with: $last"

# --- Two captures on one root (two services started with one settings
# file): a live capture holds the log, a replay writes it too while the
# live one rotates it. Both tell; no line of either is lost.
start_case log-two-writers
mkdir -p "$D/root/Log"
log=$D/root/Log/USB_Serial.log
# A log close to the limit, so the live capture rotates it while the
# replay writes.
head -c 960000 /dev/zero | tr '\0' 'x' | fold -w 98 | sed 's/$/\r/' >"$log"
repeat 10 >"$D/live.txt"
repeat 100 >"$D/replay.txt"
EXPECT_REPORTS=-
start_live "$D/live.txt"
for ((i = 0; i < 200; i++)); do [ "$(stamped_lines "$log")" -ge 45 ] && break; sleep 0.02; done
timeout 60 "$CAPTURE" --model none --root "$D/root" --replay "$D/replay.txt" >"$D/replay.out" 2>"$D/replay.err" ||
  fail "the replay failed: $(head -c 300 "$D/replay.err")"
stop_live
cat "$D/live.txt" "$D/replay.txt" >"$D/in.txt"
cat "$D/replay.out" >>"$D/out"
set_aside_line_file
report "$D/root" "$D/in.txt" "$D/out"
[ "$LOGGED" -eq "$IN_LINES" ] || fail "the log holds $LOGGED of $IN_LINES lines"
[ -e "$D/root/Log/USB_Serial[1].log" ] || fail "the log was not rotated"
expect_told "$D/replay.err" "The traffic log $log is also written by another capture, which holds its lock" "the second capture"
expect_told "$D/err" "The traffic log $log is also written by another capture or program" "the first capture"
