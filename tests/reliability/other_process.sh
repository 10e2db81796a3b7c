#!/usr/bin/env bash
# Another process at work on the same site while a routine walks "ap":
#   1. a writer inserts "ap" records (through the engine's own loader) and inserts and
#      updates Customer rows of an agency the routine leaves alone, all through the run;
#      afterwards everything the writer wrote is there, and the site equals what the routine
#      alone makes of it plus the writer's records and rows;
#   2. a process that holds "ap" locked for longer than the engine waits: a write through
#      the engine gives up with "locked by another process" well before the lock is let go.
#
#   other_process.sh TALVOR_CLI [ROUTINE] [CLIENTS]
set -euo pipefail

cli=$(realpath "$1")
routine=${2:-Clean Zips}
clients=${3:-400}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dump_files() {  # as in kill_loop.sh, leaving out the writer's agency "77"
  local dir=$1 f t
  for f in "$dir"/data/*; do
    case $f in *-wal | *-shm | *-journal) continue ;; esac
    sqlite3 -readonly -separator '|' "$f" \
      "SELECT '$(basename "$f")', hex(data) FROM records WHERE substr(data, 1, 2) <> x'3737'"
  done
  for t in $(sqlite3 -readonly "$dir/AGYFORMS.db" \
      "SELECT name FROM sqlite_master WHERE type = 'table'"); do
    sqlite3 -readonly -quote -separator '|' "$dir/AGYFORMS.db" "SELECT '$t', * FROM \"$t\"" |
      grep -v "^'Customer'|'77'" || true
  done
}
dump_site() { dump_files "$1" | LC_ALL=C sort; }

"$cli" demo "$work/base" --clients "$clients" > /dev/null
cp -a "$work/base" "$work/alone"
(cd "$work/alone" && "$cli" run "$routine" --answer yes > /dev/null 2>&1)
dump_site "$work/alone" > "$work/alone.txt"

# 1. A writer beside the routine.
cp -a "$work/base" "$work/shared"
cd "$work/shared"
batches=40
writer() {
  local b r
  for ((b = 0; b < batches; b++)); do
    : > "batch.txt"
    for ((r = 0; r < 5; r++)); do
      printf '77%04d%02d%-120s\n' "$b" "$r" "writer record" >> "batch.txt"
    done
    "$cli" recfile load data/ap batch.txt --format lines --add > /dev/null
    sqlite3 -cmd '.timeout 5000' AGYFORMS.db \
      "INSERT INTO Customer(AgyCode, Number, Name, Zip) VALUES('77', '$(printf '%6d' "$b")', 'WRITER', '12345');
       UPDATE Customer SET Name = 'WRITER $b' WHERE AgyCode = '77';"
  done
}
writer &
writer_pid=$!
"$cli" run "$routine" --answer yes > routine.out 2> routine.err &
routine_pid=$!
routine_status=0
wait "$routine_pid" || routine_status=$?
wait "$writer_pid"
fail=0
if [ "$routine_status" -ne 0 ]; then
  echo "the routine did not finish beside the writer (exit $routine_status):"
  cat routine.err
  fail=1
fi
records=$(sqlite3 -readonly data/ap "SELECT count(*) FROM records WHERE substr(data, 1, 2) = x'3737'")
rows=$(sqlite3 -readonly AGYFORMS.db \
  "SELECT count(*) FROM Customer WHERE AgyCode = '77' AND Name = 'WRITER $((batches - 1))'")
echo "writer: $records of $((batches * 5)) ap records and $rows of $batches Customer rows kept"
[ "$records" -eq $((batches * 5)) ] || fail=1
[ "$rows" -eq "$batches" ] || fail=1
dump_site "$work/shared" > "$work/shared.txt"
if ! cmp -s "$work/alone.txt" "$work/shared.txt"; then
  echo "the routine's work beside the writer differs from its work alone:"
  diff "$work/alone.txt" "$work/shared.txt" | head -20
  fail=1
fi

# 2. A lock held longer than the engine waits: a write through the engine (the loader's
# transaction) gives up with "locked by another process" (status 85) within a few seconds.
cp -a "$work/base" "$work/locked"
cd "$work/locked"
hold=20
(echo "BEGIN IMMEDIATE;"; echo "DELETE FROM records WHERE 0;"; sleep "$hold"; echo "COMMIT;") |
  sqlite3 data/ap &
holder=$!
sleep 1
printf '%-128s\n' "77LOCKED" > one.txt
start=$(date +%s)
status=0
"$cli" recfile load data/ap one.txt --format lines --add > load.out 2> load.err || status=$?
took=$(( $(date +%s) - start ))
kill "$holder" 2> /dev/null || true
wait "$holder" 2> /dev/null || true
echo "locked ap: a write gave up after ${took} s (exit $status): $(cat load.err)"
if [ "$took" -ge $((hold - 5)) ] || [ "$status" -ne 1 ] || ! grep -q "locked by another process" load.err; then
  echo "the write waited for the lock or did not report it"
  fail=1
fi
exit $fail
