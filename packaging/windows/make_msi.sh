#!/bin/sh
# Builds the Windows installer from the programs of a build:
#   make_msi.sh STAGE VERSION ARCH OUTPUT
# STAGE holds harrow.exe, harrow-capture.exe, harrow.ico and README.txt;
# VERSION is the programs' a.b.c.d; ARCH is x64 or x86. Needs wixl and
# msibuild (Debian's wixl and msitools).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
stage=$1 version=$2 arch=$3
output=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")

# Windows Installer compares only the first three fields of a version when it
# decides what an installer upgrades, and the programs count their releases
# in the fourth: a.b.c.d becomes a.b.(c*1000+d), which orders alike.
IFS=. read -r a b c d <<EOV
$version
EOV
d=${d:-0}
if [ "$a" -gt 255 ] || [ "$b" -gt 255 ] || [ "$d" -gt 999 ] || [ $((c * 1000 + d)) -gt 65535 ]; then
  echo "make_msi.sh: version $version does not fit an installer's a.b.(c*1000+d)" >&2
  exit 1
fi
msi_version=$a.$b.$((c * 1000 + d))

case $arch in
  x64) program_files=ProgramFiles64Folder win64=yes ;;
  x86) program_files=ProgramFilesFolder win64=no ;;
  *) echo "make_msi.sh: ARCH is x64 or x86, not $arch" >&2; exit 1 ;;
esac

# wixl takes the files by their names in the folder it runs in.
(cd "$stage" && wixl -a "$arch" -o "$output" -D Version="$msi_version" -D FullVersion="$version" \
  -D ProgramFiles="$program_files" -D Win64="$win64" "$here/harrow.wxs")
# The machine-wide settings file, %ProgramData%\Harrow\Kestrel.ini, which
# wixl has no element for: the installer's own IniFile table, written by its
# WriteIniValues action. Each key has its component (in harrow.wxs), which
# is installed only when its property was given, and is permanent (16), so
# that removing Harrow keeps the site's settings.
table=$(mktemp)
trap 'rm -f "$table"' EXIT
printf 'IniFile\tFileName\tDirProperty\tSection\tKey\tValue\tAction\tComponent_\n' >"$table"
printf 's72\tl255\tS72\tl96\tl128\tl255\ti2\ts72\nIniFile\tIniFile\n' >>"$table"
while read -r component property key; do
  # Action 0 adds the key or replaces its value.
  printf '%s\tKestrel.ini\tSITESETTINGSDIR\tKestrel\t%s\t[%s]\t0\t%s\n' "$component" "$key" "$property" \
    "$component" >>"$table"
  msibuild "$output" -q "UPDATE \`Component\` SET \`Attributes\` = 16, \`Condition\` = '$property' WHERE \`Component\` = '$component'"
done <<EOL
SiteComPort COMPORT ComPort
SiteDevType DEVTYPE DevType
SiteExportFormats EXPORTFORMATS ExportFormats
SiteRoot6120 ROOT_6120 6120_Root
SiteRoot6310 ROOT_6310 6310_Root
SiteRoot6350 ROOT_6350 6350_Root
SiteRoot6480 ROOT_6480 6480_Root
EOL
msibuild "$output" -i "$table"
# A deployment tool installs as another user than the one who gave the
# properties; only secure properties reach the part that writes the file.
secure=$(msiinfo export "$output" Property | awk -F '\t' '$1 == "SecureCustomProperties" { print $2 }')
msibuild "$output" -q "UPDATE \`Property\` SET \`Value\` = '$secure;COMPORT;DEVTYPE;EXPORTFORMATS;ROOT_6120;ROOT_6310;ROOT_6350;ROOT_6480' WHERE \`Property\` = 'SecureCustomProperties'"
