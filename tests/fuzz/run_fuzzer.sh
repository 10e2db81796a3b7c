#!/usr/bin/env bash
# Runs one fuzz target for a fixed number of inputs with a fixed seed:
#   run_fuzzer.sh FUZZER RUNS SEEDS WORK
# SEEDS is the checked-in corpus, read only; WORK (emptied first) is where libFuzzer writes
# the new inputs it finds, so it comes first. A crash leaves its input beside WORK as
# crash-<hash>. Exit 77 (the routine of the target is not built) is passed on for CTest
# to show the test as skipped.
set -u
fuzzer=$1 runs=$2 seeds=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
exec "$fuzzer" -runs="$runs" -seed=1 -max_len=4096 -timeout=30 \
  -artifact_prefix="$(dirname "$work")/" "$work" "$seeds"
