#!/usr/bin/env bash
# An installation into a fresh prefix holds working programs and their files.
#   tests/packaging/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }
cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || { cat "$prefix.log" >&2; fail "install failed"; }
rm -f "$prefix.log"
cli="$prefix/bin/talvor-cli"
[ -x "$cli" ] || fail "no $cli"
version=$(cd "$prefix" && "$cli" --version)
case "$version" in "talvor-cli "[0-9]*) ;; *) fail "--version said: $version" ;; esac
routines=$(cd "$prefix" && "$cli" list | wc -l)
[ "$routines" -ge 50 ] || fail "list shows $routines routines"
[ -s "$prefix/share/man/man1/talvor-cli.1" ] || fail "no manual page"
if [ -e "$build/shell/gui/talvor" ]; then
  [ -x "$prefix/bin/talvor" ] || fail "no window program"
  grep -q '^Exec=talvor$' "$prefix/share/applications/talvor.desktop" || fail "no desktop entry"
  [ -s "$prefix/share/icons/hicolor/scalable/apps/talvor.svg" ] || fail "no icon"
fi
echo "install_test: $version, $routines routines, manual page and desktop entry in place"
