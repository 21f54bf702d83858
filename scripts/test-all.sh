#!/usr/bin/env bash
# Sets up, builds both targets and runs every test suite.
# Native tests (with sanitizers) first, then the Windows tests under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh || exit 1

jobs=${KORVEX_JOBS:-$(nproc)}
fail=0

echo "== native: configure and build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build build/native -j "$jobs" || exit 1

echo "== windows: configure and build"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null || exit 1
cmake --build build/windows -j "$jobs" || exit 1

echo "== native: tests"
ctest --test-dir build/native -j "$jobs" --output-on-failure --timeout 600 || fail=1

echo "== windows: tests under Wine"
# One at a time: the Wine tests share a prefix and start their own displays.
ctest --test-dir build/windows -j 1 --output-on-failure --timeout 900 || fail=1

if [ "$fail" -ne 0 ]; then
  echo "test-all: some tests failed (see above)"
fi
exit $fail
