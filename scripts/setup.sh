#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: packages already installed are
# skipped, and the package lists are only refreshed when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n
  libcurl4-openssl-dev libpcre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth trayer x11-apps x11-utils netpbm fonts-wqy-microhei
  nginx openssl python3 ca-certificates
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
# nginx as a system service is not wanted; tests start their own on loopback ports.
if command -v systemctl >/dev/null 2>&1; then "${sudo_cmd[@]}" systemctl disable --now nginx >/dev/null 2>&1 || true; fi
pkill -x nginx 2>/dev/null || true
