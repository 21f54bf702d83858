#!/usr/bin/env bash
# The program end to end: five customers, real mouse drags on the list, the files checked
# afterwards with the brisken tool.
# usage: drag_test.sh KORVEX_EXE PROBE_EXE WORK_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
e2e_setup "$@"

FRAME="Korvex Record Template Demo"
e2e_customers <<'CSV'
CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE
10,Kestrel,Lowmarsh,(02) 1000 0010,80000
20,Albatross,Highcliff,(02) 1000 0020,80001
30,Magpie,Oakfield,(02) 1000 0030,80002
40,Bittern,Reedbank,(02) 1000 0040,80003
50,Dunlin,Saltflat,(02) 1000 0050,80004
CSV

e2e_start
e2e_wait_rows "$FRAME" 1 5

step "drag row 2 onto row 4 on By Order"
e2e_drag "$FRAME" 1 row2 row4
expect_order "10,Kestrel 20,Magpie 30,Bittern 40,Albatross 50,Dunlin"
e2e_expect_selected "$FRAME" 1 4

step "on By Name a drag changes nothing"
e2e_click_tab "$FRAME" 2 2
e2e_drag "$FRAME" 1 row1 row3
sleep 1
expect_order "10,Kestrel 20,Magpie 30,Bittern 40,Albatross 50,Dunlin"

step "blinking texts of By Name never show those of By Order"
e2e_blink_check "$FRAME" "7 8" "4 5"

step "back on By Order, drag row 5 onto row 1"
e2e_click_tab "$FRAME" 2 1
e2e_wait_rows "$FRAME" 1 5
e2e_drag "$FRAME" 1 row5 row1
expect_order "10,Dunlin 20,Kestrel 30,Magpie 40,Bittern 50,Albatross"
e2e_blink_check "$FRAME" "4 5" "7 8"

step "a drop on the header acts on row 1"
e2e_drag "$FRAME" 1 row3 header
expect_order "10,Magpie 20,Dunlin 30,Kestrel 40,Bittern 50,Albatross"

step "a drop below the last row acts on the last row"
e2e_drag "$FRAME" 1 row1 bottom
expect_order "10,Dunlin 20,Kestrel 30,Bittern 40,Albatross 50,Magpie"

step "OK ends the whole program with status 0"
e2e_click_control "$FRAME" 9
e2e_wait_exit 0
e2e_check_files
[ -f "$WORK/GOODS.BKF" ] || fail "GOODS.BKF was not created"

step "the close box of the shuffle window leaves the frame open"
e2e_start
e2e_wait_rows "$FRAME" 1 5
probe close-window-of "$FRAME" 1 || fail "no shuffle window to close"
e2e_wait_control_gone "$FRAME" 1
probe wait "$FRAME" 2000 >/dev/null || fail "the frame closed with the shuffle window"
probe close "$FRAME" || fail "could not close the frame"
e2e_wait_exit 0
e2e_check_files
pass
