#!/usr/bin/env bash
# Ctrl-C during a run, through the program's own process: the run ends at the routine's next
# status update with exit status 130, its journal says it was stopped and holds every change
# made before, every store is sound, and undo puts the site back as it was.
#   tests/shell/cli/interrupt.sh TALVOR_CLI [CLIENTS]
set -euo pipefail
cli=$1
clients=${2:-3000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "interrupt: $*" >&2; exit 1; }

"$cli" demo "$work/site" --clients "$clients" > /dev/null
cd "$work/site"
dump() {
  for f in data/*; do
    case "$f" in *.* ) continue ;; esac
    "$cli" recfile dump "$f" > "$work/$1.$(basename "$f")"
  done
  sqlite3 AGYFORMS.db .dump > "$work/$1.AGYFORMS.sql"
}
dump before

# A routine that changes thousands of records; stopped once its journal holds some.
"$cli" run "Swap Last, First" --answer yes > "$work/out" 2> "$work/err" &
pid=$!
for _ in $(seq 1 400); do
  journal=$(ls -d .talvor/runs/*/journal 2> /dev/null | head -n 1 || true)
  if [ -n "$journal" ] && [ "$(grep -c '^change' "$journal" || true)" -gt 20 ]; then break; fi
  sleep 0.05
done
kill -INT "$pid"
set +e
wait "$pid"
status=$?
set -e
[ "$status" -eq 130 ] || fail "exit status $status, not 130 ($(cat "$work/err"))"
grep -q "stopped by the operator" "$work/err" || fail "no word of the stop: $(cat "$work/err")"
"$cli" runs show last > "$work/show"
grep -q "stopped by the operator" "$work/show" || fail "the journal does not say it was stopped"
changes=$(grep -c '^change' .talvor/runs/*/journal || true)
[ "$changes" -gt 0 ] || fail "the journal holds no change"
for f in data/*; do
  case "$f" in *.* ) continue ;; esac
  "$cli" recfile stat "$f" > /dev/null || fail "$f is not sound after the stop"
done
[ "$(sqlite3 AGYFORMS.db 'PRAGMA integrity_check')" = ok ] || fail "AGYFORMS.db is not sound"

"$cli" undo last > "$work/undo" || fail "undo failed: $(cat "$work/undo")"
dump after
for f in "$work"/before.*; do
  cmp -s "$f" "$work/after.${f##*/before.}" || fail "undo left ${f##*/before.} changed"
done
echo "interrupt: stopped after $changes changes, exit 130, undone"
