# Faults of the serial line itself, sourced by run.sh (its helpers and
# SAMPLE, REF_TXT, CAPTURE are in scope): a reader that ends lines with LF
# alone, a transcript cut in the middle of a line, an end line garbled so
# that two reports merge, and a result line with one stray byte. Lines end
# at CR only and only printable ASCII reaches a report; each case checks
# that what does not reach a report is told and kept in the traffic log.

REF_XLS=$(ls "$WORK"/reference/root/Excel/*.xls | head -1)

# Replays in.txt, which must end well, and prints the case's numbers;
# `base` is then the name of the one report's files. For runs whose .txt is
# no part of the reference report by design (report would take it for one
# cut short).
replay_one_report() {
  local texts sheets rc
  timeout 30 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  echo "  exit status $rc"
  [ "$rc" -eq 0 ] || fail "exit status $rc"
  texts=$(count_files '*.txt' "$D/root/Text")
  sheets=$(count_files '*.xls' "$D/root/Excel")
  printf '  input %s lines; stdout %s lines; traffic log %s lines; %s .txt, %s .xls\n' \
    "$(input_lines "$D/in.txt")" "$(wc -l <"$D/out")" "$(log_lines "$D/root")" "$texts" "$sheets"
  SUMMARY+=("$(printf '%-22s in %6s  out %6s  log %6s  reports %4s/%-4s' "$CASE" "$(input_lines "$D/in.txt")" \
    "$(wc -l <"$D/out")" "$(log_lines "$D/root")" "$texts" "$EXPECT_REPORTS")")
  base=$(basename "$(ls "$D"/root/Text/*.txt | head -1)" .txt)
}

# The traffic log's event line for the bytes left without a CR, CR LF cut off.
unfinished_event() {
  grep -a -- ' -- unfinished line at the end of the capture (no carriage return): ' "$D/root/Log/USB_Serial.log" |
    tr -d '\r'
}

# --- A reader set to end its lines with LF alone. Nothing forms a line, so
# no report is made; the bytes are kept in the log and the user is told.
# Exit status 0: no line or report was lost, the bytes are in the log.
start_case lf-line-ends
EXPECT_REPORTS=0
repeat 3 | sed 's/\r$//' >"$D/in.txt"
timeout 30 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
rc=$?
expect_whole_run "$rc"
[ "$TEXTS" -eq 0 ] || fail "$TEXTS reports from a transcript without CR"
[ "$(grep -c 'reader seems to end lines with LF only; Harrow ends lines at CR' "$D/err")" -eq 1 ] ||
  fail "not told once that the reader ends lines with LF: $(cat "$D/err")"
expect_told "$D/err" "received never met a carriage return, so they form no line and reach no report; they are in the traffic log $D/root/Log/USB_Serial.log as an unfinished line" "the unfinished bytes"
event=$(unfinished_event)
[ "$(printf '%s' "$event" | grep -c .)" -eq 1 ] || fail "the log has $(printf '%s' "$event" | grep -c .) unfinished-line events, not 1"
[[ "$event" == *": 1) Quantitative  TSH\\nDate: 03/05/2024"*"\\n24      1.141     12.12   HIGH\\n\\nEnd of Test" ]] ||
  fail "the log's event line does not hold the whole transcript: ${event:0:200}"

# --- A transcript cut in the middle of a line: the report in hand is saved
# as it stands, the bytes of the cut line are in the log and told.
start_case cut-mid-line
EXPECT_REPORTS=2
{ cat "$SAMPLE"; head -c 500 "$SAMPLE"; } >"$D/in.txt"
timeout 30 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
rc=$?
expect_whole_run "$rc"
[ "$PAIRED" -eq 2 ] || fail "$PAIRED pairs of 2"
expect_told "$D/err" "The last 10 bytes received never met a carriage return" "the unfinished bytes"
[[ "$(unfinished_event)" == *": C1      0." ]] || fail "the cut line is not in the log: $(unfinished_event)"

# --- The end line of the first report garbled: the second report's heading
# begins while the first is pending. The files stay as they always were
# (one .txt with both, a worksheet with the second); the user is told.
start_case garbled-end-line
EXPECT_REPORTS=2
{ sed 's/End of Test/End of T#st/' "$SAMPLE"; cat "$SAMPLE"; } >"$D/in.txt"
replay_one_report
cmp -s "$D/root/Text/$base.txt" <(head -c -13 "$D/in.txt") || fail "the .txt is not both reports as received"
cmp -s "$D/root/Excel/$base.xls" "$REF_XLS" || fail "the worksheet is not the later report's"
expect_told "$D/err" "The report $D/root/Text/$base.txt holds 2 reports: \"1) Quantitative  TSH\" began before \"1) Quantitative  TSH\" had ended" "the merged reports"
expect_told "$D/err" "The worksheet $D/root/Excel/$base.xls holds only the later report; the earlier results are in the .txt only." "the worksheet's loss"
sed -n 's/^harrow-capture: The report /  told: The report /p' "$D/err" | cut -c1-160

# --- One stray byte in a result line: the line is left out of the report
# (only printable ASCII reaches it), kept in the log, and told by its text.
start_case stray-byte
EXPECT_REPORTS=1
sed 's/^5       1\.554/5 \x01     1.554/' "$SAMPLE" >"$D/in.txt"
replay_one_report
cmp -s "$D/root/Text/$base.txt" <(grep -v '^5       1\.554' "$REF_TXT") || fail "the .txt is not the report without the line"
grep -qa $'5 \x01     1.554' "$D/root/Log/USB_Serial.log" || fail "the line is not in the traffic log"
expect_told "$D/err" "1 received line was left out of the report $D/root/Text/$base.txt and $D/root/Excel/$base.xls" "the report that lacks it"
expect_told "$D/err" ": \"5 \\x01     1.554     16.71   HIGH\" after line 22 of the .txt." "the line left out"
