# Sourced by run.sh: the manifest under two captures appending to it at
# once (two PCs on one share), and a manifest that cannot be written.

# Both captures' lines interleave in one manifest; the lock keeps each line
# whole and chained to the one before it, so --verify finds every report ok.
start_case manifest-two-writers
EXPECT_REPORTS=100
repeat 50 >"$D/in.txt"
cat "$D/in.txt" "$D/in.txt" >"$D/both.txt"
# xargs runs the two at once and exits 0 only when both did.
printf 'a\nb\n' | timeout 60 xargs -P 2 -I RUN \
  "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$D/in.txt" 2>"$D/err"
rc=$?
: >"$D/out"
report "$D/root" "$D/both.txt" "$D/out"
[ "$rc" -eq 0 ] || fail "exit status $rc: $(tail -n 1 "$D/err")"
timeout 30 "$CAPTURE" --verify "$D/root" >"$D/verify" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "--verify exit status $rc: $(grep -v '^ok ' "$D/verify" | head -3)"
[ "$(grep -c '^ok ' "$D/verify")" -eq 100 ] || fail "$(grep -c '^ok ' "$D/verify") reports ok of 100"
echo "  --verify: $(tail -n 1 "$D/verify")"

# A manifest that cannot be opened is told, naming it and the cause; the
# reports are saved all the same and the run ends normally.
start_case manifest-unwritable
EXPECT_REPORTS=3
repeat 3 >"$D/in.txt"
mkdir -p "$D/root/Manifest/manifest.jsonl"
timeout 30 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
expect_whole_run $?
expect_told "$D/err" "could not be recorded in the manifest $D/root/Manifest/manifest.jsonl (cannot open $D/root/Manifest/manifest.jsonl: Is a directory)" "the manifest refused"
