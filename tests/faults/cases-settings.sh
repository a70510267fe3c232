# Fault runs of harrow-capture with a settings file it cannot take as
# written; sourced by run.sh, whose helpers these use. The model and the
# root come from Kestrel.ini in the user's settings folder, not from the
# options, so that its reading is what is tested.

# settings_file BYTES-COMMAND: Kestrel.ini made by the command's output.
settings_file() { "$@" >"$XDG_CONFIG_HOME/Kestrel.ini"; }
settings_text() { printf '[Kestrel]\r\nDevType=6310\r\n6310_Root=%s\r\n' "$D/root"; }

# --- Saved by Notepad: UTF-8 with its byte-order mark, and UTF-16. Read as
# text, the reports go to the root the file names.
for encoding in utf8-mark utf16le utf16be; do
  start_case "settings-$encoding"
  case $encoding in
    utf8-mark) settings_file eval "printf '\xEF\xBB\xBF'; settings_text" ;;
    utf16le) settings_file eval "printf '\xFF\xFE'; settings_text | iconv -f UTF-8 -t UTF-16LE" ;;
    utf16be) settings_file eval "printf '\xFE\xFF'; settings_text | iconv -f UTF-8 -t UTF-16BE" ;;
  esac
  EXPECT_REPORTS=3
  repeat 3 >"$D/in.txt"
  timeout 30 "$CAPTURE" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  expect_whole_run $? "$(head -c 300 "$D/err")"
  [ "$PAIRED" -eq 3 ] || fail "$PAIRED pairs of 3 in the root the file names"
  [ ! -e "$HOME/6310" ] || fail "the built-in root $HOME/6310 was made: the file was not read"
  [ ! -s "$D/err" ] || fail "told although the file reads well: $(head -c 300 "$D/err")"
done

# --- Not text (a binary file under its name): told once, with the built-in
# settings that are used instead.
start_case settings-binary
settings_file eval "printf '\x7f\x45\x4c\x46\x02\x01\x01\x00\x00\x00'; settings_text"
EXPECT_REPORTS=3
repeat 3 >"$D/in.txt"
timeout 30 "$CAPTURE" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
rc=$?
echo "  exit status $rc"
[ "$rc" -eq 0 ] || fail "exit status $rc"
report "$HOME/6310" "$D/in.txt" "$D/out"
[ "$PAIRED" -eq 3 ] || fail "$PAIRED pairs of 3 in the built-in root"
expect_told "$D/err" "$XDG_CONFIG_HOME/Kestrel.ini is not text" "a settings file of no text"
expect_told "$D/err" "Harrow uses the model \"6310\", the root folder $HOME/6310 and" "the settings used instead"
[ "$(grep -c 'Kestrel.ini' "$D/err")" -eq 1 ] || fail "not told once: $(grep -c 'Kestrel.ini' "$D/err") times"

# --- A model the file names that Harrow does not know: told, with where
# the lines go, which is the root the file names for it.
start_case settings-unknown-model
printf '[Kestrel]\nDevType=9999\n9999_Root=%s\n' "$D/root" >"$XDG_CONFIG_HOME/Kestrel.ini"
EXPECT_REPORTS=1
repeat 3 >"$D/in.txt"
timeout 30 "$CAPTURE" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
rc=$?
echo "  exit status $rc; text files in the named root: $(count_files '*.txt' "$D/root/Text")"
[ "$rc" -eq 0 ] || fail "exit status $rc"
expect_told "$D/err" "The model \"9999\" (DevType) is not one Harrow knows" "an unknown model"
expect_told "$D/err" "saved as one text file in $D/root/Text" "where the lines go"
[ "$(count_files '*.txt' "$D/root/Text")" -eq 1 ] || fail "not one text file of every line in $D/root/Text"
[ ! -e "$HOME/Text" ] && [ ! -e "$HOME/6310" ] || fail "folders made in the home folder"

# --- A root longer than a root may be (300 bytes): never cut, made
# nowhere; the reports go to the folder for unsaved reports, and the user
# is told.
start_case settings-long-root
long=$D/long
while [ ${#long} -lt 300 ]; do long+=/$(printf 'r%.0s' {1..40}); done
long=${long:0:300}
printf '[Kestrel]\nDevType=6310\n6310_Root=%s\n' "$long" >"$XDG_CONFIG_HOME/Kestrel.ini"
EXPECT_REPORTS=3
repeat 3 >"$D/in.txt"
timeout 30 "$CAPTURE" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
expect_survived_with_loss $?
[ "$PAIRED" -eq 3 ] && [ "$(count_files '*.txt' "$UNSAVED")" -eq 3 ] || fail "$PAIRED pairs of 3 in $UNSAVED"
[ ! -e "$D/long" ] || fail "folders made below the root cut short: $(find "$D/long" | tail -1)"
[ ! -e "$HOME/6310" ] || fail "the built-in root was used"
expect_told "$D/err" "The root folder $long cannot be made (the name is 300 characters long; a root folder may have at most 259)" "a root too long"
expect_told "$D/err" "reports are saved in $UNSAVED" "where the reports go"
