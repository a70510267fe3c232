# Shared by scripts/run and scripts/test.

HARROW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages that are missing: with apt-get when running as
# root, otherwise prints the one command to run and stops.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Harrow needs these Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y --no-install-recommends "${missing[@]}" >&2; then
    apt-get update >&2
    apt-get install -y --no-install-recommends "${missing[@]}" >&2
  fi
}

# What building Harrow needs (libgcrypt and nlohmann-json for the manifest;
# help2man makes the man pages).
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libudev-dev zlib1g-dev libgcrypt20-dev nlohmann-json3-dev
  help2man)
# What the Debian package needs on top of a build: the computation of its
# dependencies and the tool of its maintainer script.
PACKAGE_PACKAGES=(dpkg-dev adduser)
# What the tests need besides: the test frameworks, clang for the fuzzers,
# the independent readers of our spreadsheets, a second serial peer, a
# display server, the checkers of the package and its files, and the tools
# the fault runs put the capture under (prlimit, setpriv, mount, timeout,
# faketime).
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  python3 python3-xlrd inotify-tools python3-openpyxl gnumeric unzip socat xvfb xauth util-linux mount coreutils procps faketime
  "${PACKAGE_PACKAGES[@]}" lintian desktop-file-utils appstream systemd man-db)

# Configures and builds one build folder: build_tree DIR [CMAKE ARGS...]
build_tree() {
  local dir=$1
  shift
  cmake -S "$HARROW_ROOT" -B "$HARROW_ROOT/$dir" -G Ninja "$@" >/dev/null
  ninja -C "$HARROW_ROOT/$dir"
}
