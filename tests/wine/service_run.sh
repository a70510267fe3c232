#!/usr/bin/env bash
# The capture as a Windows service, in a fresh wine prefix of its own:
#   tests/wine/service_run.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
# after `ninja -C WINDOWS_BUILD_DIR harrow_msi`. The installer with its
# service feature and the site's settings installs the service, which waits
# for a COM7 that is not there yet; the Linux reader-sim then plays half a
# report on the pty that wine maps to COM7, and `net stop` mid-report makes
# the service export it, with the settings of %ProgramData% (not the
# user's) and its messages in harrow-capture.log beside the traffic log.
# An upgrade stops the service, replaces the program and starts it again;
# removing Harrow removes the service and leaves the reports. Last, the
# command line installs, changes and removes the service by itself.
#
# Where wine differs from Windows:
# - Wine keeps no event log (ReportEvent only traces), so the messages are
#   checked in the file the service writes beside them.
# - Wine ends its service manager, and every service with it, without a
#   stop or shut-down control once no other wine program runs: a program
#   that waits on its input keeps the service alive for the test.
# - Wine's service manager starts the automatic services itself whenever
#   it starts, as Windows does at boot; `net start` may find it running.
# - Wine's installer neither carries features over to a newer installation
#   nor tells the older one's removal that it is an upgrade: the service is
#   removed and installed anew there, where Windows changes it in place.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
capture=$build/tools/harrow-capture.exe
sim=$(cd "$2" && pwd)/tools/reader-sim
source "$here/../../scripts/wine.sh"
msi=$(echo "$build"/harrow-*-x64.msi)
[ -f "$msi" ] || { echo "FAIL: no installer in $build (ninja -C $1 harrow_msi)" >&2; exit 1; }
work=$(mktemp -d)
keeper=
trap 'exec 9>&-; [ -z "$keeper" ] || kill "$keeper" 2>/dev/null; wine_ports_stop; [ -n "${HARROW_KEEP:-}" ] || rm -rf "$work"' EXIT
failed=0

# --- The tables: the feature, and the program installing the service.
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
table Feature | grep -q $'^CaptureService\tPrograms\t' || fail "no service feature below Programs: $(table Feature)"
table CustomAction | grep -q $'^InstallCaptureService\t3090\tharrow_capture.exe\t--install-service' ||
  fail "no deferred --install-service as LocalSystem: $(table CustomAction)"
table CustomAction | grep -q $'^RemoveCaptureService\t3090\tharrow_capture.exe\t--remove-service' ||
  fail "no deferred --remove-service as LocalSystem: $(table CustomAction)"
table ServiceControl | grep -q $'\tHarrowCapture\t35\t' || fail "the service is not started and stopped: $(table ServiceControl)"

wine_env "$work/prefix"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
c=$WINEPREFIX/drive_c
wine_ports_init "$work"
wine_map_port COM7 "$work/port"
wine_ports_apply
# Everything wine starts from here on, the service manager and the service
# included, answers the pty's modem-line calls.
export LD_PRELOAD=$wine_shim
mkfifo "$work/keep"
wine cmd /c "set /p x=" <"$work/keep" >/dev/null 2>&1 &
keeper=$!
# Held open until the test ends, which then ends the program.
exec 9>"$work/keep"
query() { wine sc query HarrowCapture 2>/dev/null | tr -d '\r'; }
state() { query | awk '$1 == "STATE" { print $4 }'; }

