#!/usr/bin/env bash
# Runs the Windows COM port tests under wine against a Linux pty pair:
#   tests/wine/com_port_run.sh BUILD_DIR
# socat joins two ptys that wine maps to COM7 and COM8. Uses the caller's
# WINEPREFIX, whose wineserver it restarts to map the ports.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../../scripts/wine.sh"
work=$(mktemp -d)
trap 'wine_ports_stop; rm -rf "$work"' EXIT
wine_ports_init "$work"
wine_ports_pair COM7 COM8
HARROW_COM_PORT=COM7 HARROW_COM_PEER=COM8 LD_PRELOAD="$wine_shim" wine "$build/tests/serial/com_port_tests.exe"
