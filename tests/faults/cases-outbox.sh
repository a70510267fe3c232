# Sourced by run.sh: delivery into a watched folder and the command after
# each report. A watcher on the outbox sees only whole files under final
# names; an outbox that fails (a share not mounted, a folder another user
# owns, a full disk) is told, queued, and delivered once the fault is gone,
# also after a capture killed outright; the root's files never change. The
# command gets the report's files and is told when it fails, while the
# capture keeps taking lines.

# outbox_settings FOLDER [AFTER_EXPORT]: the case's settings file.
outbox_settings() {
  printf '[Kestrel]\nOutboxFolder=%s\nOutboxFormats=txt,xls\nAfterExport=%s\n' "$1" "${2:-}" \
    >"$D/config/Kestrel.ini"
}
root_sums() { find "$D/root/Text" "$D/root/Excel" -type f -exec sha256sum {} + | sort; }
final_files() { find "$1" -maxdepth 1 -type f ! -name '.*' 2>/dev/null | wc -l; }
# wait_for FILE TEXT COUNT: until FILE holds TEXT on COUNT lines (at most 10 s).
wait_for() {
  local i
  for i in $(seq 200); do
    [ "$(grep -cF -- "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
    sleep 0.05
  done
  return 1
}

# --- Whole files under final names, as inotify reports them.
start_case outbox-watched
EXPECT_REPORTS=3
mkdir -p "$D/outbox"
outbox_settings "$D/outbox"
repeat 3 >"$D/in.txt"
if command -v inotifywait >/dev/null; then
  inotifywait -m -e create,close_write,moved_to,moved_from,delete --format '%e %f' "$D/outbox" \
    >"$D/events" 2>"$D/watch.err" &
  watcher=$!
  wait_for "$D/watch.err" "Watches established" 1 || fail "inotifywait did not start"
  timeout 30 "$CAPTURE" --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  rc=$?
  sleep 0.2
  kill "$watcher"
  wait "$watcher" 2>/dev/null
  expect_whole_run "$rc"
  [ "$(final_files "$D/outbox")" -eq 6 ] || fail "$(final_files "$D/outbox") files of 6 delivered"
  # Writes go to hidden .tmp names only; a final name only ever arrives by a rename.
  bad=$(awk '$1 ~ /CLOSE_WRITE|CREATE/ && $2 !~ /^\..*\.tmp$/ || $1 ~ /MOVED_TO/ && $2 ~ /^\./' "$D/events")
  [ -z "$bad" ] || fail "the watcher saw: $bad"
  [ "$(grep -c MOVED_TO "$D/events")" -eq 6 ] || fail "$(grep -c MOVED_TO "$D/events") renames of 6"
  [ "$(find "$D/outbox" -name '.*' | wc -l)" -eq 0 ] || fail "temporary files left in the outbox"
  for f in "$D"/root/Text/*.txt "$D"/root/Excel/*.xls; do
    cmp -s "$f" "$D/outbox/$(basename "$f")" || fail "$(basename "$f") differs in the outbox"
  done
  echo "  watcher: $(grep -c CLOSE_WRITE "$D/events") writes to hidden names, $(grep -c MOVED_TO "$D/events") renames to final names"
else
  echo "  skipped: inotifywait is not installed (inotify-tools)"
fi

# --- A share not mounted, a capture killed outright while its deliveries
# wait, and the share back at the next start.
start_case outbox-unmounted
EXPECT_REPORTS=2
outbox_settings "$D/mnt/share"
repeat 2 >"$D/in.txt"
link=$D/port
timeout 30 "$SIM" --fast --link "$link" "$D/in.txt" >"$D/sim.out" 2>"$D/sim.err" &
sim=$!
for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
# Not below timeout: the kill must reach the capture itself.
"$CAPTURE" --port "$link" --model 6310 --root "$D/root" >"$D/out" 2>"$D/err" &
pid=$!
wait_for "$D/err" "Cannot deliver" 4 || fail "the failed deliveries were not told: $(head -2 "$D/err")"
kill -9 "$pid"
wait "$pid" 2>/dev/null
kill -TERM "$sim" 2>/dev/null
wait "$sim" 2>/dev/null
expect_told "$D/err" "to the outbox $D/mnt/share (the folder $D/mnt/share does not exist" "missing share"
expect_told "$D/err" "4 deliveries wait." "deliveries waiting"
[ "$(wc -l <"$D/root/Outbox/queue.txt")" -eq 4 ] || fail "the queue holds $(wc -l <"$D/root/Outbox/queue.txt") of 4"
[ ! -e "$D/mnt" ] || fail "the missing share's folder was made"
before=$(root_sums)
mkdir -p "$D/mnt/share"
timeout 30 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay /dev/null 2>"$D/restart.err" || fail "restart failed"
[ "$(final_files "$D/mnt/share")" -eq 4 ] || fail "$(final_files "$D/mnt/share") of 4 delivered after the restart"
[ ! -s "$D/root/Outbox/queue.txt" ] || fail "the queue still holds deliveries"
[ "$(root_sums)" = "$before" ] || fail "files in the root changed"
report "$D/root" "$D/in.txt" "$D/out"
echo "  queued 4, killed, delivered $(final_files "$D/mnt/share") at the restart"

# --- A folder of another user's (mode 555) and a full disk: the last line
# says how many wait; the next run delivers them.
outbox_fault() {
  local kind=$1
  shift
  EXPECT_REPORTS=1
  cat "$SAMPLE" >"$D/in.txt"
  timeout 30 "$@" "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$D/in.txt" >"$D/out" 2>"$D/err"
  echo "  exit status $?"
  expect_told "$D/err" "Cannot deliver $D/root/Text/" "$kind"
  tail -n 1 "$D/err" | grep -q "2 deliveries to the outbox $D/outbox wait" ||
    fail "the last line does not count the waiting deliveries: $(tail -n 1 "$D/err")"
  sed -n 's/^/  told: /p' "$D/err" | head -1
}
outbox_repaired() {
  local before
  before=$(root_sums)
  timeout 30 "$@" "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay /dev/null 2>"$D/restart.err" ||
    fail "restart failed"
  [ "$(final_files "$D/outbox")" -eq 2 ] || fail "$(final_files "$D/outbox") of 2 delivered once mended"
  [ "$(root_sums)" = "$before" ] || fail "files in the root changed"
  [ "$(find "$D/outbox" -name '.*' | wc -l)" -eq 0 ] || fail "temporary files left in the outbox"
}

start_case outbox-other-user
if "${AS_NOBODY[@]}" true 2>/dev/null; then
  mkdir -p "$D/outbox" "$D/root"
  outbox_settings "$D/outbox"
  chmod 555 "$D/outbox"
  chown -R 65534:65534 "$D/home" "$D/config" "$D/data" "$D/root"
  chmod 755 "$D"
  outbox_fault "refused by the folder's rights" "${AS_NOBODY[@]}"
  expect_told "$D/err" "Permission denied" "the cause"
  chown 65534:65534 "$D/outbox"
  chmod 755 "$D/outbox"
  outbox_repaired "${AS_NOBODY[@]}"
else
  echo "  skipped: setpriv cannot drop root here"
fi

start_case outbox-full-disk
mkdir -p "$D/outbox"
if mount -t tmpfs -o size=64k tmpfs "$D/outbox" 2>"$D/mount.err"; then
  MOUNTS+=("$D/outbox")
  head -c 1M /dev/zero >"$D/outbox/.fill" 2>/dev/null
  outbox_settings "$D/outbox"
  outbox_fault "full disk"
  expect_told "$D/err" "No space left on device" "the cause"
  rm -f "$D/outbox/.fill"
  outbox_repaired
else
  echo "  skipped: cannot mount a tmpfs here ($(cat "$D/mount.err"))"
fi

# --- The command after export: its arguments and environment (a path with
# blanks and non-ASCII characters), a failing and a missing program, and
# the capture going on while it runs.
start_case after-export
EXPECT_REPORTS=2
mkdir -p "$D/site tools"
record="$D/site tools/record ü.sh"
printf '#!/bin/sh\nprintf "%%s\\n" "$HARROW_REPORT" "$HARROW_MODEL" "$@" >"$0.args"\nprintf "%%s\\n" "$HARROW_FILES" >"$0.env"\n' \
  >"$record"
printf '#!/bin/sh\necho "upload refused: $1" >&2\nexit 3\n' >"$D/site tools/fails.sh"
printf '#!/bin/sh\n: >"$0.started"\nsleep 1.5\n: >"$0.done"\n' >"$D/site tools/sleeps.sh"
chmod 755 "$D/site tools/"*
cat "$SAMPLE" >"$D/in.txt"
# Not ending in a quote: a value both begun and ended by one loses them when read.
outbox_settings "" "\"$record\" --lab \"bench 2\" -v"
timeout 30 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$D/in.txt" >/dev/null 2>"$D/err" || fail "replay failed"
txt=$(ls "$D"/root/Text/*.txt)
xls=$(ls "$D"/root/Excel/*.xls)
printf '%s\n' "$(basename "$txt" .txt)" 6310 --lab "bench 2" -v "$txt" "$xls" | cmp -s - "$record.args" ||
  fail "the command's arguments: $(cat "$record.args" 2>/dev/null | tr '\n' '|')"
printf '%s\n%s\n' "$txt" "$xls" | cmp -s - "$record.env" || fail "HARROW_FILES: $(tr '\n' '|' <"$record.env")"
for run in fails missing; do
  outbox_settings "" "\"$D/site tools/$run.sh\" -v"
  timeout 30 "$CAPTURE" --quiet --model 6310 --root "$D/root" --replay "$D/in.txt" >/dev/null 2>"$D/err.$run"
done
expect_told "$D/err.fails" "ended with exit status 3; its error output began:" "exit status"
expect_told "$D/err.fails" "upload refused: -v" "its error output"
expect_told "$D/err.missing" "could not be started: No such file or directory" "missing program"
sed -n 's/^/  told: /p' "$D/err.missing" | head -1

# While the command sleeps, lines go on reaching standard output and the log.
rm -rf "$D/root"
outbox_settings "" "\"$D/site tools/sleeps.sh\""
repeat 2 >"$D/in.txt"
link=$D/port
timeout 30 "$SIM" --fast --link "$link" "$D/in.txt" >"$D/sim.out" 2>"$D/sim.err" &
sim=$!
for ((i = 0; i < 200; i++)); do [ -e "$link" ] && break; sleep 0.05; done
timeout 30 "$CAPTURE" --port "$link" --model 6310 --root "$D/root" >"$D/out" 2>"$D/err" &
pid=$!
# The first report's command sleeps 1.5 s; the second report arrives meanwhile.
for _ in $(seq 100); do
  [ "$(wc -l <"$D/out")" -ge "$(input_lines "$D/in.txt")" ] && break
  sleep 0.05
done
[ -e "$D/site tools/sleeps.sh.started" ] && [ ! -e "$D/site tools/sleeps.sh.done" ] || fail "the command did not run meanwhile"
mid_out=$(wc -l <"$D/out")
mid_log=$(log_lines "$D/root")
wait "$sim" 2>/dev/null
for _ in $(seq 100); do [ -e "$D/site tools/sleeps.sh.done" ] && break; sleep 0.05; done
kill -TERM "$pid"
wait "$pid"
rc=$?
[ "$mid_out" -eq "$(input_lines "$D/in.txt")" ] || fail "stdout had $mid_out lines while the command ran"
[ "$mid_log" -ge "$(input_lines "$D/in.txt")" ] || fail "the log had $mid_log lines while the command ran"
[ -e "$D/site tools/sleeps.sh.done" ] || fail "the running command was not let end"
echo "  while the command slept: $mid_out lines on stdout, $mid_log in the log"
expect_whole_run "$rc"