# A user's own settings, which the service must not read.
own=$(echo "$c"/users/*/AppData/Roaming)/Harrow
mkdir -p "$own"
printf '[Kestrel]\r\nComPort=COM9\r\nDevType=6120\r\n6310_Root=C:\\user\\6310\r\n' >"$own/Kestrel.ini"

echo "-- installed with the service feature and the site's settings"
wine msiexec /i "$msi" /qn ADDLOCAL=ALL COMPORT=COM7 DEVTYPE=6310 'ROOT_6310=C:\svc\6310' >/dev/null 2>&1 ||
  fail "the installation with the service failed"
root=$c/svc/6310
log=$root/Log/harrow-capture.log
wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\HarrowCapture' /v ImagePath 2>/dev/null | tr -d '\r' |
  grep -qF '"C:\Program Files\Harrow\harrow-capture.exe" --service' || fail "the service's command line: $(query)"
wait_for '[ "$(state)" = RUNNING ]' 20 || fail "the service does not run after the installation: $(query)"
wait_for 'grep -q "waiting for COM7 (model 6310) into C:\\\\svc\\\\6310" "$log" 2>/dev/null' 20 ||
  fail "the service does not wait for the missing COM7 with the site's settings: $(cat "$log" 2>&1)"

echo "-- half a report, then the service stopped"
transcript=$here/../../samples/6310-english.txt
half=$work/half.txt
python3 -c "
import sys; d = open(sys.argv[1], 'rb').read()
open(sys.argv[2], 'wb').write(d[:d.find(b'\r', len(d) // 2) + 1])" "$transcript" "$half"
lines=$(tr -cd '\r' <"$half" | wc -c)
"$sim" --fast --hold --link "$work/port" "$half" >/dev/null 2>"$work/sim.err" &
simpid=$!
logged() { tr -d '\r' <"$root/Log/USB_Serial.log" 2>/dev/null | grep -cP ':\t' || true; }
wait_for '[ "$(logged)" -ge "$lines" ]' 30 ||
  fail "the service logged $(logged) of $lines lines: $(cat "$log" 2>&1) $(cat "$work/sim.err")"
grep -q "Connected to the port COM7" "$log" || fail "the service did not tell that it took up COM7: $(cat "$log")"
[ -z "$(ls "$root/Text" 2>/dev/null)" ] || fail "a report was exported before the stop"
wine net stop HarrowCapture >"$work/stop.out" 2>&1 || fail "net stop failed: $(cat "$work/stop.out")"
wait_for '[ "$(state)" = STOPPED ]' 20 || fail "the service did not stop: $(query)"
kill "$simpid" 2>/dev/null || true
wine "$capture" --quiet --model 6310 --root "$(winpath "$work/replay")" --replay "$(winpath "$half")" \
  >/dev/null 2>"$work/replay.err" || fail "the replay of the half report failed: $(cat "$work/replay.err")"
for kind in Text Excel; do
  [ "$(ls "$root/$kind" 2>/dev/null | wc -l)" = 1 ] || fail "the stop exported not one file to $kind: $(ls "$root/$kind" 2>&1)"
  cmp -s <(cat "$root/$kind"/*) <(cat "$work/replay/$kind"/*) || fail "the stop's $kind export differs from the replay's"
done
[ ! -e "$c/user/6310" ] || fail "the service used the user's settings"
for want in "service started: harrow-capture " "settings from C:\\ProgramData\\Harrow\\Kestrel.ini" \
  "service stopped"; do
  grep -qF "$want" "$log" || fail "harrow-capture.log lacks \"$want\": $(cat "$log")"
done

echo "-- upgraded while the service runs: stopped, replaced and started again"
wine net start HarrowCapture >/dev/null 2>&1 || true
wait_for '[ "$(state)" = RUNNING ]' 20 || fail "net start did not start the service again: $(query)"
version=${msi##*/harrow-}
version=${version%-x64.msi}
IFS=. read -r a b c3 d <<<"$version"
sh "$here/../../packaging/windows/make_msi.sh" "$build/msi" "$a.$b.$c3.$((d + 1))" x64 "$work/newer.msi"
# ADDLOCAL again for wine only: Windows carries the features over to the
# newer installation (MigrateFeatureStates), wine does not.
wine msiexec /i "$work/newer.msi" /qn ADDLOCAL=ALL >/dev/null 2>&1 || fail "the upgrade with the service running failed"
wait_for '[ "$(state)" = RUNNING ]' 20 || fail "the service does not run after the upgrade: $(query)"
wait_for '[ "$(grep -c "service started" "$log")" = 3 ]' 20 ||
  fail "the upgrade did not stop and start the service: $(cat "$log")"

echo "-- removed with Harrow; the reports stay"
wine msiexec /x "$work/newer.msi" /qn >/dev/null 2>&1 || fail "the removal failed"
[ -z "$(query | grep STATE)" ] || fail "the removal left the service: $(query)"
[ ! -e "$c/Program Files/Harrow/harrow-capture.exe" ] || fail "the removal left harrow-capture.exe"
[ -n "$(ls "$root/Text")" ] && [ -f "$log" ] || fail "the removal took the reports or the service's messages"

echo "-- the command line"
out=$(wine "$capture" --service 2>&1) && fail "--service from a console succeeded"
grep -q "given by the service manager" <<<"$out" || fail "--service from a console says: $out"
out=$(wine "$capture" --install-service --replay x 2>&1) && fail "--install-service took --replay"
wine "$capture" --install-service --port COM8 --model 6120 >"$work/install.out" 2>&1 ||
  fail "--install-service failed: $(cat "$work/install.out")"
grep -q 'is installed' "$work/install.out" || fail "--install-service says: $(cat "$work/install.out")"
wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\HarrowCapture' /v ImagePath 2>/dev/null | tr -d '\r' |
  grep -qF -- '--service --port COM8 --model 6120' || fail "the command line's options are not kept: $(query)"
# The site's settings name no root for the 6120: the service's default one.
wine net start HarrowCapture >/dev/null 2>&1 || true
wait_for 'grep -qF "waiting for COM8 (model 6120) into C:\ProgramData\Harrow\6120" \
  "$c/ProgramData/Harrow/6120/Log/harrow-capture.log" 2>/dev/null' 20 ||
  fail "the service's default root is not below %ProgramData%: $(ls -R "$c/ProgramData/Harrow")"
wine "$capture" --install-service --port COM9 >"$work/change.out" 2>&1 && grep -q 'is changed' "$work/change.out" ||
  fail "--install-service again: $(cat "$work/change.out")"
wine "$capture" --remove-service >"$work/remove.out" 2>&1 && grep -q 'is removed' "$work/remove.out" ||
  fail "--remove-service: $(cat "$work/remove.out")"
[ -z "$(query | grep STATE)" ] || fail "--remove-service left the service: $(query)"
wine "$capture" --remove-service >"$work/again.out" 2>&1 && grep -q 'nothing to remove' "$work/again.out" ||
  fail "--remove-service with none installed: $(cat "$work/again.out")"

[ "$failed" = 0 ] && echo "service_run: ok"
exit "$failed"
