#!/usr/bin/env bash
# Assesses a fresh demo site and renders its page in headless Chromium, as a person's
# browser would show it, to a PNG file; checks on the way that the browser read the whole
# page (every routine's row is in the document it built).
#   scripts/assessment_picture.sh [BUILD_DIR] [OUTPUT] [CLIENTS]
#   defaults: build docs/assessment.png 300
set -euo pipefail
build=${1:-build}
out=${2:-docs/assessment.png}
clients=${3:-300}
cli="$build/shell/talvor-cli"
case "$cli" in /*) ;; *) cli="$PWD/$cli" ;; esac
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ ! -x "$cli" ]; then
  echo "assessment_picture: $cli is not built" >&2
  exit 1
fi
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  echo "assessment_picture: chromium is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" demo "$work/site" --clients "$clients" > /dev/null
(cd "$work/site" && "$cli" assess --out "$work/assessment" > "$work/assess.log")
page="$work/assessment/index.html"
routines=$(($(wc -l < "$work/assessment/assessment.csv") - 1))

# A closed network: no background connections, and a profile of its own each time.
flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
       --disable-background-networking --disable-component-update --disable-sync
       --user-data-dir="$work/profile")
timeout 120 "$browser" "${flags[@]}" --dump-dom "file://$page" > "$work/dom.html" 2> "$work/browser.log"
rows=$(grep -o '<tr><td class="num">' "$work/dom.html" | wc -l)
if [ "$rows" -ne "$routines" ]; then
  echo "assessment_picture: the browser built $rows routine rows of $routines" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
timeout 120 "$browser" "${flags[@]}" --hide-scrollbars --window-size=1400,1900 \
  --screenshot="$out" "file://$page" 2>> "$work/browser.log" > /dev/null
if [ "$(head -c 8 "$out" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
  echo "assessment_picture: $out is not a PNG picture" >&2
  exit 1
fi
echo "assessment_picture: $routines routines on the page; picture in $out"
