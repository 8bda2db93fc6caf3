#!/bin/sh
# Builds the benchmarks (Release) and prints each median with its ratio to the
# floor (one local clock reading) and to its goal.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
DUTYGATE_PACKAGES="$DUTYGATE_PACKAGES libbenchmark-dev"
install_deps
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDUTYGATE_BUILD_BENCH=ON -DDUTYGATE_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target dutygate_bench -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$(pwd)
(cd "$work" && QT_QPA_PLATFORM=offscreen "$root"/build-bench/bench/dutygate_bench \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.1 --benchmark_format=json 2>/dev/null) >"$work/result.json"
python3 scripts/bench_report.py "$work/result.json"
