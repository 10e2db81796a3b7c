#!/usr/bin/env bash
# Kills a fixing routine with SIGKILL at random points of its run on a demo site, many
# times, and checks what it leaves behind:
#   - every record file and database passes SQLite's integrity check and every record file
#     opens through the engine (`talvor-cli recfile stat`);
#   - every record (by key 0) and every row (by table and rowid) is either as it was before
#     the run or as a whole run leaves it: each change is done or not done, never half done.
#     A routine that replaces a record by deleting it and inserting it again may be killed
#     between the two: the record is then missing, which is counted and said, not a failure;
#   - `talvor-cli undo last` then puts the whole site back as it was before the run.
#
#   kill_loop.sh TALVOR_CLI [KILLS] [ROUTINE] [CLIENTS]
# With KILL_LOOP_DSN set to an ODBC data source, the site's agency database is that server
# (copied there from the demo site before every run, and reached through aliases.cfg).
# CI runs a few kills on a small site; the longer run is
#   tests/reliability/kill_loop.sh build/shell/talvor-cli 200 "Clean Zips" 3000
# The random points come from $RANDOM, seeded by KILL_LOOP_SEED (default 15) so a failure
# can be repeated. Exit 0 when every kill left a sound site, 1 otherwise.
set -euo pipefail

cli=$(realpath "$1")
kills=${2:-5}
routine=${3:-Clean Zips}
clients=${4:-400}
RANDOM=${KILL_LOOP_SEED:-15}

