#!/usr/bin/env bash
# What the run journal costs: each routine named runs alone on a fresh copy of a demo site,
# with the journal off (TALVOR_JOURNAL=off) and on, alternating, ROUNDS times; prints the
# best seconds of each and the difference.
#   bench/routines/journal_cost.sh SLUG...      (CLIENTS=20000 ROUNDS=3 by default)
# Needs build-bench (bench/routines/run.sh builds it).
set -euo pipefail
cd "$(dirname "$0")/../.."
clients=${CLIENTS:-20000}
rounds=${ROUNDS:-3}
bench=$PWD/build-bench/bench/routines/routines_bench
cli=$PWD/build-bench/shell/talvor-cli
cmake --build build-bench --target routines_bench talvor-cli -j "$(nproc)" > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" demo "$work/site" --clients "$clients" > /dev/null
printf '%-20s %8s %8s %7s\n' routine off on cost
for slug in "$@"; do
  best_off=999; best_on=999
  for ((k = 0; k < rounds; k++)); do
    for mode in off on; do
      rm -rf "$work/run" && cp -a "$work/site" "$work/run"
      if [ "$mode" = off ]; then export TALVOR_JOURNAL=off; else unset TALVOR_JOURNAL; fi
      (cd "$work/run" && "$bench" --run "$slug" "$work/result" > /dev/null 2>&1)
      t=$(cut -d' ' -f6 "$work/result")
      if [ "$mode" = off ]; then
        best_off=$(awk -v a="$t" -v b="$best_off" 'BEGIN { print (a < b) ? a : b }')
      else
        best_on=$(awk -v a="$t" -v b="$best_on" 'BEGIN { print (a < b) ? a : b }')
      fi
    done
  done
  unset TALVOR_JOURNAL
  awk -v s="$slug" -v f="$best_off" -v n="$best_on" \
    'BEGIN { printf "%-20s %8.3f %8.3f %+6.0f%%\n", s, f, n, (n - f) / f * 100 }'
done
