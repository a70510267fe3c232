#!/usr/bin/env bash
# Runs the real harrow-capture under the faults a lab meets: a file-size
# limit, a stop signal in the middle of a replay, a disk that fills up,
# folders it may not write, an adapter pulled out and plugged back, and a
# capture killed outright. Each case is bounded in time. For each it counts
# the lines of the input, the traffic log and standard output, the reports
# ended and the .txt/.xls pairs on disk, checks that no file under a final
# name is cut short and that every loss was told on standard error with the
# file and the cause, and prints the numbers.
#
# Usage: tests/faults/run.sh [BUILD_DIR]   (default: build/release)
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "${1:-$SOURCE/build/release}" && pwd)
export LC_ALL=C

WORK=$(mktemp -d /tmp/harrow-faults.XXXXXX)
chmod 755 "$WORK"
MOUNTS=()
cleanup() {
  local m
  for m in "${MOUNTS[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# Copies of the programs that a user without rights on the build folder can run.
mkdir -p "$WORK/bin"
cp "$BUILD/tools/harrow-capture" "$BUILD/tools/reader-sim" "$WORK/bin/"
chmod 755 "$WORK/bin" "$WORK/bin/"*
CAPTURE=$WORK/bin/harrow-capture
SIM=$BUILD/tools/reader-sim
SAMPLE=$SOURCE/samples/6310-english.txt

failures=0
cases=0
SUMMARY=()

fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

# repeat N: the sample transcript N times (one report each).
repeat() {
  local i
  for ((i = 0; i < $1; i++)); do cat "$SAMPLE"; done
}

# A fresh folder for a case, with the user's folders inside it.
start_case() {
  CASE=$1
  D=$WORK/$CASE
  mkdir -p "$D/home" "$D/config" "$D/data"
  export HOME=$D/home XDG_CONFIG_HOME=$D/config XDG_DATA_HOME=$D/data
  UNSAVED=$D/data/harrow/unsaved
  cases=$((cases + 1))
  echo "== $CASE"
}

# Lines the receive path cuts from a byte stream: each ends with a CR.
input_lines() { tr -cd '\r' <"$1" | wc -c; }
# Lines recorded in a traffic log and its older generations.
log_lines() {
  local n=0 f
  for f in "$1"/Log/USB_Serial*.log; do
    [ -e "$f" ] || continue
    n=$((n + $(grep -c $'\t' "$f")))
  done
  echo "$n"
}
count() { find "$@" -maxdepth 1 -type f 2>/dev/null | wc -l; }
count_files() { local pattern=$1; shift; count "$@" -name "$pattern"; }
temp_files() { find "$@" -name '*.tmp-*' 2>/dev/null | wc -l; }
# Temporary files whose final name does not exist: exports cut short. A kill
# between the commit's link and the unlink of the temporary name leaves a
# temporary file beside its whole final file; that export was not lost.
cut_short_files() {
  local t n=0
  while IFS= read -r t; do
    [ -e "${t%.tmp-*}" ] || n=$((n + 1))
  done < <(find "$@" -name '*.tmp-*' 2>/dev/null)
  echo "$n"
}

# Every file under a final name is whole: a .txt is the reference report
# or, for the one pending when a capture stopped, a part of it ending with
# its line end; a .xls ends with the end-of-file record, and is the
# reference workbook when its report is whole.
check_whole() {
  local f base bad=0
  for f in $(find "$@" -maxdepth 1 -type f -name '*.txt' 2>/dev/null); do
    if ! cmp -s "$f" "$REF_TXT"; then
      if [ "$(tail -c 2 "$f" | od -An -tx1 | tr -d ' \n')" != 0d0a ] ||
        ! cmp -s "$f" <(head -c "$(stat -c %s "$f")" "$REF_TXT"); then
        fail "$f is cut short"
        bad=$((bad + 1))
      fi
    fi
  done
  for f in $(find "$@" -maxdepth 1 -type f -name '*.xls' 2>/dev/null); do
    if [ "$(tail -c 4 "$f" | od -An -tx1 | tr -d ' \n')" != 0a000000 ]; then
      fail "$f is cut short"
      bad=$((bad + 1))
    fi
  done
  return $bad
}

# Pairs: reports whose .txt and .xls are both on disk (in the root's folders
# or both in the unsaved folder).
pairs() {
  local root=$1 n=0 f b
  for f in "$root"/Text/*.txt; do
    [ -e "$f" ] || continue
    b=$(basename "$f" .txt)
    [ -e "$root/Excel/$b.xls" ] || [ -e "$UNSAVED/$b.xls" ] && n=$((n + 1))
  done
  for f in "$UNSAVED"/*.txt; do
    [ -e "$f" ] || continue
    b=$(basename "$f" .txt)
    [ -e "$UNSAVED/$b.xls" ] || [ -e "$root/Excel/$b.xls" ] && n=$((n + 1))
  done
  echo "$n"
}

# expect_in FILE TEXT WHAT: the text is on standard error.
expect_told() {
  grep -qF -- "$2" "$1" || fail "not told: $3 (looked for: $2)"
}

# report ROOT INPUT STDOUT: prints and records the numbers of a case.
report() {
  local root=$1 input=$2 out=$3
  local in_lines out_lines logged texts sheets paired temps
  in_lines=$(input_lines "$input")
  out_lines=$(wc -l <"$out")
  logged=$(log_lines "$root")
  texts=$(($(count_files '*.txt' "$root/Text") + $(count_files '*.txt' "$UNSAVED")))
  sheets=$(($(count_files '*.xls' "$root/Excel") + $(count_files '*.xls' "$UNSAVED")))
  paired=$(pairs "$root")
  temps=$(temp_files "$root" "$UNSAVED")
  printf '  input %s lines (%s reports); stdout %s lines; traffic log %s lines; reports ended %s .txt, %s .xls, %s pairs; temporary files %s\n' \
    "$in_lines" "$EXPECT_REPORTS" "$out_lines" "$logged" "$texts" "$sheets" "$paired" "$temps"
  SUMMARY+=("$(printf '%-22s in %6s  out %6s  log %6s  reports %4s/%-4s pairs %4s  temp %s' "$CASE" "$in_lines" \
    "$out_lines" "$logged" "$texts" "$EXPECT_REPORTS" "$paired" "$temps")")
  OUT_LINES=$out_lines IN_LINES=$in_lines LOGGED=$logged TEXTS=$texts SHEETS=$sheets PAIRED=$paired TEMPS=$temps
  [ "$temps" -eq 0 ] || fail "temporary files left: $(find "$root" "$UNSAVED" -name '*.tmp-*' 2>/dev/null | tr '\n' ' ')"
  check_whole "$root/Text" "$root/Excel" "$UNSAVED"
}

# After a run that must end well: exit status 0 (`why` explains another
# status), the case's files counted by report, and every input line on
# standard output.
expect_whole_run() {
  local rc=$1 why=${2:-}
  echo "  exit status $rc"
  [ "$rc" -eq 0 ] || fail "exit status $rc${why:+ ($why)}"
  report "$D/root" "$D/in.txt" "$D/out"
  [ "$OUT_LINES" -eq "$IN_LINES" ] || fail "stdout has $OUT_LINES of $IN_LINES lines"
}

# After a run that survived a fault but lost lines to the log or reports to
# the unsaved folder: exit status 1 (`why` explains another), the last line
# on standard error counting what was lost, and every input line on
# standard output.
expect_survived_with_loss() {
  local rc=$1 why=${2:-}
  echo "  exit status $rc"
  [ "$rc" -eq 1 ] || fail "exit status $rc, not 1${why:+ ($why)}"
  tail -n 1 "$D/err" | grep -q "^harrow-capture: .* not saved where .* missing from the traffic log" ||
    fail "the last line does not count what was lost: $(tail -n 1 "$D/err")"
  report "$D/root" "$D/in.txt" "$D/out"
  [ "$OUT_LINES" -eq "$IN_LINES" ] || fail "stdout has $OUT_LINES of $IN_LINES lines"
}

# The case's root with its Log, Text and Excel folders, none of which a
# process without root may write (mode 555); the case's user folders belong
# to that process.
read_only_root() {
  mkdir -p "$D/root/Log" "$D/root/Text" "$D/root/Excel"
  chmod 555 "$D/root/Log" "$D/root/Text" "$D/root/Excel" "$D/root"
  chown -R 65534:65534 "$D/home" "$D/config" "$D/data"
  chmod 755 "$D"
}
# Put before a command, runs it as the user nobody, who has no right to
# write anywhere ("${AS_NOBODY[@]}" true: whether root may drop its rights here).
AS_NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)

# The reference report and workbook of one sample, from a plain replay.
start_case reference
"$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$SAMPLE" 2>"$D/err" || fail "reference replay failed"
REF_TXT=$(ls "$D"/root/Text/*.txt | head -1)
[ -s "$REF_TXT" ] || { echo "no reference report"; exit 1; }
# The banner and system lines of a traffic log, which carry no time stamp.
REF_UNSTAMPED=$(grep -vc $'\t' "$D/root/Log/USB_Serial.log")

# --- A file-size limit: the log and the exports are refused past 20 kB.
start_case file-size-limit
EXPECT_REPORTS=30
repeat 30 >"$D/in.txt"
# Standard output and error go through pipes, which the limit does not touch.
timeout 60 prlimit --fsize=20000 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" \
  2> >(cat >"$D/err") | cat >"$D/out"
rc=${PIPESTATUS[0]}
wait
expect_survived_with_loss "$rc" "153 is death by SIGXFSZ"
[ "$TEXTS" -eq 30 ] && [ "$PAIRED" -eq 30 ] || fail "$TEXTS reports, $PAIRED pairs of 30"
expect_told "$D/err" "The traffic log $D/root/Log/USB_Serial.log refuses lines (write failed: File too large)" "log refused"
[ "$LOGGED" -lt "$IN_LINES" ] || fail "the log was never refused: the limit did not bite"

# --- SIGTERM, SIGINT and SIGHUP (a closed terminal) in the middle of a long replay.
for signal in TERM INT HUP; do
  start_case "replay-sig$signal"
  repeat 1500 >"$D/in.txt"
  EXPECT_REPORTS=1500
  if [ "$signal" = INT ]; then
    # Standard input, as from a pipe; Ctrl+C reaches the whole job.
    (exec timeout 60 "$CAPTURE" --model 6310 --root "$D/root" --replay - <"$D/in.txt" >"$D/out" 2>"$D/err") &
  else
    timeout 60 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err" &
  fi
  job=$!
  for ((i = 0; i < 400; i++)); do
    [ "$(count_files '*.txt' "$D/root/Text")" -ge 20 ] && break
    sleep 0.02
  done
  pkill -"$signal" -P "$job" -x harrow-capture 2>/dev/null || kill -"$signal" "$job"
  wait "$job"
  rc=$?
  echo "  exit status $rc"
  [ "$rc" -eq 3 ] || fail "exit status $rc, not 3 (interrupted)"
  report "$D/root" "$D/in.txt" "$D/out"
  expect_told "$D/err" "harrow-capture: replay interrupted: replayed " "how far the replay got"
  sed -n 's/^harrow-capture: replay interrupted: /  told: /p' "$D/err"
  [ "$TEXTS" -eq "$PAIRED" ] || fail "$TEXTS reports but $PAIRED pairs"
  [ "$TEXTS" -lt 1500 ] || fail "the replay was not interrupted"
  [ "$LOGGED" -eq "$OUT_LINES" ] || fail "log $LOGGED lines, stdout $OUT_LINES"
done

# --- A reader of standard output that goes away ("| head -n 1"): the
# capture goes on, logging and exporting every report, and says so once.
start_case stdout-gone
# More lines than a pipe holds, so the capture is sure to meet the closed
# pipe after head has gone.
EXPECT_REPORTS=300
repeat 300 >"$D/in.txt"
timeout 60 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" 2>"$D/err" | head -n 1 >"$D/out"
rc=${PIPESTATUS[0]}
echo "  exit status $rc"
[ "$rc" -eq 0 ] || fail "exit status $rc (141 is death by SIGPIPE)"
report "$D/root" "$D/in.txt" "$D/out"
[ "$PAIRED" -eq 300 ] || fail "$PAIRED pairs of 300"
[ "$LOGGED" -eq "$IN_LINES" ] || fail "log has $LOGGED of $IN_LINES lines"
[ "$(grep -c 'standard output takes no more lines' "$D/err")" -eq 1 ] || fail "not told once that printing stopped"

# --- Started with standard output closed (">&-"): what would have been
# printed never lands in the traffic log, which would take its descriptor.
start_case stdout-closed
EXPECT_REPORTS=3
repeat 3 >"$D/in.txt"
: >"$D/out"
timeout 60 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >&- 2>"$D/err"
rc=$?
echo "  exit status $rc"
[ "$rc" -eq 0 ] || fail "exit status $rc: $(cat "$D/err")"
report "$D/root" "$D/in.txt" "$D/out"
[ "$PAIRED" -eq 3 ] && [ "$LOGGED" -eq "$IN_LINES" ] || fail "$PAIRED pairs of 3, log $LOGGED of $IN_LINES lines"
unstamped=$(grep -vc $'\t' "$D/root/Log/USB_Serial.log")
[ "$unstamped" -eq "$REF_UNSTAMPED" ] || fail "the log has $unstamped lines without a time stamp, not $REF_UNSTAMPED"

# --- A small disk that fills up during a replay.
start_case full-disk
mkdir -p "$D/root"
if mount -t tmpfs -o size=96k tmpfs "$D/root" 2>"$D/mount.err"; then
  MOUNTS+=("$D/root")
  EXPECT_REPORTS=60
  repeat 60 >"$D/in.txt"
  timeout 60 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  expect_survived_with_loss "$rc"
  [ "$TEXTS" -eq 60 ] && [ "$PAIRED" -eq 60 ] || fail "$TEXTS reports, $PAIRED pairs of 60"
  expect_told "$D/err" "The traffic log $D/root/Log/USB_Serial.log refuses lines (write failed: No space left on device)" "log refused"
  expect_told "$D/err" "Cannot open file for writing: $D/root/" "export refused"
  expect_told "$D/err" "The report was saved instead as $UNSAVED/" "export saved elsewhere"
  echo "  exports refused and saved elsewhere: $(grep -c '^harrow-capture: Cannot open file for writing' "$D/err")"
  umount "$D/root" && MOUNTS=()
else
  echo "  skipped: cannot mount a tmpfs here ($(cat "$D/mount.err"))"
fi

# --- Folders the user may not write (mode 555), from a process without root.
start_case read-only-folders
read_only_root
repeat 5 >"$D/in.txt"
EXPECT_REPORTS=5
if "${AS_NOBODY[@]}" true 2>/dev/null; then
  timeout 60 "${AS_NOBODY[@]}" "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  expect_survived_with_loss "$rc"
  [ "$PAIRED" -eq 5 ] || fail "$PAIRED pairs of 5"
  expect_told "$D/err" "The traffic log $D/root/Log/USB_Serial.log refuses lines (cannot open the file: Permission denied)" "log refused"
  expect_told "$D/err" "Cannot open file for writing: $D/root/Text/" "text export refused"
  expect_told "$D/err" "Permission denied" "the cause"
else
  echo "  skipped: setpriv cannot drop root here"
fi

# --- An adapter pulled out mid-report and plugged back.
start_case unplug
repeat 5 >"$D/in.txt"
EXPECT_REPORTS=5
size=$(stat -c %s "$D/in.txt")
cut=$((size / 2 + 7))
link=$D/port
timeout 30 "$SIM" --fast --link "$link" --unplug-after "$cut" "$D/in.txt" >"$D/sim1.out" 2>"$D/sim1.err" &
sim=$!
for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
timeout 60 "$CAPTURE" --port "$link" --model 6310 --root "$D/root" >"$D/out" 2>"$D/err" &
capture=$!
wait "$sim"
for ((i = 0; i < 200; i++)); do grep -q "Lost the connection" "$D/err" && break; sleep 0.05; done
timeout 30 "$SIM" --fast --link "$link" --skip "$cut" "$D/in.txt" >"$D/sim2.out" 2>"$D/sim2.err"
for ((i = 0; i < 200; i++)); do grep -q "Reconnected" "$D/err" && break; sleep 0.05; done
sleep 0.3
kill -TERM "$capture"
wait "$capture"
rc=$?
expect_whole_run "$rc"
expect_told "$D/err" "Lost the connection to the port $link" "port lost"
expect_told "$D/err" "Reconnected to the port $link" "port back"
[ "$LOGGED" -eq "$IN_LINES" ] || fail "log has $LOGGED of $IN_LINES lines"
[ "$PAIRED" -eq 5 ] || fail "$PAIRED pairs of 5"

# --- kill -9 at random moments of a fast live capture, then a restart.
start_case kill-9
repeat 400 >"$D/in.txt"
EXPECT_REPORTS=-
left=0
for run in 1 2 3 4; do
  link=$D/port
  timeout 30 "$SIM" --fast --link "$link" "$D/in.txt" >"$D/sim.out" 2>"$D/sim.err" &
  sim=$!
  for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
  # Not below timeout: the kill must reach the capture itself.
  "$CAPTURE" --port "$link" --model 6310 --root "$D/root" >>"$D/out" 2>>"$D/err" &
  capture=$!
  sleep "0.$((RANDOM % 7 + 2))"
  kill -9 "$capture"
  wait "$capture" 2>/dev/null
  kill -TERM "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
  n=$(temp_files "$D/root")
  cut=$(cut_short_files "$D/root")
  echo "  run $run: killed; $(count_files '*.txt' "$D/root/Text") reports so far, temporary files $n, of them cut short $cut"
  left=$((left + n))
  # The next start clears what this one left.
  timeout 30 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay /dev/null 2>"$D/restart$run.err" ||
    fail "restart $run failed"
  if [ "$cut" -gt 0 ]; then
    expect_told "$D/restart$run.err" "An export was cut short when the capture last ended:" "cut-short export"
    expect_told "$D/restart$run.err" "harrow-capture --replay-log \"$D/root/Log/USB_Serial.log\"" "how to export again"
    sed -n 's/^/  told: /p' "$D/restart$run.err" | head -3
  elif grep -qF "An export was cut short" "$D/restart$run.err"; then
    fail "restart $run told of a cut-short export although every final file is there"
  fi
  [ "$(temp_files "$D/root")" -eq 0 ] || fail "restart $run left temporary files"
done
: >"$D/in.none"
report "$D/root" "$D/in.none" "$D/out"
# Standard output is buffered and dies with the process; the log is not.
[ "$LOGGED" -ge "$OUT_LINES" ] || fail "stdout shows $OUT_LINES lines, the log holds $LOGGED"
echo "  temporary files left by the kills: $left (all removed at the next start)"

# --- The cases kept beside this script, one file per kind of fault; each
# uses the helpers above.
for cases_file in "$HERE"/cases-*.sh; do
  [ -e "$cases_file" ] || continue
  # shellcheck source=/dev/null
  source "$cases_file"
done

echo
echo "Fault runs (lines in input / on stdout / in the traffic log, reports ended / expected, pairs on disk, temporary files left):"
for line in "${SUMMARY[@]}"; do echo "  $line"; done
echo "$cases cases, $failures failures"
[ "$failures" -eq 0 ]