dsn=${KILL_LOOP_DSN:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$dsn" ]; then
  # The drivers keep small allocations for the life of the process: not the program's leaks.
  printf 'leak:psqlodbca.so\nleak:psqlodbcw.so\nleak:libodbc.so\n' >"$work/lsan.supp"
  export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
fi

# A copy of the demo site `base` at `dir`, its agency database on the server when one is
# named (the file kept aside as agyforms.file, out of the site's way).
copy_site() {
  local base=$1 dir=$2
  rm -rf "$dir"
  cp -a "$base" "$dir"
  if [ -n "$dsn" ]; then
    (cd "$dir" && "$cli" db copy AGYFORMS "$dsn" --replace > /dev/null &&
       mv AGYFORMS.db agyforms.file && echo "AGYFORMS=odbc:DSN=$dsn" > aliases.cfg)
  fi
}

# One line per record and row: "<file>|<key>|<value>", sorted.
dump_files() {
  local dir=$1 f t
  for f in "$dir"/data/*; do
    case $f in *-wal | *-shm | *-journal) continue ;; esac
    local name
    name=$(basename "$f")
    if [ "$(sqlite3 -readonly "$f" 'SELECT count(*) FROM recfile_keys')" -gt 0 ]; then
      sqlite3 -readonly -separator '|' "$f" \
        "SELECT '$name', hex(k0), hex(data) FROM records ORDER BY k0"
    else
      sqlite3 -readonly -separator '|' "$f" \
        "SELECT '$name', rowid, hex(data) FROM records ORDER BY rowid"
    fi
  done
  local files=("$dir"/*.db)
  if [ -f "$dir/aliases.cfg" ] && [ -n "$dsn" ]; then
    # The server's rows, through a copy to a file of its own.
    rm -f "$work/server.db"
    (cd "$dir" && "$cli" db copy "$dsn" "$work/server.db" > /dev/null)
    files+=("$work/server.db")
  fi
  for f in "${files[@]}"; do
    local db
    db=$(basename "$f")
    [ "$db" = server.db ] && db=AGYFORMS.db
    for t in $(sqlite3 -readonly "$f" \
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"); do
      sqlite3 -readonly -quote -separator '|' "$f" "SELECT '$db:$t', rowid, * FROM \"$t\""
    done
  done
}
dump_site() { dump_files "$1" | LC_ALL=C sort; }

# Integrity of every file, and the engine's own view of every record file.
check_files() {
  local dir=$1 f ok=0
  for f in "$dir"/data/* "$dir"/*.db; do
    case $f in *-wal | *-shm | *-journal) continue ;; esac
    local result
    result=$(sqlite3 "$f" 'PRAGMA integrity_check' 2>&1 || true)
    if [ "$result" != "ok" ]; then
      echo "  $(basename "$f"): integrity check says: $result"
      ok=1
    fi
  done
  for f in "$dir"/data/*; do
    case $f in *-wal | *-shm | *-journal) continue ;; esac
    if ! (cd "$dir" && "$cli" recfile stat "data/$(basename "$f")" > /dev/null 2>&1); then
      echo "  $(basename "$f"): the engine does not open it"
      ok=1
    fi
  done
  return $ok
}

# Every key holds its value from before or from after; prints the keys that do not.
compare_states() {
  awk -v gapfile="$4" -F'|' '
    FILENAME == ARGV[1] { k = $1 "|" $2; sub(/^[^|]*\|[^|]*\|/, ""); before[k] = $0; keys[k]; next }
    FILENAME == ARGV[2] { k = $1 "|" $2; sub(/^[^|]*\|[^|]*\|/, ""); after[k] = $0; keys[k]; next }
    { k = $1 "|" $2; sub(/^[^|]*\|[^|]*\|/, ""); killed[k] = $0; keys[k] }
    END {
      bad = 0
      for (k in keys) {
        b = (k in before) ? before[k] : "<absent>"
        a = (k in after) ? after[k] : "<absent>"
        v = (k in killed) ? killed[k] : "<absent>"
        if (v == b || v == a) continue
        if (v == "<absent>") { print "  " k ": between its delete and its insert" > gapfile; continue }
        print "  " k ": neither before nor after: " v; bad++
      }
      exit bad > 0
    }' "$1" "$2" "$3"
}

echo "kill loop: $kills kills of \"$routine\" on a demo site of $clients clients${dsn:+ (agency database on $dsn)}"
"$cli" demo "$work/base" --clients "$clients" > /dev/null
copy_site "$work/base" "$work/first"
dump_site "$work/first" > "$work/before.txt"

copy_site "$work/base" "$work/after"
start=$(date +%s%N)
(cd "$work/after" && "$cli" run "$routine" --answer yes > /dev/null 2>&1)
duration_ms=$(( ($(date +%s%N) - start) / 1000000 ))
dump_site "$work/after" > "$work/after.txt"
changed=$(LC_ALL=C comm -3 "$work/before.txt" "$work/after.txt" | wc -l)
echo "a whole run takes ${duration_ms} ms and its site differs from the one before in $changed dump lines"
if [ "$changed" -eq 0 ]; then
  echo "the routine changes nothing on this site: nothing to interrupt" >&2
  exit 1
fi

failures=0 partial=0 gaps=0
for ((i = 1; i <= kills; i++)); do
  copy_site "$work/base" "$work/k"
  delay_ms=$(( RANDOM * RANDOM % (duration_ms + 1) ))
  (cd "$work/k" && exec "$cli" run "$routine" --answer yes > /dev/null 2>&1) &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  kill -KILL "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
  if ! check_files "$work/k"; then
    echo "kill $i at ${delay_ms} ms: damaged files"
    failures=$((failures + 1))
    continue
  fi
  dump_site "$work/k" > "$work/killed.txt"
  rm -f "$work/gap.txt"
  if ! compare_states "$work/before.txt" "$work/after.txt" "$work/killed.txt" "$work/gap.txt"; then
    echo "kill $i at ${delay_ms} ms: half-done changes (above)"
    failures=$((failures + 1))
    continue
  fi
  if [ -s "$work/gap.txt" ]; then
    echo "kill $i at ${delay_ms} ms: a record was between its delete and its insert:"
    cat "$work/gap.txt"
    gaps=$((gaps + 1))
  fi
  if ! cmp -s "$work/killed.txt" "$work/before.txt" && ! cmp -s "$work/killed.txt" "$work/after.txt"; then
    partial=$((partial + 1))
  fi
  # The killed run's journal holds every change it committed: its undo gives the site back.
  if ! cmp -s "$work/killed.txt" "$work/before.txt"; then
    if ! (cd "$work/k" && "$cli" undo last > "$work/undo.txt" 2>&1); then
      echo "kill $i at ${delay_ms} ms: the undo failed:"
      cat "$work/undo.txt"
      failures=$((failures + 1))
      continue
    fi
    dump_site "$work/k" > "$work/undone.txt"
    if ! cmp -s "$work/undone.txt" "$work/before.txt"; then
      echo "kill $i at ${delay_ms} ms: the undo did not give back the site as it was:"
      LC_ALL=C comm -3 "$work/before.txt" "$work/undone.txt" | head -5
      failures=$((failures + 1))
      continue
    fi
  fi
done
echo "kill loop: $kills kills, $partial stopped the routine part-way ($gaps between a delete and its insert), $failures left a damaged site or one undo could not give back"
[ "$failures" -eq 0 ]
