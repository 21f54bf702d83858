#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers, and runs one or all:
# bench.sh [NAME] [extra Google Benchmark flags]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEX_SANITIZE=OFF >/dev/null
if [ $# -ge 1 ]; then
  name=$1; shift
  cmake --build build/bench --target "${name}_bench"
  exec "build/bench/bench/${name}_bench" "$@"
fi
cmake --build build/bench
for b in build/bench/bench/*_bench; do "$b"; done
