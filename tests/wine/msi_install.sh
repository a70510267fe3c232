#!/usr/bin/env bash
# The Windows installer, in a fresh wine prefix of its own:
#   tests/wine/msi_install.sh WINDOWS_BUILD_DIR
# after `ninja -C WINDOWS_BUILD_DIR harrow_msi`. Its tables hold the
# programs, the Start-menu shortcut, the fixed upgrade code and the site's
# settings; a silent installation with the site's properties puts the
# programs in C:\Program Files\Harrow, the shortcut in the Start menu, an
# entry among the installed programs and the settings in
# %ProgramData%\Harrow\Kestrel.ini, which a user without settings starts
# with; an installer one release newer replaces it in place, the older one
# then refuses to go back, and removal takes the programs and shortcut but
# leaves the settings and the reports.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine.sh"
msi=$(echo "$build"/harrow-*-x64.msi)
[ -f "$msi" ] || { echo "FAIL: no installer in $build (ninja -C $1 harrow_msi)" >&2; exit 1; }
version=${msi##*/harrow-}
version=${version%-x64.msi}
# The installer's own version: a.b.c.d as a.b.(c*1000+d), and one release on.
IFS=. read -r a b c3 d <<<"$version"
shown_version=$a.$b.$((c3 * 1000 + d))
newer=$a.$b.$c3.$((d + 1)) shown_newer=$a.$b.$((c3 * 1000 + d + 1))
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
failed=0

# --- The tables, as msiinfo reads them.
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
for file in harrow.exe harrow-capture.exe README.txt; do
  table File | awk -F '\t' '{ print $3 }' | grep -qx "$file" || fail "the installer lacks $file"
done
table Shortcut | grep -q $'^HarrowStartMenu\tProgramMenuFolder\tHarrow\tHarrowExe\t\[#harrow.exe\]' ||
  fail "no Start-menu shortcut to harrow.exe: $(table Shortcut)"
code=$(grep -o 'UpgradeCode="[^"]*"' "$here/../../packaging/windows/harrow.wxs" | cut -d '"' -f 2)
table Property | grep -qx $'UpgradeCode\t{'"$code}" || fail "the upgrade code is not $code"
table LaunchCondition | grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Harrow is already installed' ||
  fail "no message refusing a downgrade: $(table LaunchCondition)"
table IniFile | grep -q $'\tKestrel.ini\tSITESETTINGSDIR\tKestrel\tComPort\t\[COMPORT\]\t' ||
  fail "no ComPort in the site's settings: $(table IniFile)"

# --- A fresh prefix; its menu entries stay out of the Linux desktop.
wine_env "$work/prefix"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
c=$WINEPREFIX/drive_c
programs=$c/Program\ Files/Harrow
# Windows puts a per-machine installation's shortcut in the Start menu of
# all users; wine's installer puts it in the installing user's.
shortcuts() { ls "$c"/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Harrow.lnk \
  "$c"/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Harrow.lnk 2>/dev/null || true; }
site=$c/ProgramData/Harrow/Kestrel.ini
msiexec() { wine msiexec "$@" >/dev/null 2>&1; }
# The installed programs' entries: DisplayName, DisplayVersion, Publisher, ...
entries() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } $1 == "DisplayName" && $3 == "Harrow" { print key }' | while read -r key; do
    wine reg query "$key" 2>/dev/null | tr -d '\r' | awk '$2 ~ /^REG_/ { n = $1; $1 = $2 = ""; sub(/^ +/, ""); print n "=" $0 }'
    echo
  done
}

msiexec /i "$msi" /qn COMPORT=COM3 DEVTYPE=6310 'ROOT_6310=C:\lab\6310' EXPORTFORMATS=xls,xlsx ||
  fail "the installation with the site's properties failed"
for file in harrow.exe harrow-capture.exe README.txt; do
  [ -f "$programs/$file" ] || fail "$file is not in C:\\Program Files\\Harrow"
