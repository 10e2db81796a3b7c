#!/usr/bin/env bash
# The longer fuzzing run: every fuzz target for a fixed time (10 minutes unless
# FUZZ_SECONDS says otherwise), one after the other, starting from the checked-in seeds.
#
#   scripts/fuzz.sh [BUILD_DIR] [TARGET...]     (make fuzz builds build-fuzz first)
#
# New inputs and any crash go to BUILD_DIR/fuzz-run/<target>/ (crash-<hash> files); the
# seeds under tests/fuzz/corpus are never written. A crash found here becomes a seed file
# (tests/fuzz/corpus/<target>/) and a regression test before it is fixed. Prints one line
# per target: runs, coverage, corpus size and whether it crashed. Exit 1 if any crashed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build-fuzz}")
shift || true
seconds=${FUZZ_SECONDS:-600}
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for dir in "$root"/tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

failed=0
for t in "${targets[@]}"; do
  bin="$build/tests/fuzz/$t"
  out="$build/fuzz-run/$t"
  mkdir -p "$out/corpus"
  log="$out/log.txt"
  "$bin" -max_total_time="$seconds" -max_len=4096 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$root/tests/fuzz/corpus/$t" > "$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  corpus=$(find "$out/corpus" -type f | wc -l)
  crashes=$(find "$out" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'timeout-*' \
    -o -maxdepth 1 -name 'leak-*' | wc -l)
  verdict=$([ "$status" -eq 0 ] && echo "no crash" || echo "CRASHED (exit $status, see $log)")
  [ "$status" -eq 77 ] && verdict="skipped (routine not built)"
  [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && failed=1
  printf '%-20s %10s runs  %-10s corpus %5d  artifacts %d  %s\n' \
    "$t" "${runs:-?}" "${cov:-cov: ?}" "$corpus" "$crashes" "$verdict"
done
exit $failed
