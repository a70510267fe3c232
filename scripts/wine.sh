# Shared by the Windows stage of scripts/test, its wine test drivers and
# scripts/run --windows: COM ports under wine backed by Linux ptys.
# Sourced; needs socat, cc and wine. The caller removes what it made with
# wine_ports_stop (in its EXIT trap).

HARROW_ROOT=${HARROW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# A headless wine in PREFIX, made at first use: wine_env PREFIX.
wine_env() {
  export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Starts the port helpers with their files in DIR: wine_ports_init DIR.
# Linux ptys refuse the modem-line calls that wine's WaitCommEvent makes;
# the test's own preload library answers them (tests/wine/pty_modem_shim.c).
wine_ports_init() {
  wine_ports_dir=$1
  wine_ports_pids=()
  wine_ports_names=()
  mkdir -p "$wine_ports_dir"
  # Run a program on such ports as LD_PRELOAD="$wine_shim" wine PROGRAM: a
  # plain command, so that $! of one started with & is wine itself.
  wine_shim=$wine_ports_dir/pty_modem_shim.so
  cc -shared -fPIC -O2 -Wall -Wextra -Werror -o "$wine_shim" "$HARROW_ROOT/tests/wine/pty_modem_shim.c" -ldl
}

# Ends the socat pairs, removes the port names and stops the wineserver.
wine_ports_stop() {
  local pid name
  for pid in "${wine_ports_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for name in "${wine_ports_names[@]}"; do
    wine reg delete 'HKLM\Software\Wine\Ports' /v "$name" /f >/dev/null 2>&1 || true
  done
  wineserver -k 2>/dev/null || true
}

# Maps the Linux device PATH to the COM port NAME: wine_map_port NAME PATH.
# It counts from the next start of the wineserver (wine_ports_apply).
wine_map_port() {
  wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >/dev/null 2>&1
  wine_ports_names+=("$1")
}

# Restarts the wineserver of this prefix, so that it maps the ports listed.
# The server is started here, with its output dropped: what it prints when
# it is stopped is no concern of the tests.
wine_ports_apply() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p >/dev/null 2>&1
}

# Two COM ports joined end to end through a pty pair: wine_ports_pair A B.
wine_ports_pair() {
  socat pty,raw,echo=0,link="$wine_ports_dir/$1" pty,raw,echo=0,link="$wine_ports_dir/$2" 2>/dev/null &
  wine_ports_pids+=($!)
  local i
  for i in $(seq 50); do
    [ -e "$wine_ports_dir/$1" ] && [ -e "$wine_ports_dir/$2" ] && break
    sleep 0.1
  done
  wine_map_port "$1" "$wine_ports_dir/$1"
  wine_map_port "$2" "$wine_ports_dir/$2"
  wine_ports_apply
}

# reader-sim SIM plays TRANSCRIPT on the port link LINK as an adapter that
# is pulled out after each byte offset of CUTS and put back the seconds of
# the same place in GAPS after the traffic log LOG recorded the loss:
#   wine_replug SIM LINK TRANSCRIPT LOG "CUT..." "GAP..."
# Returns once the first piece waits on LINK; the pieces play in the
# background process $wine_replug_pid, which fails when a piece was not
# taken within a minute or a loss was not logged. reader-sim's messages go
# to LINK.err.
wine_replug() {
  local sim=$1 link=$2 transcript=$3 log=$4
  local -a cuts gaps
  read -r -a cuts <<<"$5"
  read -r -a gaps <<<"$6"
  (
    piece() {
      local args=(--fast --link "$link" --skip "$1")
      [ -z "$2" ] || args+=(--unplug-after $(($2 - $1)))
      timeout 60 "$sim" "${args[@]}" "$transcript" >/dev/null 2>>"$link.err"
    }
    losses() { tr -d '\r' <"$log" 2>/dev/null | grep -c -- ' -- Lost the connection' || true; }
    local from=0 i
    for i in "${!cuts[@]}"; do
      piece "$from" "${cuts[$i]}" || exit 1
      for _ in $(seq 100); do [ "$(losses)" -gt "$i" ] && break; sleep 0.1; done
      [ "$(losses)" -gt "$i" ] || exit 1
      sleep "${gaps[$i]}"
      from=${cuts[$i]}
    done
    piece "$from" ""
  ) &
  wine_replug_pid=$!
  for _ in $(seq 100); do [ -e "$link" ] && return 0; sleep 0.1; done
  return 1
}

# Three places to pull the plug in TRANSCRIPT, at 3/8, 4/8 and 5/8 of it,
# each mid-line, so the report is pending while the port is away and a line
# is split across two connections: wine_replug_cuts TRANSCRIPT.
wine_replug_cuts() {
  python3 -c "
import sys; d = open(sys.argv[1], 'rb').read()
print(*(d.find(b'\r', len(d) * k // 8) - 3 for k in (3, 4, 5)))" "$1"
}

# The losses and reconnections a traffic log recorded, in order, comma
# separated: wine_replug_events LOG.
wine_replug_events() {
  tr -d '\r' <"$1" | grep -o -- ' -- \(Lost the connection\|Reconnected\)' | sed 's/^ -- //' | paste -sd, -
}
wine_replugged_thrice="Lost the connection,Reconnected,Lost the connection,Reconnected,Lost the connection,Reconnected"

# A failed check of a test driver: told, and $failed set, and the driver
# goes on to the next check.
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Waits up to $2 seconds for the command $1 to succeed: wait_for COMMAND SECONDS.
wait_for() {
  local i
  for i in $(seq $(($2 * 10))); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

# The Windows name of a Linux path: wine's Z: drive is the Linux root.
winpath() { echo "Z:${1//\//\\}"; }
