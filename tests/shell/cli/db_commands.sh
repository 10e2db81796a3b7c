#!/usr/bin/env bash
# talvor-cli's database commands through the program's own process, on a demo site and the
# suite's PostgreSQL server (ODBCINI names its data sources): db check, db copy to the
# server and back (every row and value as before), refusals and exit statuses, and no
# password on any output.
# Usage: db_commands.sh TALVOR_CLI
set -euo pipefail
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The drivers keep small allocations for the life of the process: not the program's leaks.
printf 'leak:psqlodbca.so\nleak:psqlodbcw.so\nleak:libodbc.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

fail() {
  echo "db_commands: $*" >&2
  exit 1
}
expect_status() {  # expect_status STATUS COMMAND...
  local want=$1
  shift
  set +e
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  set -e
  [ "$got" -eq "$want" ] || { cat "$work/out" "$work/err" >&2; fail "exit $got, not $want: $*"; }
}
rows() {  # every row of every table of an SQLite file, typed, in stored order
  local t
  for t in $(sqlite3 "$1" "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"); do
    cols=$(sqlite3 "$1" "SELECT group_concat('quote(\"' || name || '\")', ' || ''|'' || ') FROM pragma_table_info('$t')")
    echo "== $t"
    sqlite3 "$1" "SELECT $cols FROM \"$t\" ORDER BY rowid"
  done
}

cd "$work"
"$cli" demo site --clients 40 >/dev/null
cd site
# Empty the server's database first: the suite's other tests use it too.
expect_status 0 "$cli" db init odbc:DSN=TALVOR_PG_C
expect_status 1 "$cli" db init TALVOR_PG_C
grep -q "already holds the catalog's tables" "$work/err" || fail "a second init was not refused"
expect_status 0 "$cli" db check TALVOR_PG_C
grep -qx "TALVOR_PG_C: every table and column of the catalog is there" "$work/out" ||
  fail "db check on a fresh server: $(cat "$work/out")"

expect_status 1 "$cli" db copy AGYFORMS TALVOR_PG_C
grep -q "(give --replace to replace them)" "$work/err" || fail "copy onto held tables not refused"
expect_status 0 "$cli" db copy AGYFORMS TALVOR_PG_C --replace
grep -q "^copied [0-9]* tables, [0-9]* rows from AGYFORMS to TALVOR_PG_C$" "$work/out" ||
  fail "no summary line: $(cat "$work/out")"
expect_status 0 "$cli" db copy TALVOR_PG_C back.db
rows AGYFORMS.db >"$work/before"
rows back.db >"$work/after"
cmp -s "$work/before" "$work/after" || { diff "$work/before" "$work/after" | head >&2; fail "rows differ"; }

sqlite3 back.db 'DROP TABLE PolInt; ALTER TABLE Customer DROP COLUMN TaxID'
expect_status 1 "$cli" db check back.db
grep -q "^table PolInt is missing; affects " "$work/out" || fail "missing table not named"
grep -q "^column Customer.TaxID is missing (TEXT); affects .*Restore ID" "$work/out" ||
  fail "missing column or its routines not named: $(cat "$work/out")"

echo "NOPE=odbc:Driver=/nowhere.so;Database=x;PWD=hunter2" >aliases.cfg
expect_status 1 "$cli" db check NOPE
grep -q "PWD=\*\*\*" "$work/err" || fail "the connection was not named: $(cat "$work/err")"
! grep -q hunter2 "$work/out" "$work/err" || fail "the password was shown"
expect_status 1 "$cli" run smartcase-clt --alias NOPE --answer no
! grep -q hunter2 "$work/out" "$work/err" || fail "the password was shown by a run"
! grep -rq hunter2 .talvor 2>/dev/null || fail "the password is in the journal"
echo "db_commands: all passed"
