#!/usr/bin/env bash
# The serial port and its listener thread, the capture's port handling and
# the reports' own thread run on several threads: build them with
# ThreadSanitizer and run their tests, the live end-to-end runs (reader-sim
# into harrow-capture) included.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"

cmake -S "$HARROW_ROOT" -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DHARROW_WERROR=ON -DHARROW_TSAN=ON -DHARROW_BENCH=OFF -DHARROW_GUI=OFF >/dev/null
# Whole test programs, each by its label: a suite added to one of them is
# run here without being listed.
THREADED_TESTS=(serial_tests live_capture_tests app_tests)
ninja -C build/tsan "${THREADED_TESTS[@]}" harrow-capture reader-sim
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
(cd build/tsan && ctest --output-on-failure --timeout 300 -L "^($(IFS='|'; echo "${THREADED_TESTS[*]}"))\$")
