# Fault runs of a standard output nobody reads and of traffic logs that are
# cut short or are no logs at all; sourced by run.sh, whose helpers they use.

# end_within PID SECONDS: waits for a process of this shell to end and
# returns its exit status; one still running after SECONDS is killed (137).
end_within() {
  local pid=$1 i
  for ((i = 0; i < $2 * 20; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  wait "$pid"
}

# stuck_stdout: a FIFO whose reader holds it open and never reads, so that
# a write to it blocks once its buffer is full; READER is that reader.
stuck_stdout() {
  mkfifo "$D/stuck"
  sleep 60 <"$D/stuck" &
  READER=$!
}

# expect_stuck_run_ended PID SECONDS LIMIT_MS: a capture writing to the
# stuck output ends with status 0 within LIMIT_MS of $started (killed after
# SECONDS); then every line is logged, every report exported, and the lines
# not printed are counted once.
expect_stuck_run_ended() {
  local rc=0 took
  end_within "$1" "$2" || rc=$?
  took=$((($(date +%s%N) - started) / 1000000))
  kill "$READER" 2>/dev/null
  wait "$READER" 2>/dev/null
  echo "  exit status $rc after $took ms"
  [ "$rc" -eq 0 ] || fail "exit status $rc (137: still running after $2 s)"
  [ "$took" -lt "$3" ] || fail "took $took ms"
  : >"$D/out"
  report "$D/root" "$D/in.txt" "$D/out"
  [ "$LOGGED" -eq "$IN_LINES" ] || fail "log has $LOGGED of $IN_LINES lines"
  [ "$PAIRED" -eq "$EXPECT_REPORTS" ] || fail "$PAIRED pairs of $EXPECT_REPORTS"
  local told
  told=$(grep -c 'printed lines were dropped: standard output did not take them in time' "$D/err")
  [ "$told" -eq 1 ] || fail "the lines not printed were told $told times, not once"
  sed -n 's/^harrow-capture: \(.* dropped\):.*/  told: \1/p' "$D/err"
}

# --- A replay whose standard output is never read: it ends at once,
# instead of waiting in a write for ever.
start_case stdout-unread
EXPECT_REPORTS=100
repeat 100 >"$D/in.txt"
stuck_stdout
started=$(date +%s%N)
"$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/stuck" 2>"$D/err" &
expect_stuck_run_ended $! 10 5000

# --- A live capture whose standard output is stuck: the port is still read
# and logged, and SIGTERM ends it at once.
start_case stdout-stuck-live
EXPECT_REPORTS=100
repeat 100 >"$D/in.txt"
stuck_stdout
link=$D/port
timeout 30 "$SIM" --fast --link "$link" "$D/in.txt" >"$D/sim.out" 2>"$D/sim.err" &
sim=$!
for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
"$CAPTURE" --port "$link" --model 6310 --root "$D/root" >"$D/stuck" 2>"$D/err" &
capture=$!
# reader-sim ends once the capture has read every byte.
end_within "$sim" 8 >/dev/null 2>&1 || fail "the capture stopped reading the port: $(cat "$D/sim.err")"
for ((i = 0; i < 100; i++)); do [ "$(count_files '*.txt' "$D/root/Text")" -ge 100 ] && break; sleep 0.05; done
started=$(date +%s%N)
kill -TERM "$capture"
expect_stuck_run_ended "$capture" 5 3000

# --- A traffic log cut in the middle of its last result line (a copy taken
# while the capture wrote it): the cut value is not exported as a result.
start_case replay-log-cut
EXPECT_REPORTS=1
log=$WORK/reference/root/Log/USB_Serial.log
cp "$SAMPLE" "$D/in.txt"
# The last result line, up to the first decimal of its last number.
last=$(grep -aboP '\t\d+ +\d+\.\d+ +\d+\.\d' "$log" | tail -n 1)
offset=${last%%:*}
cut_line=${last#*:$'\t'}
head -c "$((offset + ${#last} - ${#offset} - 1))" "$log" >"$D/cut.log"
timeout 30 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay-log "$D/cut.log" >"$D/out" 2>"$D/err"
rc=$?
echo "  exit status $rc; cut line: $cut_line"
[ "$rc" -eq 0 ] || fail "exit status $rc"
[ -n "$cut_line" ] && [ "$(tail -c 1 "$D/cut.log")" != $'\n' ] || fail "no result line to cut in $log"
[ "$(count_files '*.txt' "$D/root/Text")" -eq 1 ] || fail "no report exported"
grep -rqxF -- "$cut_line"$'\r' "$D/root/Text" && fail "the cut value was exported: $cut_line"
expect_told "$D/err" "The traffic log $D/cut.log ends in a record without its line end (CR LF)" "the cut record"
sed -n 's/^harrow-capture: /  told: /p' "$D/err"

# --- /dev/zero given as a traffic log: no line end ever comes; read in
# bounded memory, and Ctrl+C ends it as it ends any replay.
start_case replay-log-zero
prlimit --as=1073741824 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay-log /dev/zero \
  >"$D/out" 2>"$D/err" &
capture=$!
sleep 1
kill -INT "$capture" 2>/dev/null
rc=0
end_within "$capture" 5 || rc=$?
echo "  exit status $rc"
[ "$rc" -eq 3 ] || fail "exit status $rc, not 3 (interrupted): $(head -c 300 "$D/err")"
expect_told "$D/err" "harrow-capture: replay interrupted: replayed 0 recorded lines" "how far the replay got"
expect_told "$D/err" "The traffic log /dev/zero holds 1 record of more than 4 MB" "the record skipped"
grep -q bad_alloc "$D/err" && fail "ran out of memory: $(grep bad_alloc "$D/err")"
sed -n 's/^harrow-capture: /  told: /p' "$D/err"

# --- reader-sim whose capture stopped reading (stopped, or gone with the
# port's buffer full) ends on SIGTERM instead of waiting in a write.
start_case sim-peer-stopped
repeat 1500 >"$D/in.txt"
link=$D/port
"$SIM" --fast --link "$link" "$D/in.txt" >"$D/sim.out" 2>"$D/sim.err" &
sim=$!
for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
"$CAPTURE" --quiet --port "$link" --model 6310 --root "$D/root" >"$D/out" 2>"$D/err" &
capture=$!
for ((i = 0; i < 200; i++)); do grep -qs "capturing from" "$D/err" && break; sleep 0.01; done
kill -STOP "$capture"
sleep 0.3
kill -TERM "$sim"
rc=0
end_within "$sim" 3 >/dev/null 2>&1 || rc=$?
kill -9 "$capture"
wait "$capture" 2>/dev/null
echo "  reader-sim: exit status $rc; $(cat "$D/sim.err")"
[ "$rc" -eq 0 ] || fail "reader-sim: exit status $rc (137: SIGTERM ignored for 3 s)"
grep -q "sent $(stat -c %s "$D/in.txt") bytes" "$D/sim.err" && fail "the capture read everything before it stopped: nothing tested"
