#!/usr/bin/env bash
# The Windows programs must start on a bare Windows PC: every DLL their
# import tables name must be one Windows itself ships. wine ships more (a
# zlib1.dll in every prefix, say), so a run under wine cannot show this.
#   tests/win32/check_imports.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1
shift
# The system's own DLLs the programs may use; a new one is added here only
# once it is known to be part of every supported Windows. Winsock
# (ws2_32.dll) comes with the static libgpg-error below libgcrypt.
allowed=(advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  setupapi.dll shell32.dll user32.dll version.dll ws2_32.dll)
failed=0
for exe in "$@"; do
  names=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$names" ] || { echo "FAIL: $exe: no import table read" >&2; failed=1; continue; }
  for name in $names; do
    printf '%s\n' "${allowed[@]}" | grep -qxF "$name" ||
      { echo "FAIL: $exe imports $name, which Windows does not ship" >&2; failed=1; }
  done
done
[ "$failed" -eq 0 ] && echo "imports of $#: only DLLs of Windows itself"
exit "$failed"
