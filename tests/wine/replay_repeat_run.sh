#!/usr/bin/env bash
# Every sample replayed again and again by harrow-capture.exe under wine:
#   tests/wine/replay_repeat_run.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR [TIMES]
# A fault at the end of a thread or of the process shows only now and then,
# so each sample, sent five times over as a reader sends a day's reports,
# runs TIMES times (default 20); every run must end with status 0 and
# export, byte for byte, what the Linux build exports from the same bytes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
capture=$(cd "$1" && pwd)/tools/harrow-capture.exe
linux=$(cd "$2" && pwd)/tools/harrow-capture
times=${3:-20}
source "$here/../../scripts/wine.sh"
work=$(mktemp -d)
trap '[ -n "${HARROW_KEEP:-}" ] || rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

# Every file of a folder in the order the reports ended, one after the
# other: the names carry the time of the export, which differs from run to
# run, and reports of one second are numbered _2 ... _10 (hence -V).
folder_bytes() { find "$1" -type f | sort -V | xargs -r cat; }

# One wine replay of sample $1 into root $2; prints nothing when it is right.
replay_once() {
  local sample=$1 root=$2 model status=0
  model=$(basename "$sample" | cut -d- -f1)
  wine "$capture" --quiet --model "$model" --root "$(winpath "$root")" --replay "$(winpath "$sample")" \
    >"$root.out" 2>"$root.err" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAIL: $(basename "$sample") run $(basename "$root"): status $status: $(head -c 400 "$root.err")"
    return
  fi
  local kind same=1
  for kind in Text Excel; do
    folder_bytes "$root/$kind" >"$root.$kind"
    if ! cmp -s "$root.$kind" "$work/$(basename "$sample").$kind"; then
      echo "FAIL: $(basename "$sample") run $(basename "$root"): $kind exports differ from Linux's"
      same=0
    fi
  done
  [ "$same" -eq 0 ] || rm -rf "$root" "$root".*
}
export -f replay_once folder_bytes winpath
export capture work

mkdir "$work/streams"
for sample in "$here"/../../samples/*.txt; do
  for i in 1 2 3 4 5; do cat "$sample"; done >"$work/streams/$(basename "$sample")"
done
for sample in "$work"/streams/*.txt; do
  model=$(basename "$sample" | cut -d- -f1)
  "$linux" --quiet --model "$model" --root "$work/linux" --replay "$sample" >/dev/null
  for kind in Text Excel; do folder_bytes "$work/linux/$kind" >"$work/$(basename "$sample").$kind"; done
  rm -rf "$work/linux"
done

# Two replays at a time: the machine's two cores, and threads of two
# processes ending side by side, as on a busy lab PC.
failures=$(for sample in "$work"/streams/*.txt; do
  for i in $(seq "$times"); do echo "$sample $work/$(basename "$sample" .txt)-$i"; done
done | xargs -P 2 -L 1 bash -c 'replay_once "$0" "$1"')
if [ -n "$failures" ]; then
  echo "$failures" >&2
  exit 1
fi
echo "replays under wine: $(ls "$here"/../../samples/*.txt | wc -l) samples, $times runs each, all equal to Linux's"
