#!/usr/bin/env bash
# The desktop application for real: the window tests once more with the
# monospace face of a common desktop (Noto Sans Mono, which does not claim a
# fixed pitch), then, on a virtual X display, harrow --demo captures from the
# reader simulator until a report is exported, its window is pictured, and
# SIGTERM closes it cleanly.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

# 400 kB: cheap enough to run the window tests under it every time.
ensure_packages fonts-noto-mono
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -L '^gui_tests$')

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
HARROW_BUILD=build/release bash scripts/screenshot "$out/screenshot.png"
test -s "$out/screenshot.png"
