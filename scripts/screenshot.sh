#!/usr/bin/env bash
# Renders the main window to a PNG file without a display (Qt's offscreen platform).
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT] [ROUTINE]     defaults: build docs/window.png
# Without ROUTINE: the window as it opens with the default settings. With ROUTINE (one that
# asks nothing, e.g. "clean-zips"): the window after running it on a fresh demo site, its
# last-run panel filled in.
set -euo pipefail
build=${1:-build}
out=${2:-docs/window.png}
routine=${3:-}
exe="$build/shell/gui/talvor"
cli="$build/shell/talvor-cli"
if [ ! -x "$exe" ]; then
  echo "screenshot: $exe is not built; run: cmake --build $build --target talvor" >&2
  exit 1
fi
case "$exe" in /*) ;; *) exe="$PWD/$exe" ;; esac
case "$cli" in /*) ;; *) cli="$PWD/$cli" ;; esac
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"
# An empty working directory: no talvor.cfg or site marker of this tree changes the settings.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=(--screenshot "$out")
if [ -n "$routine" ]; then
  "$cli" demo "$work" > /dev/null
  args+=("$routine")
fi
(cd "$work" && QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$exe" "${args[@]}" 2> "$work/stderr") || {
  cat "$work/stderr" >&2
  exit 1
}
echo "screenshot: wrote $out"
