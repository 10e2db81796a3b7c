#!/usr/bin/env bash
# The README's main command, after the build: creates the demo site and runs the
# common post-convert routines on it headless.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/shell/talvor-cli" ]; then
  echo "demo: the workbench is not built yet in $build/."
  echo "demo: once the command-line runner exists this command will create a demo site"
  echo "      (talvor-cli demo DIR) and run every \"Common Post-Convert Utils\" routine on it,"
  echo "      answering \"no\" to every question, and print each routine's final label and reports."
  exit 0
fi
exec bash scripts/run-demo.sh "$build"
