#!/usr/bin/env bash
# Runs every benchmark program that the build produced, then the card-latency and
# start-up measurements. Not part of `make test`: timings are read by people, never
# asserted.
set -euo pipefail
build=${1:-build}
repo=$(cd "$(dirname "$0")/.." && pwd)
found=0
for bench in "$build"/bench/tavomi_bench_*; do
  [[ -f "$bench" && -x "$bench" ]] || continue
  found=1
  echo "== $(basename "$bench")"
  "$bench" --benchmark_counters_tabular=true
done
((found)) || { echo "no benchmarks were built (is libbenchmark-dev installed?)" >&2; exit 1; }
echo "== card latency (bench/card_latency.sh)"
bash "$repo/bench/card_latency.sh" "$build"
echo "== start-up (bench/startup.sh)"
bash "$repo/bench/startup.sh" "$build"
