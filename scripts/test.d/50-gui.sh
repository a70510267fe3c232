#!/usr/bin/env bash
# The desktop application for real: on a virtual X display, harrow --demo
# captures from the reader simulator until a report is exported, its window
# is pictured, and SIGTERM closes it cleanly.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
HARROW_BUILD=build/release bash scripts/screenshot "$out/screenshot.png"
test -s "$out/screenshot.png"
