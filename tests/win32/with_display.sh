#!/bin/sh
# Runs a command with an X display: the caller's when DISPLAY is set,
# otherwise a virtual one (Xvfb) for the command's life. The window tests
# of the Windows build run under wine through it.
#   with_display.sh COMMAND [ARGS...]
# wine picks its display driver when the prefix's wine session starts: a
# session begun without a display (another wine program still running
# headless in the same prefix) creates no windows, and a session begun on
# this script's own Xvfb ends with it. scripts/test.d/70-windows.sh hence
# runs the "gui." tests after the others, on one display of its own.
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
# Listing a test program's cases opens no window.
for arg in "$@"; do
  [ "$arg" = "--gtest_list_tests" ] && exec "$@"
done
command -v Xvfb >/dev/null 2>&1 || { echo "with_display.sh: Xvfb is needed (Debian package xvfb)" >&2; exit 1; }
fifo=$(mktemp -u)
mkfifo "$fifo" || exit 1
# Xvfb picks a free display number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
number=$(timeout 20 head -n 1 "$fifo")
rm -f "$fifo"
if [ -z "$number" ]; then
  kill "$xvfb" 2>/dev/null
  echo "with_display.sh: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=":$number"
export DISPLAY
"$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
