#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent: packages already installed are
# skipped, and the package lists are only refreshed when something is missing.
#   scripts/setup.sh          what building and running the two programs needs
#   scripts/setup.sh --test   that, plus the tools of the tests, sanitizers, fuzzers and benchmarks
set -euo pipefail

case "${1:-}" in
  "" | --test) ;;
  *) echo "usage: scripts/setup.sh [--test]" >&2; exit 2 ;;
esac

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libcurl4-openssl-dev libpcre2-dev libcli11-dev libgumbo-dev libsqlite3-dev
  nlohmann-json3-dev libpsl-dev
  ca-certificates
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format
    xvfb xauth trayer x11-apps x11-utils netpbm fonts-wqy-microhei
    nginx openssl python3 sqlite3 tinyproxy microsocks chromium
    help2man librsvg2-bin dpkg-dev lintian desktop-file-utils appstream
  )
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
updated=0

install_missing() {
  local missing=()
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ "$updated" -eq 0 ]; then
    "${sudo_cmd[@]}" apt-get update -q
    updated=1
  fi
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"

# The sanitizer and fuzzer runtime of whichever clang the release installed.
if [ "${1:-}" = "--test" ]; then
  clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
  install_missing "libclang-rt-${clang_major}-dev"
fi
