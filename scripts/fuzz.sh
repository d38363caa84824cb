#!/usr/bin/env bash
# Runs every fuzz target for a number of executions (default 1,000,000) from its seeds and its
# corpus, and prints per target the executions, the time and the coverage libFuzzer reached.
#   scripts/fuzz.sh [RUNS] [TARGET...]     (needs a build: cmake --build --preset default)
# MARLO_FUZZ_DIR names another folder holding the targets and their corpora (default build/fuzz),
# for example a copy that a rebuild cannot replace during a long run.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
shift || true
fuzz=${MARLO_FUZZ_DIR:-build/fuzz}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(block_parser command_line java_version notification expand description pe_image vm_options release resources
  app_resources)
printf '| %-13s | %12s | %9s | %8s | %8s |\n' target executions seconds coverage features
printf '|---------------|--------------|-----------|----------|----------|\n'
status=0
for target in "${targets[@]}"; do
  exe=$fuzz/fuzz_$target
  [ -x "$exe" ] || { echo "fuzz: $exe is missing; build first" >&2; exit 2; }
  if [ "$target" = block_parser ]; then corpus=$fuzz/corpus seeds=tests/fuzz/seeds dict=(); else
    corpus=$fuzz/corpus-$target seeds=tests/fuzz/seeds-$target dict=(-dict=tests/fuzz/dict/$target.dict); fi
  mkdir -p "$corpus"
  log=$(mktemp)
  start=$(date +%s.%N)
  if ! "$exe" -runs="$runs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "${dict[@]}" \
       -artifact_prefix="$fuzz/crash-$target-" "$corpus" "$seeds" > "$log" 2>&1; then
    status=1
    echo "fuzz: $target found a problem; see $log and $fuzz/crash-$target-*" >&2
  fi
  end=$(date +%s.%N)
  done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
  printf '| %-13s | %12s | %9.1f | %8s | %8s |\n' "$target" "$done_runs" "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" "$cov" "$ft"
  [ $status -ne 0 ] || rm -f "$log"
done
exit $status
