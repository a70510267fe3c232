#!/usr/bin/env bash
# What harrow-capture.exe hands on for a lab's information system, under
# wine: a replay with the results format, an outbox and a command after
# each report set in the user's Kestrel.ini, then --verify of the root, as
# found and after one byte of the worksheet was changed:
#   tests/wine/lims_run.sh WINDOWS_BUILD_DIR
# The command is a batch file in a folder whose name has a space, started
# with arguments that need quoting by the Windows rules; as the value begins
# and ends with a quote, it has the extra pair of quotes that Windows' own
# reading of settings files takes off.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
capture=$build/tools/harrow-capture.exe
source "$here/../../scripts/wine.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$work/outbox" "$work/site scripts"

appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")
mkdir -p "$appdata/Harrow"
settings=$appdata/Harrow/Kestrel.ini
saved=$work/Kestrel.ini.saved
[ ! -e "$settings" ] || mv "$settings" "$saved"
trap '[ ! -e "$saved" ] && rm -f "$settings" || mv "$saved" "$settings"; rm -rf "$work"' EXIT
printf '@echo %%* > "%s"\r\n@exit /b 0\r\n' "$(winpath "$work/args.txt")" >"$work/site scripts/after.bat"
printf '[Kestrel]\r\nDevType=6310\r\n6310_Root=%s\r\nExportFormats=xls,results\r\nOutboxFolder=%s\r\nOutboxFormats=results,xls\r\nAfterExport=""%s" --lab "bench 2""\r\n' \
  "$(winpath "$work/root")" "$(winpath "$work/outbox")" "$(winpath "$work/site scripts/after.bat")" >"$settings"

failures=()
status=0
wine "$capture" --quiet --replay "$(winpath "$here/../../samples/6310-english.txt")" >"$work/out" 2>"$work/err" ||
  status=$?
[ "$status" -eq 0 ] || failures+=("replay: exit status $status: $(head -c 400 "$work/err")")

results=$(ls "$work/root/Results/"*.csv 2>/dev/null | head -1)
base=$(basename "${results:-none}" .csv)
if [ -z "$results" ]; then
  failures+=("no results file in $work/root/Results")
else
  head -n 1 "$results" | grep -q '^report,model,test,printed_date,exported_at,' || failures+=("the results file's header")
  cmp -s "$results" "$work/outbox/$base.csv" || failures+=("the outbox lacks the results file $base.csv")
  cmp -s "$work/root/Excel/$base.xls" "$work/outbox/$base.xls" || failures+=("the outbox lacks the worksheet $base.xls")
  [ -z "$(ls -A "$work/outbox" | grep '^\.')" ] || failures+=("temporary files left in the outbox")
  for i in $(seq 100); do [ -s "$work/args.txt" ] && break; sleep 0.1; done
  grep -qF -- '--lab "bench 2"' "$work/args.txt" 2>/dev/null || failures+=("the command's arguments: $(cat "$work/args.txt" 2>/dev/null || true); told: $(head -c 600 "$work/err")")
  grep -qF -- "$base.csv" "$work/args.txt" 2>/dev/null || failures+=("the command was not given the results file")
  manifest=$work/root/Manifest/manifest.jsonl
  [ "$(wc -l <"$manifest")" -eq 1 ] || failures+=("the manifest has $(wc -l <"$manifest") lines, not 1")
  for f in "Text/$base.txt" "Excel/$base.xls" "Results/$base.csv"; do
    sum=$(sha256sum "$work/root/$f" | cut -d' ' -f1)
    grep -qF "$sum" "$manifest" || failures+=("the manifest lacks the hash of $f")
  done
  status=0
  wine "$capture" --verify "$(winpath "$work/root")" >"$work/verify" 2>&1 || status=$?
  [ "$status" -eq 0 ] && grep -q "^ok $base" "$work/verify" || failures+=("verify: exit status $status: $(head -c 300 "$work/verify")")
  printf 'x' | dd of="$work/root/Excel/$base.xls" bs=1 seek=100 conv=notrunc status=none
  status=0
  wine "$capture" --verify "$(winpath "$work/root")" >"$work/verify" 2>&1 || status=$?
  [ "$status" -eq 4 ] && grep -q "^altered $base" "$work/verify" ||
    failures+=("verify after an edit: exit status $status: $(head -c 300 "$work/verify")")
fi
if [ "${#failures[@]}" -gt 0 ]; then
  printf 'FAIL: %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "results, outbox, command and manifest under wine: $base delivered, recorded and verified"
