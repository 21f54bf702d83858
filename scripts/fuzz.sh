#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs one: fuzz.sh NAME [SECONDS] [extra libFuzzer flags]
# Seeds come from fuzz/corpus/NAME (kept in the repository); the growing corpus
# lives in build/fuzz/corpus/NAME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
name=${1:?usage: fuzz.sh NAME [SECONDS]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz --target "${name}_fuzz"
corpus=build/fuzz/corpus/$name
mkdir -p "$corpus"
seeds=()
[ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
exec "build/fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  "$@" "$corpus" "${seeds[@]}"
