#!/usr/bin/env bash
# Cross-builds talvor-cli.exe for 64-bit Windows with Debian's MinGW-w64 (cmake/mingw-w64-x86_64.cmake),
# linked statically: the one file a workstation needs.
#
# SQLite for Windows is Debian's own: the amalgamation is generated with tcl from the source
# package that scripts/setup.sh unpacked (the version the Linux build links), and compiled with
# the feature options of Debian's Linux build, read from that package's debian/rules, so that
# both programs run the same SQLite.
#
# Usage: scripts/windows_build.sh [build folder, default build-windows] [parallel jobs, default 2]
#                                 [tests]
# Leaves BUILD/shell/talvor-cli.exe; BUILD/sysroot holds what the Windows side has of the
# system's libraries. With "tests", also GoogleTest for Windows (from the sources Debian ships
# with libgtest-dev) and BUILD/tests/windows/windows_test.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-windows}
jobs=${2:-2}
tests=OFF
[ "${3:-}" = tests ] && tests=ON
triple=x86_64-w64-mingw32

for tool in "$triple-gcc-posix" "$triple-g++-posix" tclsh cc; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "windows-build: $tool is missing; scripts/setup.sh installs it" >&2
    exit 1
  fi
done
version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
src=
for dir in /var/cache/talvor/sqlite3-source/"$version"/sqlite3-*/; do
  [ -f "$dir/debian/rules" ] && src=${dir%/}
done
if [ -z "$src" ]; then
  echo "windows-build: no source package of SQLite $version; scripts/setup.sh fetches it" >&2
  exit 1
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)
sysroot=$build/sysroot
amalgamation=$build/sqlite-amalgamation

# The amalgamation once per SQLite version; its generator programs are built for this machine.
if [ "$(cat "$amalgamation/.version" 2>/dev/null)" != "$version" ]; then
  echo "windows-build: generating SQLite $version's amalgamation"
  rm -rf "$amalgamation"
  mkdir -p "$amalgamation"
  (cd "$amalgamation" &&
    "$src/configure" --disable-tcl >configure.log 2>&1 &&
    nice -n 5 make sqlite3.c >make.log 2>&1) || {
    echo "windows-build: the amalgamation could not be generated; see $amalgamation/*.log" >&2
    exit 1
  }
  echo "$version" >"$amalgamation/.version"
fi

# Debian's options: the -D of its CFLAGS, and what its configure options add (fts4, fts5,
# math functions, which configure enables by default).
mapfile -t options < <(sed -n '/^export CFLAGS/,/^$/p' "$src/debian/rules" |
  grep -o -- '-DSQLITE_[A-Za-z0-9_]*\(=[0-9]*\)\?')
if [ "${#options[@]}" -lt 10 ] || ! printf '%s\n' "${options[@]}" | grep -qx -- -DSQLITE_ENABLE_PREUPDATE_HOOK; then
  echo "windows-build: $src/debian/rules no longer lists SQLite's options where expected" >&2
  exit 1
fi
options+=(-DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_MATH_FUNCTIONS)

stamp="$version ${options[*]}"
if [ "$(cat "$sysroot/.sqlite" 2>/dev/null)" != "$stamp" ]; then
  echo "windows-build: compiling SQLite for Windows"
  rm -rf "$sysroot"
  mkdir -p "$sysroot/include" "$sysroot/lib"
  nice -n 5 "$triple-gcc-posix" -O2 -fno-strict-aliasing "${options[@]}" \
    -c "$amalgamation/sqlite3.c" -o "$amalgamation/sqlite3.o"
  "$triple-ar" rcs "$sysroot/lib/libsqlite3.a" "$amalgamation/sqlite3.o"
  cp "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$sysroot/include/"
  echo "$stamp" >"$sysroot/.sqlite"
fi
# CLI11 and fmt are headers only; CLI11's package file finds its headers beside itself.
rm -rf "$sysroot/include/CLI" "$sysroot/include/fmt" "$sysroot/share/cmake/CLI11"
cp -r /usr/include/CLI /usr/include/fmt "$sysroot/include/"
mkdir -p "$sysroot/share/cmake"
cp -r /usr/share/cmake/CLI11 "$sysroot/share/cmake/"

toolchain=$root/cmake/mingw-w64-x86_64.cmake
targets=(talvor-cli)
if [ "$tests" = ON ]; then
  targets+=(windows_test)
  if [ ! -f "$sysroot/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "windows-build: building GoogleTest for Windows"
    rm -rf "$build/googletest"
    cmake -S /usr/src/googletest -B "$build/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DTALVOR_WINDOWS_SYSROOT="$sysroot" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
      -DCMAKE_INSTALL_PREFIX="$sysroot" >"$build/googletest.log" 2>&1 &&
      nice -n 5 cmake --build "$build/googletest" -j "$jobs" >>"$build/googletest.log" 2>&1 &&
      cmake --install "$build/googletest" >>"$build/googletest.log" 2>&1 ||
      { cat "$build/googletest.log" >&2; exit 1; }
  fi
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTALVOR_WINDOWS_SYSROOT="$sysroot" -DCMAKE_BUILD_TYPE=Release \
  -DTALVOR_GUI=OFF -DTALVOR_TESTS=$tests -DTALVOR_BENCH=OFF -DTALVOR_FUZZ=OFF \
  >"$build/cmake.log" 2>&1 || { cat "$build/cmake.log" >&2; exit 1; }
nice -n 5 cmake --build "$build" -j "$jobs" --target "${targets[@]}"
echo "windows-build: $build/shell/talvor-cli.exe"
