#!/usr/bin/env bash
# A real mouse drag on a list under Xvfb: starts the list demo test under Wine, takes
# a screenshot of the filled list with its header, selected row and two tabs, then
# drags row 2 onto row 4 with xdotool. The demo test checks the events it received.
# usage: window/vel_list_drag_e2e.sh BUILD/window/window_test.exe SCREENSHOT.png
# (DISPLAY and KORVEX_WINEPREFIX as for scripts/wine-run.sh)
set -uo pipefail
exe=${1:?window_test.exe}
shot=${2:-/tmp/vel_list_demo.png}
here=$(cd "$(dirname "$0")/.." && pwd)
points=$(mktemp /tmp/vel-list-demo.XXXXXX)
rm -f "$points"
KORVEX_LIST_DEMO="Z:${points//\//\\}" "$here/scripts/wine-run.sh" "$exe" \
  --gtest_filter='VelListDemo.*' > "$points.log" 2>&1 &
runner=$!
for _ in $(seq 1 600); do [ -s "$points" ] && [ "$(wc -l < "$points")" -ge 3 ] && break; sleep 0.1; done
if [ ! -s "$points" ]; then echo "demo window did not come up"; cat "$points.log"; kill $runner; exit 1; fi
read -r x2 y2 < <(sed -n 1p "$points" | tr -d "\r")
read -r x4 y4 < <(sed -n 2p "$points" | tr -d "\r")
read -r wx wy ww wh < <(sed -n 3p "$points" | tr -d "\r")
sleep 0.5
import -window root -crop "$((ww + 40))x$((wh + 60))+$((wx - 20))+$((wy - 40))" +repage "$shot"
xdotool mousemove "$x2" "$y2"; sleep 0.2
xdotool mousedown 1; sleep 0.2
for step in 1 2 3 4 5 6; do
  xdotool mousemove "$x2" "$((y2 + (y4 - y2) * step / 6))"; sleep 0.1
done
xdotool mouseup 1
wait $runner
rc=$?
cat "$points.log" | grep -E 'real drag|OK|FAILED|Failure|Expected|Which is|PASSED' || true
rm -f "$points" "$points.log"
exit $rc
