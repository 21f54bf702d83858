#!/usr/bin/env bash
# Times the program under Wine on a large CUSTOMER file: from the start of the process to the
# first painted page, and from a drop to the redrawn list for a neighbour swap and for a 19-row
# move. The program writes the times itself when KORVEX_TIMING names a file.
# usage: bench/program_timing.sh [CUSTOMERS]   (default 100000; needs both builds)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-100000}
source "$root/tests/e2e/e2e_lib.sh"
e2e_setup "$root/build/windows/app/korvex.exe" "$root/build/windows/tests/e2e/korvex_probe.exe" \
  "$root/build/program-timing"
FRAME="Korvex Record Template Demo"
echo "== $count customers"
awk -v n="$count" 'BEGIN {
  print "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE"
  for (i = 1; i <= n; i++) printf "%d,Customer %07d,Suburb %d,(02) %04d %04d,%d\n", i * 10, (i * 7919) % n, i % 97, i % 10000, (i * 31) % 10000, 70000 + i % 9000
}' > "$WORK/customers.csv"
(cd "$WORK" && "${BRISKEN[@]}" create CUSTOMER "$root/app/demo/customer.txt" >/dev/null &&
  "${BRISKEN[@]}" import CUSTOMER customers.csv >/dev/null 2>&1) || fail "could not prepare CUSTOMER"
export KORVEX_TIMING=$WORK/timing.log
for run in cold warm; do
  rm -f "$KORVEX_TIMING"
  e2e_start
  e2e_wait_page "$FRAME" 1 15
  sleep 1
  echo "$run start: $(cat "$KORVEX_TIMING")"
  if [ "$run" = warm ]; then
    e2e_drag "$FRAME" 1 row2 row3
    sleep 1
    echo "neighbour swap: $(grep drop "$KORVEX_TIMING" | tail -1)"
    e2e_drag "$FRAME" 1 row1 row19
    sleep 1
    echo "18-row move: $(grep drop "$KORVEX_TIMING" | tail -1)"
  fi
  probe close "$FRAME" >/dev/null
  e2e_wait_exit 0
done
e2e_stop
