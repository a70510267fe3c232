# Sourced by run.sh: two captures exporting into one root (two PCs on one
# network share) in the same second, under a frozen clock. Every report
# takes the next free "_N" name, none goes to the unsaved folder, and no
# name holds files of two reports.

start_case shared-root
EXPECT_REPORTS=400
repeat 200 >"$D/in.txt"
cat "$D/in.txt" "$D/in.txt" >"$D/both.txt"
if command -v faketime >/dev/null; then
  # Frozen wall clock; the monotonic one keeps running, as the threads'
  # waits need it.
  for run in a b; do
    DONT_FAKE_MONOTONIC=1 timeout 60 faketime -f '2026-12-08 10:00:00' \
      "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$D/in.txt" 2>"$D/err.$run" &
    eval "job_$run=$!"
  done
  wait "$job_a"
  rc_a=$?
  wait "$job_b"
  rc_b=$?
  echo "  exit status $rc_a and $rc_b"
  [ "$rc_a" -eq 0 ] && [ "$rc_b" -eq 0 ] || fail "exit status $rc_a and $rc_b: $(cat "$D/err.a" "$D/err.b" | head -3)"
  : >"$D/out"
  report "$D/root" "$D/both.txt" "$D/out"
  [ "$PAIRED" -eq 400 ] || fail "$PAIRED pairs of 400"
  [ "$(count_files '*.txt' "$UNSAVED")" -eq 0 ] || fail "$(count_files '*.txt' "$UNSAVED") reports went to the unsaved folder"
  [ "$(count_files '*.txt' "$D/root/Text" -name '26_12_08_10_00_00*')" -eq 400 ] || fail "the clock was not frozen"
  # Each .xls is the worksheet of its own .txt: the same sample, so every
  # pair is the reference pair.
  ref_xls=$(ls "$WORK"/reference/root/Excel/*.xls | head -1)
  mismatched=0
  for f in "$D"/root/Excel/*.xls; do cmp -s "$f" "$ref_xls" || mismatched=$((mismatched + 1)); done
  [ "$mismatched" -eq 0 ] || fail "$mismatched worksheets differ from the reference"
  [ ! -s "$D/err.a" ] && [ ! -s "$D/err.b" ] || echo "  told: $(cat "$D/err.a" "$D/err.b" | head -2)"
else
  echo "  skipped: faketime is not installed"
fi
