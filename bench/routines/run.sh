#!/usr/bin/env bash
# Whole-routine timings: builds the benchmarks in Release, creates a large demo site once
# (bench-site/, 100,000 clients unless CLIENTS says otherwise) and times every built routine
# on it, one process each.
#   bench/routines/run.sh [--only SLUG ...]
set -euo pipefail
cd "$(dirname "$0")/../.."
clients=${CLIENTS:-100000}
site=${SITE:-bench-site-$clients}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALVOR_TESTS=OFF -DTALVOR_BENCH=ON -DTALVOR_GUI=OFF > /dev/null
cmake --build build-bench --target routines_bench -j "$(nproc)"
build-bench/bench/routines/routines_bench "$site" --clients "$clients" "$@"
