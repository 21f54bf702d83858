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
# One display and one running wineserver for the whole suite, so that each
# test program starts in about a second instead of setting both up again.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  if read -r -t 20 display_number <"$fifo"; then
    export DISPLAY=":$display_number"
  else
    echo "test-all: Xvfb did not start; each Wine test will try its own" >&2
    kill "$xvfb_pid" 2>/dev/null; xvfb_pid=""
  fi
  rm -f "$fifo"
fi
export KORVEX_WINEPREFIX="$root/build/windows/wineprefix" WINEPREFIX="$root/build/windows/wineprefix"
# Creates the prefix once, before tests run side by side.
scripts/wine-run.sh build/windows/runtime/runtime_test.exe --gtest_list_tests >/dev/null 2>&1 || true
/usr/lib/wine/wineserver64 -p 2>/dev/null || /usr/lib/wine/wineserver -p 2>/dev/null || true
ctest --test-dir build/windows -j "$jobs" --output-on-failure --timeout 900 || fail=1
/usr/lib/wine/wineserver64 -k 2>/dev/null || /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi

if [ "$fail" -ne 0 ]; then
  echo "test-all: some tests failed (see above)"
fi
exit $fail
