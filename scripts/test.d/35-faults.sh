#!/usr/bin/env bash
# The real harrow-capture under the faults a lab meets (a file-size limit,
# stop signals during a replay, a full disk, folders it may not write, a
# pulled adapter, kill -9): tests/faults/run.sh over the release build.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

ensure_packages util-linux mount coreutils procps faketime
ninja -C build/release harrow-capture reader-sim >/dev/null
timeout 170 bash tests/faults/run.sh build/release
