#!/usr/bin/env bash
# Every routine on a demo site whose agency database is an SQLite file, and on the same site
# with the database copied to the suite's PostgreSQL server: every report byte, every legacy
# record and every row must come out the same, and so must what each run's journal says it
# changed. Needs the suite's server (ODBCINI names its data sources).
# Usage: server_parity.sh TALVOR_CLI DSN [ROUTINE...]   (every routine when none is named)
set -euo pipefail
cli=$(realpath "$1")
dsn=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'leak:psqlodbca.so\nleak:psqlodbcw.so\nleak:libodbc.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

failures=0
fail() {  # names a routine whose two runs differ; the next routine is tried all the same
  echo "server_parity: $*" >&2
  failures=$((failures + 1))
}
rows() {  # every row of every table of an SQLite file, typed, in stored order
  local t cols
  for t in $(sqlite3 "$1" "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"); do
    cols=$(sqlite3 "$1" "SELECT group_concat('quote(\"' || name || '\")', ' || ''|'' || ') FROM pragma_table_info('$t')")
    echo "== $t"
    sqlite3 "$1" "SELECT $cols FROM \"$t\" ORDER BY rowid"
  done
}
# What a site holds after a run, but for its agency database: reports (the clock's times
# aside), legacy records.
site_files() {
  (cd "$1" && find . -path ./.talvor -prune -o -type f ! -name '*.db' ! -name aliases.cfg \
     ! -name 'run.*' -print | LC_ALL=C sort | while read -r f; do
       echo "== $f"
       case "$f" in
         *.txt | *.TXT | *.csv | *.CSV) sed -E 's/[0-9]{1,2}:[0-9]{2}:[0-9]{2} [AP]M/TIME/g' "$f" ;;
         *) cat "$f" ;;
       esac
     done)
}
changes() {  # the journal of the site's last run: its changes, store names aside
  (cd "$1" && "$cli" runs show last --format csv | cut -d, -f1,3-)
}

cd "$work"
"$cli" demo site --clients 60 >/dev/null
if [ $# -eq 0 ]; then
  mapfile -t routines < <("$cli" list | cut -f2)
else
  routines=("$@")
fi
for routine in "${routines[@]}"; do
  rm -rf file server
  cp -r site file
  cp -r site server
  (cd server && "$cli" db copy AGYFORMS "$dsn" --replace >/dev/null &&
     rm AGYFORMS.db && echo "AGYFORMS=odbc:DSN=$dsn" >aliases.cfg)
  for side in file server; do
    set +e
    (cd "$side" && "$cli" run "$routine" --answer yes >run.out 2>run.err)
    echo "exit $?" >"$side/run.status"
    set -e
  done
  before=$failures
  if ! cmp -s file/run.status server/run.status; then
    fail "$routine: $(cat file/run.status) on SQLite, $(cat server/run.status) on the server: $(head -c 600 server/run.err)"
    continue
  fi
  cmp -s file/run.out server/run.out ||
    { diff -a file/run.out server/run.out | head >&2 || true; fail "$routine: the output differs"; }
  site_files file >"$work/file.files"
  site_files server >"$work/server.files"
  cmp -s "$work/file.files" "$work/server.files" ||
    { diff -a "$work/file.files" "$work/server.files" | grep -a "^[<>] == " | head -5 >&2 || true; fail "$routine: reports or records differ"; }
  (cd server && "$cli" db copy "$dsn" after.db >/dev/null)
  rows file/AGYFORMS.db >"$work/file.rows"
  rows server/after.db >"$work/server.rows"
  cmp -s "$work/file.rows" "$work/server.rows" ||
    { diff -a "$work/file.rows" "$work/server.rows" | head -20 >&2 || true; fail "$routine: rows differ"; }
  if [ "$failures" -eq "$before" ]; then echo "same: $routine"; fi
done
[ "$failures" -eq 0 ] || { echo "server_parity: $failures differences" >&2; exit 1; }
