#!/usr/bin/env bash
# Renders the main window, as it opens with the default settings, to a PNG file without a
# display (Qt's offscreen platform).
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT]      defaults: build docs/window.png
set -euo pipefail
build=${1:-build}
out=${2:-docs/window.png}
exe="$build/shell/gui/talvor"
if [ ! -x "$exe" ]; then
  echo "screenshot: $exe is not built; run: cmake --build $build --target talvor" >&2
  exit 1
fi
case "$exe" in /*) ;; *) exe="$PWD/$exe" ;; esac
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"
# An empty working directory: no talvor.cfg or site marker of this tree changes the settings.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$exe" --screenshot "$out" 2> "$work/stderr") || {
  cat "$work/stderr" >&2
  exit 1
}
echo "screenshot: wrote $out"
