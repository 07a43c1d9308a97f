#!/usr/bin/env bash
# Runs every benchmark program that the build produced. Not part of `make test`:
# timings are read by people, never asserted.
set -euo pipefail
build=${1:-build}
found=0
for bench in "$build"/bench/tavomi_bench_*; do
  [[ -f "$bench" && -x "$bench" ]] || continue
  found=1
  echo "== $(basename "$bench")"
  "$bench" --benchmark_counters_tabular=true
done
((found)) || { echo "no benchmarks were built (is libbenchmark-dev installed?)" >&2; exit 1; }
