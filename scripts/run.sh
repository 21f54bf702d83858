#!/usr/bin/env bash
# Sets up, builds and starts the program (under Wine on Linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/windows -j "$(nproc)"
exe=build/windows/app/korvex.exe
if [ ! -f "$exe" ]; then
  echo "run: the program korvex.exe is not built yet; the platform layers and their tests are."
  exit 0
fi
exec scripts/wine-run.sh "$exe" "$@"
