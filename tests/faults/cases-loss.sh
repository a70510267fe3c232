# Sourced by run.sh: reports that cannot be saved anywhere (the root's
# folders and the folder for unsaved reports refuse them) are told as lost,
# and the run ends with exit status 1 and a last line that counts them.

start_case reports-lost
read_only_root
# Nor may it make the folder for unsaved reports.
chown root:root "$D/data"
chmod 555 "$D/data"
repeat 3 >"$D/in.txt"
EXPECT_REPORTS=3
if "${AS_NOBODY[@]}" true 2>/dev/null; then
  timeout 60 "${AS_NOBODY[@]}" "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  expect_survived_with_loss "$rc"
  [ "$TEXTS" -eq 0 ] || fail "$TEXTS reports on disk, where none can be written"
  [ "$(grep -c 'this report is lost' "$D/err")" -eq 6 ] || fail "not told of each lost file: $(grep -c 'this report is lost' "$D/err") of 6"
  tail -n 1 "$D/err" | grep -q "^harrow-capture: 3 reports were not saved where they belong (3 of them are lost)" ||
    fail "the last line does not count the lost reports: $(tail -n 1 "$D/err")"
else
  echo "  skipped: setpriv cannot drop root here"
fi
