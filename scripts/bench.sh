#!/usr/bin/env bash
# Builds and runs the benchmarks (bench/bench_*.cpp) in an optimised build. Each benchmark
# reports its result as a ratio to a baseline measured in the same run.
# scripts/bench.sh [NAME-FILTER] [extra benchmark args]
set -euo pipefail
cd "$(dirname "$0")/.."
filter=${1:-}
[ $# -gt 0 ] && shift

scripts/setup-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARVEL_TESTS=OFF >/dev/null
cmake --build build-bench
for b in build-bench/bench/bench_*; do
  [ -x "$b" ] || continue
  case "$(basename "$b")" in *"$filter"*) ;; *) continue ;; esac
  echo "== $(basename "$b")"
  "$b" "$@"
done
