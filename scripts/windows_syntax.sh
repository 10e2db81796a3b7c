#!/usr/bin/env bash
# Parses every source that does not need Qt with Debian's MinGW-w64 cross compiler, so that a
# call that exists only on Linux fails CI here instead of on a user's Windows workstation.
# Syntax only: nothing is linked or run for Windows.
#
# Of the system's headers only SQLite's, CLI11's and fmt's are given to the compiler, copied to
# a folder of their own: pointing it at /usr/include would let a Linux header stand in for one
# Windows lacks.
#
# Usage: scripts/windows_syntax.sh [parallel jobs, default 2]
# Prints a failing source's name and diagnostics, then "windows-syntax: N of M sources pass";
# exits non-zero when any source fails.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=x86_64-w64-mingw32-g++-posix
jobs=${1:-2}
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "windows-syntax: $cxx is missing; scripts/setup.sh installs it" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/include" "$scratch/out"
cp /usr/include/sqlite3.h "$scratch/include/"
if [ -f /usr/include/sqlite3ext.h ]; then cp /usr/include/sqlite3ext.h "$scratch/include/"; fi
cp -r /usr/include/CLI /usr/include/fmt "$scratch/include/"

dirs=(platform shell legacy sqldb journal routines tools)
mapfile -t sources < <(find "${dirs[@]}" -path shell/gui -prune -o -name '*.cpp' -print |
  LC_ALL=C sort)
if [ "${#sources[@]}" -eq 0 ]; then
  echo "windows-syntax: no sources found" >&2
  exit 1
fi

flags="-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -I. -I$scratch/include"
# The system's fmt is a compiled library; the Windows side has only its headers.
if grep -rqsE --include='*.cpp' --include='*.h' --exclude-dir=gui \
  '#[[:space:]]*include[[:space:]]*[<"]fmt/' "${dirs[@]}"; then
  flags+=" -DFMT_HEADER_ONLY"
fi

# One source: its diagnostics in out/<name>.log, and out/<name>.pass when it parsed.
check() {
  local log="$WINDOWS_SYNTAX_OUT/${1//\//__}"
  # shellcheck disable=SC2086
  if "$WINDOWS_SYNTAX_CXX" $WINDOWS_SYNTAX_FLAGS "$1" >"$log.log" 2>&1; then
    touch "$log.pass"
  fi
}
export -f check
export WINDOWS_SYNTAX_CXX=$cxx WINDOWS_SYNTAX_FLAGS=$flags WINDOWS_SYNTAX_OUT=$scratch/out
# shellcheck disable=SC2016  # $1 is the child shell's, not this one's
printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$jobs" bash -c 'check "$1"' _

pass=0
for src in "${sources[@]}"; do
  log="$scratch/out/${src//\//__}"
  if [ -e "$log.pass" ]; then
    pass=$((pass + 1))
    if [ -s "$log.log" ]; then
      echo "windows-syntax: warnings in $src"
      cat "$log.log"
    fi
  else
    echo "windows-syntax: FAIL $src"
    cat "$log.log"
  fi
done
echo "windows-syntax: $pass of ${#sources[@]} sources pass"
[ "$pass" -eq "${#sources[@]}" ]
