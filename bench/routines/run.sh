#!/usr/bin/env bash
# Whole-routine timings: builds the benchmarks in Release, creates a large demo site once
# (bench-site/, 100,000 clients unless CLIENTS says otherwise) and times every built routine
# on it, one process each.
#   bench/routines/run.sh [--only SLUG ...]
# BACKEND=postgres also runs every routine with the agency database on a PostgreSQL server of
# the benchmark's own (started as the test suite starts its own, stopped at the end), on a
# 20,000-client site unless CLIENTS says otherwise, side by side with SQLite in one run.
set -euo pipefail
cd "$(dirname "$0")/../.."
backend=${BACKEND:-sqlite}
if [ "$backend" = postgres ]; then
  clients=${CLIENTS:-20000}
  state=$(mktemp -d)
  trap 'bash tests/testing/pg_server.sh stop "$state" > /dev/null; rm -rf "$state"' EXIT
  bash tests/testing/pg_server.sh start "$state" > /dev/null
  export ODBCINI=$state/odbc.ini ODBCSYSINI=$state
  set -- --server TALVOR_PG_A "$@"
elif [ "$backend" != sqlite ]; then
  echo "run.sh: BACKEND is sqlite or postgres, not $backend" >&2
  exit 2
fi
clients=${clients:-${CLIENTS:-100000}}
site=${SITE:-bench-site-$clients}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALVOR_TESTS=OFF -DTALVOR_BENCH=ON -DTALVOR_GUI=OFF > /dev/null
cmake --build build-bench --target routines_bench -j "$(nproc)"
build-bench/bench/routines/routines_bench "$site" --clients "$clients" "$@"