done
[ -n "$(shortcuts)" ] || fail "no Harrow shortcut in the Start menu"
installed=$(entries)
for want in DisplayName=Harrow DisplayVersion=$shown_version Publisher=Harrow\ developers UninstallString=MsiExec.exe; do
  grep -q "^$want" <<<"$installed" || fail "the installed programs' entry lacks $want: $installed"
done
# The entry's icon: the installer keeps its own copy for it.
ls "$c"/windows/Installer/'{'*'}'/harrow.ico >/dev/null 2>&1 || fail "no icon for the installed programs' entry"
shown=$(wine "$programs/harrow-capture.exe" --version 2>&1 | tr -d '\r')
grep -q "$version" <<<"$shown" || fail "the installed harrow-capture.exe --version says \"$shown\", not $version"
for line in ComPort=COM3 DevType=6310 '6310_Root=C:\lab\6310' ExportFormats=xls,xlsx; do
  tr -d '\r' <"$site" 2>/dev/null | grep -qxF "$line" || fail "the site's Kestrel.ini lacks $line: $(cat "$site" 2>&1)"
done

# --- A user without settings starts with the site's: the replayed report
# goes below the site's root, in the site's formats.
wine "$programs/harrow-capture.exe" --quiet --replay "$(winpath "$here/../../samples/6310-english.txt")" \
  >/dev/null 2>&1 || fail "the installed harrow-capture.exe failed its replay"
ls "$c/lab/6310/Excel/"*.xlsx "$c/lab/6310/Excel/"*.xls >/dev/null 2>&1 ||
  fail "the replay did not export .xls and .xlsx below the site's root C:\\lab\\6310"
own=$(echo "$c"/users/*/AppData/Roaming/Harrow/Kestrel.ini)
tr -d '\r' <"$own" 2>/dev/null | grep -qx ComPort=COM3 || fail "the user's Kestrel.ini is not the site's: $(cat "$own" 2>&1)"

# --- One release newer (the fourth field, as releases count) replaces it.
sh "$here/../../packaging/windows/make_msi.sh" "$build/msi" "$newer" x64 "$work/newer.msi"
msiexec /i "$work/newer.msi" /qn || fail "the newer installer failed"
installed=$(entries)
[ "$(grep -c '^DisplayName=' <<<"$installed")" = 1 ] || fail "not one Harrow installed after the upgrade: $installed"
grep -qx "DisplayVersion=$shown_newer" <<<"$installed" ||
  fail "the upgrade's entry is not of version $newer: $installed"
[ -f "$programs/harrow.exe" ] && [ -n "$(shortcuts)" ] || fail "the upgrade lost the programs or the shortcut"
tr -d '\r' <"$site" | grep -qx ComPort=COM3 || fail "the upgrade without properties changed the site's settings"

# --- The older installer refuses to go back (with the message of its
# launch condition, which wine does not log).
status=0
wine msiexec /i "$msi" /qn >/dev/null 2>&1 || status=$?
# 1603, the installer's failure, of which Linux keeps the low byte.
[ "$status" = $((1603 & 255)) ] || fail "the older installer over the newer one ended with $status, not 1603 (refused)"
grep -qx "DisplayVersion=$shown_newer" <<<"$(entries)" || fail "the refused downgrade changed the installation"

# --- Removal takes the programs and the shortcut, never settings or reports.
msiexec /x "$work/newer.msi" /qn || fail "the removal failed"
[ ! -e "$programs/harrow.exe" ] && [ ! -e "$programs/harrow-capture.exe" ] || fail "the removal left the programs"
[ -z "$(shortcuts)" ] || fail "the removal left the shortcut"
[ -z "$(entries)" ] || fail "the removal left the installed programs' entry"
[ -f "$site" ] && [ -f "$own" ] || fail "the removal took the site's or the user's settings"
ls "$c/lab/6310/Excel/"*.xls "$c/lab/6310/Log/"* >/dev/null 2>&1 || fail "the removal took the reports or the traffic log"

[ "$failed" = 0 ] && echo "msi_install: ok"
exit "$failed"
