#!/usr/bin/env bash
# Renders the Runs window to a PNG file without a display (Qt's offscreen platform), over a
# fresh demo site on which the command line has made a few runs: real runs, a dry run, a
# run refused on an error and an undo.
#   scripts/runs_picture.sh [BUILD_DIR] [OUTPUT]     defaults: build docs/runs.png
set -euo pipefail
build=${1:-build}
out=${2:-docs/runs.png}
exe="$build/shell/gui/talvor"
cli="$build/shell/talvor-cli"
for program in "$exe" "$cli"; do
  if [ ! -x "$program" ]; then
    echo "runs_picture: $program is not built; run: cmake --build $build --target talvor talvor-cli" >&2
    exit 1
  fi
done
case "$exe" in /*) ;; *) exe="$PWD/$exe" ;; esac
case "$cli" in /*) ;; *) cli="$PWD/$cli" ;; esac
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" demo "$work" > /dev/null
(
  cd "$work"
  "$cli" run sync-phones --answer yes > /dev/null 2>&1
  "$cli" run clean-zips --dry-run > /dev/null 2>&1
  "$cli" run clean-zips > /dev/null 2>&1
  "$cli" undo last > /dev/null 2>&1
  # A run that ends on an error: the database named is not there.
  "$cli" run clean-zips --alias NOSUCH > /dev/null 2>&1 || true
  "$cli" run clean-zips > /dev/null 2>&1
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$exe" --runs-picture "$out" 2> "$work/stderr"
) || {
  cat "$work/stderr" >&2 2>/dev/null
  exit 1
}
echo "runs_picture: wrote $out"
