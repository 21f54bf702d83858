#!/usr/bin/env bash
# Sets up, builds and starts the program (under Wine on Linux).
# The data files live in a folder of their own (KORVEX_DATA, default demo-data/ here); the first
# run fills it with invented demo customers, later runs keep what the user changed.
# Without a display the program runs on a virtual one: a screenshot is saved and its path shown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
echo "run: building the program (Windows target)"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/windows -j "$(nproc)" | grep -v '^\[[0-9]*/[0-9]*\] ' || true
exe=$root/build/windows/app/korvex.exe
if [ ! -f "$exe" ]; then
  echo "run: the program korvex.exe is not built yet; the platform layers and their tests are."
  exit 0
fi
wine_run() { "$root/scripts/wine-run.sh" "$@"; }

data=${KORVEX_DATA:-$root/demo-data}
mkdir -p "$data"
cd "$data"
if [ ! -f CUSTOMER.BKF ]; then
  echo "run: preparing demo customers in $data"
  brisken=$root/build/windows/tools/brisken/brisken.exe
  wine_run "$brisken" create CUSTOMER "$root/app/demo/customer.txt" >/dev/null
  wine_run "$brisken" import CUSTOMER "$root/app/demo/customers.csv" >/dev/null
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting korvex.exe in $data"
  exec "$root/scripts/wine-run.sh" "$exe"
fi

# No display: a virtual one, the program on it, a screenshot, then a clean end.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 display_number <"$fifo" || { echo "run: Xvfb did not start" >&2; exit 1; }
rm -f "$fifo"
export DISPLAY=":$display_number"
trap 'kill $xvfb 2>/dev/null' EXIT
echo "run: no display; starting korvex.exe on the virtual display $DISPLAY"
wine_run "$exe" &
program=$!
probe=$root/build/windows/tests/e2e/korvex_probe.exe
frame="Korvex Record Template Demo"
wine_run "$probe" wait "$frame" 60000 >/dev/null || { echo "run: the frame did not appear" >&2; exit 1; }
for _ in $(seq 1 40); do
  wine_run "$probe" rows "$frame" 1 2>/dev/null | grep -q '^count=[1-9]' && break
  sleep 0.5
done
sleep 1
shot=$data/korvex-screenshot.png
import -window root "$shot"
echo "run: the program is running; screenshot: $shot"
wine_run "$probe" close "$frame" >/dev/null || true
wait "$program" || true
echo "run: the program has ended (run again with a display to use it)"
