#!/usr/bin/env bash
# The traffic log of harrow-capture.exe crosses its rotation size while its
# newest older generation is held open, without sharing, by another
# program (tests/win32/hold_file.cc), under wine:
#   tests/wine/rotation_held_open.sh WINDOWS_BUILD_DIR
# Windows renames no file that another program holds open so, and never
# renames onto a name that exists: the log cannot be moved aside. Every
# line must stay in it, the older generations must keep their contents
# (those that could move up may), and standard error must say why.
# Where wine differs from Windows: it keeps the sharing mode only among
# wine processes (a Linux program could still rename the held file, which
# this test does not do), and its error texts are its own, so only the
# start of the message is compared.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
capture=$build/tools/harrow-capture.exe
holder=$build/tests/hold_file.exe
source "$here/../../scripts/wine.sh"
work=$(mktemp -d)
holder_pid=
trap 'touch "$work/release"; [ -z "$holder_pid" ] || wait "$holder_pid" || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

log=$work/root/Log
mkdir -p "$log"
# A log close to its limit (lines without a time stamp), and two older
# generations.
head -c 960000 /dev/zero | tr '\0' 'x' | fold -w 98 | sed 's/$/\r/' >"$log/USB_Serial.log"
cp "$log/USB_Serial.log" "$work/filler"
printf 'first\r\n' >"$log/USB_Serial[1].log"
printf 'second\r\n' >"$log/USB_Serial[2].log"
for i in $(seq 40); do cat "$here/../../samples/6310-english.txt"; done >"$work/in.txt"

wine "$holder" "$(winpath "$log/USB_Serial[1].log")" "$(winpath "$work/release")" >"$work/holder.out" 2>&1 &
holder_pid=$!
for i in $(seq 600); do grep -q held "$work/holder.out" 2>/dev/null && break; sleep 0.1; done
grep -q held "$work/holder.out" || { echo "FAIL: the generation could not be held: $(cat "$work/holder.out")" >&2; exit 1; }

status=0
wine "$capture" --quiet --model none --root "$(winpath "$work/root")" --replay "$(winpath "$work/in.txt")" \
  >"$work/out" 2>"$work/err" || status=$?
touch "$work/release"
wait "$holder_pid" || true
holder_pid=

failures=()
[ "$status" -eq 0 ] || failures+=("exit status $status: $(head -c 400 "$work/err")")
input=$(tr -cd '\r' <"$work/in.txt" | wc -c)
logged=$(cat "$log"/USB_Serial*.log | grep -c $'\t' || true)
[ "$logged" -eq "$input" ] || failures+=("the logs hold $logged of $input lines")
cmp -s <(head -c "$(stat -c %s "$work/filler")" "$log/USB_Serial.log") "$work/filler" ||
  failures+=("the log lost what it held before")
[ "$(cat "$log/USB_Serial[1].log")" = $'first\r' ] || failures+=("the held generation changed")
[ "$(cat "$log/USB_Serial[3].log" 2>/dev/null)" = $'second\r' ] || failures+=("the generation that could move up did not")
told="The traffic log $(winpath "$log/USB_Serial.log") cannot be rotated (cannot rename $(winpath "$log/USB_Serial[1].log") to $(winpath "$log/USB_Serial[2].log"): "
grep -qF -- "$told" "$work/err" || failures+=("not told on stderr: $told")
if [ "${#failures[@]}" -gt 0 ]; then
  printf 'FAIL: %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "rotation with a generation held open under wine: $logged of $input lines logged; told: $(grep -F 'cannot be rotated' "$work/err" | head -c 300)"
