#!/usr/bin/env bash
# Sixty seconds of the report fuzzer: byte streams through the receive path
# and the collector of every model, under ASan and UBSan, with bounded
# memory and time per input.
set -euo pipefail
exec bash "$(dirname "$0")/../fuzz" 60
