#!/usr/bin/env bash
# Takes the user guide's screenshots of the running program (both tabs and a drag in
# progress) under Xvfb and Wine, into docs/images/. Needs the Windows build.
# usage: scripts/user-guide-screenshots.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/e2e_lib.sh"
e2e_setup "$root/build/windows/app/korvex.exe" "$root/build/windows/tests/e2e/korvex_probe.exe" \
  "$root/build/user-guide-shots"
out=$root/docs/images
mkdir -p "$out"
FRAME="Korvex Record Template Demo"
(cd "$WORK" && "${BRISKEN[@]}" create CUSTOMER "$root/app/demo/customer.txt" >/dev/null &&
  "${BRISKEN[@]}" import CUSTOMER "$root/app/demo/customers.csv" >/dev/null 2>&1) || fail "no demo data"
e2e_start
e2e_wait_page "$FRAME" 1 15
sleep 1

# The frame's rectangle, a little larger, is what each picture shows.
shot() {
  local rect x y w h
  rect=$(probe wait "$FRAME" 2000)
  x=$(echo "$rect" | sed 's/.* x=\(-*[0-9]*\).*/\1/'); y=$(echo "$rect" | sed 's/.* y=\(-*[0-9]*\).*/\1/')
  w=$(echo "$rect" | sed 's/.* w=\([0-9]*\).*/\1/'); h=$(echo "$rect" | sed 's/.* h=\([0-9]*\).*/\1/')
  import -window root -crop "$(( w + 20 ))x$(( h + 20 ))+$(( x - 10 ))+$(( y - 10 ))" +repage "$out/$1"
  echo "screenshot: docs/images/$1"
}
shot by-order.png
ROWS=$(probe rows "$FRAME" 1)
from=($(point_of row3)); to=($(point_of row7))
xdotool mousemove "${from[0]}" "${from[1]}"; sleep 0.3
xdotool mousedown 1; sleep 0.3
for i in 1 2 3 4; do xdotool mousemove "${from[0]}" $(( from[1] + (to[1] - from[1]) * i / 4 )); sleep 0.15; done
sleep 0.5
shot dragging.png
xdotool mouseup 1; sleep 1
shot after-drop.png
e2e_click_tab "$FRAME" 2 2
e2e_wait_page "$FRAME" 1 15
sleep 1
shot by-name.png
probe close "$FRAME" >/dev/null
e2e_wait_exit 0
e2e_stop
