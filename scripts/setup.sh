#!/usr/bin/env bash
# Installs every Debian package the project needs that is not there yet.
# Idempotent: a machine that has everything is left alone (no apt-get at all).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libsqlite3-dev sqlite3
  qt6-base-dev
  libcli11-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  clang-14 libclang-rt-14-dev
  g++-mingw-w64-x86-64
  xvfb xauth
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: every package is installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: run this script as root (apt-get needs it)" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
