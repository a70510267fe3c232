#!/usr/bin/env bash
# The Debian package as a lab gets it: scripts/package builds it, its files
# are where Debian puts them, lintian finds no error, the desktop entry, the
# software-centre entry, the man pages and the service unit pass their
# checkers, and the programs unpacked from it run: they carry the project's
# version, replay the samples into the same exports as the build tree's
# harrow-capture, capture live from the packaged reader-sim on a port named
# as a service instance names it, and write nothing into their own folder.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cd "$HARROW_ROOT"
export LC_ALL=C

fail() {
  echo "60-package: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(Harrow VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"

deb=$(bash scripts/package)
[ -f "$deb" ] || fail "scripts/package printed no package: $deb"
echo "package: $deb"

tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# -- The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb -I "$deb" >"$tmp/info"
[ "$(field Package)" = harrow ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), not $version"
[ "$(field Section)" = science ] || fail "section $(field Section)"
[ "$(field Maintainer)" = "Harrow developers <harrow@harrow.invalid>" ] || fail "maintainer $(field Maintainer)"
# Computed from the binaries, not written by hand: the C library, Qt and zlib.
for dep in 'libc6 (>=' 'libqt6widgets6 (>=' 'zlib1g (>=' adduser; do
  field Depends | grep -qF "$dep" || fail "Depends lacks $dep: $(field Depends)"
done
[ "$(field Description | sed -n 1p)" = "capture the reports of laboratory plate and strip readers" ] ||
  fail "short description: $(field Description | sed -n 1p)"
[ "$(field Description | wc -l)" -ge 5 ] || fail "no long description"
grep -q ' postinst' "$tmp/info" || fail "no postinst"

# -- The files, where Debian puts them; nothing of the tests or benchmarks.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$tmp/files"
expected=(
  /usr/bin/harrow /usr/bin/harrow-capture /usr/bin/reader-sim
  /usr/lib/systemd/system/harrow-capture@.service
  /usr/share/applications/org.harrow.Harrow.desktop
  /usr/share/metainfo/org.harrow.Harrow.metainfo.xml
  /usr/share/man/man1/harrow.1.gz /usr/share/man/man1/harrow-capture.1.gz
  /usr/share/man/man1/reader-sim.1.gz
  /usr/share/doc/harrow/copyright /usr/share/doc/harrow/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/harrow.png")
done
for sample in samples/*.txt; do expected+=("/usr/share/harrow/$sample"); done
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "the package's files differ from the expected ones"

# -- lintian: errors fail, warnings are shown.
status=0
lintian --fail-on error "$deb" >"$tmp/lintian" 2>&1 || status=$?
grep -v 'running with root privileges' "$tmp/lintian" || true
[ "$status" -eq 0 ] && ! grep -q '^E:' "$tmp/lintian" || fail "lintian reports errors"

# -- Unpacked as dpkg would install it.
root=$tmp/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin

for icon in "$root"/usr/share/icons/hicolor/*/apps/harrow.png; do
  size=$(basename "$(dirname "$(dirname "$icon")")")
  file "$icon" | grep -q "PNG image data, ${size/x/ x }," || fail "$icon is not a $size PNG"
done
desktop-file-validate "$root/usr/share/applications/org.harrow.Harrow.desktop" >"$tmp/desktop" 2>&1 ||
  { cat "$tmp/desktop"; fail "desktop-file-validate"; }
grep -v 'contains more than one main category' "$tmp/desktop" && fail "desktop-file-validate complains"
grep -qx 'Categories=Science;Education;' "$root/usr/share/applications/org.harrow.Harrow.desktop" ||
  fail "desktop entry categories"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.harrow.Harrow.metainfo.xml" ||
  fail "appstreamcli validate"
grep -q "release version=\"$version\"" "$root/usr/share/metainfo/org.harrow.Harrow.metainfo.xml" ||
  fail "metainfo release is not $version"

# man renders each page without a warning; each names its program, its
# version and (where it has options) every option of --help.
for program in harrow harrow-capture reader-sim; do
  page=$root/usr/share/man/man1/$program.1.gz
  MANWIDTH=80 man --warnings -l "$page" >"$tmp/$program.man" 2>"$tmp/$program.manerr" ||
    fail "man -l $page"
  [ ! -s "$tmp/$program.manerr" ] || { cat "$tmp/$program.manerr"; fail "man warns on $program"; }
  grep -q "^NAME" "$tmp/$program.man" || fail "$program.1 has no NAME"
  grep -q "$program $version" "$tmp/$program.man" || fail "$program.1 does not carry $version"
  for option in $("$bin/$program" --help | grep -o '^  -[-a-z]*'); do
    grep -q -- "$option" "$tmp/$program.man" || fail "$program.1 lacks $option"
  done
  [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$program --version"
done

# -- The service unit: systemd accepts it (any complaint counts; verify
# itself exits 0 on most), for both kinds of instance name, with ExecStart
# pointed at the unpacked program.
unit=$root/usr/lib/systemd/system/harrow-capture@.service
for line in 'User=harrow' 'SupplementaryGroups=dialout' 'Restart=on-failure' 'KillSignal=SIGTERM' \
  'ExecStart=/usr/bin/harrow-capture --quiet --port %I' 'WantedBy=multi-user.target'; do
  grep -qxF "$line" "$unit" || fail "the unit lacks $line"
done
mkdir -p "$tmp/units"
sed "s|^ExecStart=/usr/bin/|ExecStart=$bin/|" "$unit" >"$tmp/units/harrow-capture@.service"
for instance in ttyUSB0 "$(systemd-escape --path /dev/serial/by-id/usb-Lab_Adapter_A1-if00-port0)"; do
  MANPATH=$root/usr/share/man systemd-analyze verify "$tmp/units/harrow-capture@$instance.service" \
    >"$tmp/verify" 2>&1 || { cat "$tmp/verify"; fail "systemd-analyze verify $instance"; }
  [ ! -s "$tmp/verify" ] || { cat "$tmp/verify"; fail "systemd-analyze complains about $instance"; }
done

# -- The unpacked harrow-capture replays every sample into exactly the
# exports of the build tree's. Export names are time stamps: the contents
# are compared, in sorted order.
reference=build/release/tools/harrow-capture
if [ ! -x "$reference" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARROW_WERROR=ON >/dev/null
  ninja -C build/release harrow-capture
fi
export HOME=$tmp/home
mkdir -p "$HOME"
# exports DIR: a checksum per exported file, sorted.
exports() {
  find "$1" \( -path '*/Text/*' -o -path '*/Excel/*' \) -type f -exec sha256sum {} + | cut -d' ' -f1 | sort
}
# replay PROGRAM OUT SAMPLE...: the samples, one run each, below OUT
replay() {
  local program=$1 out=$2 sample model
  shift 2
  mkdir -p "$out"  # the root folder is made, not its parent
  for sample in "$@"; do
    model=$(basename "$sample" | cut -d- -f1)
    XDG_CONFIG_HOME=$out/config XDG_DATA_HOME=$out/data \
      "$program" --quiet --model "$model" --root "$out/$model" --replay "$sample"
  done
}
# The live run below wants one 6310 sample in the unpacked data folder.
find "$root/usr/share/harrow/samples" -name '*.txt' ! -name 6310-english.txt -delete
find "$root" -exec stat -c '%n %s %Y' {} + | sort >"$tmp/root.before"
replay "$reference" "$tmp/built" samples/*.txt
replay "$bin/harrow-capture" "$tmp/installed" samples/*.txt
exports "$tmp/built" >"$tmp/built.sums"
exports "$tmp/installed" >"$tmp/installed.sums"
[ -s "$tmp/built.sums" ] || fail "the replays exported nothing"
diff "$tmp/built.sums" "$tmp/installed.sums" || fail "the unpacked harrow-capture exports differ"

# -- Live, the way the service runs it: the unpacked reader-sim plays model
# 6310 on a pseudo-terminal and the unpacked harrow-capture captures from
# the port given as systemd hands an instance name to --port (%I). The
# reader-sim must take its transcripts from the unpacked data folder, which
# holds one of the two 6310 samples here, not from the source tree.
find "$root/usr/share/harrow/samples" -name '*.txt' ! -name 6310-english.txt -delete
# The live run below wants one 6310 sample in the unpacked data folder.
find "$root/usr/share/harrow/samples" -name '*.txt' ! -name 6310-english.txt -delete
find "$root" -exec stat -c '%n %s %Y' {} + | sort >"$tmp/root.before"
replay "$reference" "$tmp/expected-live" samples/6310-english.txt
exports "$tmp/expected-live" >"$tmp/expected-live.sums"
run=0
for form in device path; do
  run=$((run + 1))
  out=$tmp/live$run
  mkdir -p "$out"
  "$bin/reader-sim" --model 6310 --fast --hold >"$out/port" 2>"$out/sim.err" &
  sim=$!
  pids+=("$sim")
  for _ in $(seq 100); do [ -s "$out/port" ] && break; sleep 0.05; done
  pts=$(cat "$out/port")
  [ -c "$pts" ] || fail "reader-sim made no port ($pts)"
  if [ "$form" = device ]; then
    instance=$(systemd-escape "${pts#/dev/}")  # like ttyUSB0: a name below /dev
  else
    instance=$(systemd-escape --path "$pts")   # like a /dev/serial/by-id path
  fi
  port=$(systemd-escape --unescape "$instance")  # what %I gives
  XDG_CONFIG_HOME=$out/config XDG_DATA_HOME=$out/data \
    "$bin/harrow-capture" --quiet --port "$port" --model 6310 --root "$out/6310" 2>"$out/cap.err" &
  cap=$!
  pids+=("$cap")
  for _ in $(seq 200); do
    grep -q sent "$out/sim.err" && break
    kill -0 "$cap" 2>/dev/null || { cat "$out/cap.err"; fail "harrow-capture --port $port ended"; }
    sleep 0.05
  done
  grep -q sent "$out/sim.err" || fail "reader-sim sent nothing on $port"
  sleep 0.5
  kill -TERM "$cap"
  wait "$cap" || { cat "$out/cap.err"; fail "harrow-capture --port $port failed"; }
  kill -TERM "$sim"
  wait "$sim" || true
  exports "$out" >"$out/sums"
  diff "$tmp/expected-live.sums" "$out/sums" ||
    { cat "$out/cap.err"; fail "live capture from --port $port ($form form) exported other reports"; }
done

# Nothing was written into the unpacked install folder, nor outside the
# given folders in the home.
find "$root" -exec stat -c '%n %s %Y' {} + | sort >"$tmp/root.after"
diff "$tmp/root.before" "$tmp/root.after" || fail "the programs wrote into their install folder"
[ -z "$(ls -A "$HOME")" ] || fail "the programs wrote into the home folder: $(ls -A "$HOME")"
echo "package checks passed"
