#!/usr/bin/env bash
# Installs every Debian package the project needs that is not there yet, and fetches Debian's
# source package of SQLite, which the Windows build compiles (scripts/windows_build.sh).
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
  # The Windows build: SQLite's amalgamation is generated with tcl from the source package
  # that dpkg-dev unpacks; the result is tested under wine64.
  tcl dpkg-dev wine64
  # Site databases on a server: the ODBC driver manager, the drivers of PostgreSQL and of
  # SQLite, and the PostgreSQL server the test suite starts for itself.
  unixodbc-dev odbcinst odbc-postgresql libsqliteodbc postgresql-15
)

# Where the source package of the SQLite the Linux build links is unpacked, one folder per
# version, so that both builds run the same SQLite.
sqlite_src_root=/var/cache/talvor/sqlite3-source
sqlite_version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
need_source=1
if [ -n "$sqlite_version" ] && [ -e "$sqlite_src_root/$sqlite_version/.complete" ]; then
  need_source=0
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_source" -eq 0 ]; then
  echo "setup: every package is installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  [ "${#missing[@]}" -eq 0 ] || echo "setup: missing packages: ${missing[*]}" >&2
  [ "$need_source" -eq 0 ] || echo "setup: missing SQLite's source package" >&2
  echo "setup: run this script as root (apt-get needs it)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$need_source" -eq 1 ]; then
  sqlite_version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
  # A fresh Debian lists binary packages only; the source entries name the same archives.
  if ! apt-cache showsrc sqlite3 2>/dev/null | grep -qx "Version: $sqlite_version"; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/talvor-deb-src.sources
    fi
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb\([[:space:]]\)/deb-src\1/p' /etc/apt/sources.list \
        >/etc/apt/sources.list.d/talvor-deb-src.list
    fi
    apt-get update -qq
  fi
  echo "setup: fetching the source package sqlite3 $sqlite_version"
  target="$sqlite_src_root/$sqlite_version"
  rm -rf "$target"
  mkdir -p "$target"
  (cd "$target" && apt-get source -qq "sqlite3=$sqlite_version" >/dev/null)
  touch "$target/.complete"
fi
