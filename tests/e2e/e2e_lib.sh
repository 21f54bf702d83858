# Shared steps of the end-to-end tests (sourced). Every wait is a poll with a limit; a message
# box that appears unexpectedly fails the test at once, with a screenshot.
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

step() { echo "== $*"; }
# The probe, its output without the carriage returns of the Windows console.
probe() {
  "${PROBE[@]}" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
pass() { e2e_stop; echo "PASS"; exit 0; }
fail() {
  echo "FAIL: $*" >&2
  import -window root "$WORK/failure.png" 2>/dev/null && echo "screenshot: $WORK/failure.png" >&2
  probe boxes >&2
  e2e_stop
  exit 1
}

# e2e_setup KORVEX_EXE PROBE_EXE WORK_DIR: a fresh folder, a display and the tools.
e2e_setup() {
  KORVEX_EXE=$(realpath "$1")
  WORK=$(realpath -m "$3")
  rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
  XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local display_number
    read -r -t 20 display_number <"$fifo" || { echo "e2e: Xvfb did not start" >&2; exit 1; }
    rm -f "$fifo"
    export DISPLAY=":$display_number"
  fi
  export WINEDEBUG=-all
  export KORVEX_WINEPREFIX=${KORVEX_WINEPREFIX:-$(dirname "$KORVEX_EXE")/../wineprefix}
  export WINEPREFIX=$KORVEX_WINEPREFIX
  PROBE=("$E2E_ROOT/scripts/wine-run.sh" "$(realpath "$2")")
  local native="$E2E_ROOT/build/native/tools/brisken/brisken"
  if [ -x "$native" ]; then
    BRISKEN=("$native")
  else
    BRISKEN=("$E2E_ROOT/scripts/wine-run.sh" "$(dirname "$KORVEX_EXE")/../tools/brisken/brisken.exe")
  fi
  KORVEX_PID=""
  trap 'e2e_stop' EXIT
}

e2e_stop() {
  if [ -n "$KORVEX_PID" ] && kill -0 "$KORVEX_PID" 2>/dev/null; then
    # The runner's shell is the parent; the program itself runs under Wine's loader.
    pkill -f "$KORVEX_EXE" 2>/dev/null
    kill "$KORVEX_PID" 2>/dev/null
  fi
  KORVEX_PID=""
  if [ -n "$XVFB_PID" ]; then
    "$WINESERVER" -k 2>/dev/null
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  fi
}

# CUSTOMER from the CSV on standard input.
e2e_customers() {
  (cd "$WORK" && "${BRISKEN[@]}" create CUSTOMER "$E2E_ROOT/app/demo/customer.txt" >/dev/null &&
    "${BRISKEN[@]}" import CUSTOMER - >/dev/null 2>&1) || fail "could not prepare CUSTOMER"
}

e2e_start() {
  (cd "$WORK" && exec "$E2E_ROOT/scripts/wine-run.sh" "$KORVEX_EXE") &
  KORVEX_PID=$!
}

no_boxes() { probe boxes >/dev/null || fail "a message box appeared"; }

# e2e_wait_rows TITLE LIST_ID COUNT: the list shows COUNT rows.
e2e_wait_rows() {
  local i out
  for i in $(seq 1 60); do
    out=$(probe rows "$1" "$2" 2>/dev/null)
    if echo "$out" | grep -q "^count=$3 "; then ROWS=$out; return 0; fi
    no_boxes
    sleep 0.5
  done
  fail "list $2 of \"$1\" did not show $3 rows: $(echo "$out" | head -1)"
}

# e2e_wait_page TITLE LIST_ID MIN: the list shows at least MIN rows (a page of a long file).
e2e_wait_page() {
  local i out count
  for i in $(seq 1 120); do
    out=$(probe rows "$1" "$2" 2>/dev/null)
    count=$(echo "$out" | sed -n 's/^count=\([0-9]*\) .*/\1/p')
    if [ -n "$count" ] && [ "$count" -ge "$3" ]; then ROWS=$out; return 0; fi
    no_boxes
    sleep 0.5
  done
  fail "list $2 of \"$1\" did not show $3 rows: $(echo "$out" | head -1)"
}

# The screen point of a row ("row3"), of the header or of the space below the last row.
point_of() {
  case "$1" in
    row*) echo "$ROWS" | awk -v r="row=${1#row}" '$1 == r { sub("sx=", "", $2); sub("sy=", "", $3); print $2, $3 }' ;;
    *) echo "$ROWS" | awk -v w="$1" '$1 == w { sub("sx=", "", $2); sub("sy=", "", $3); print $2, $3 }' ;;
  esac
}

# e2e_drag TITLE LIST_ID FROM TO: press on FROM, move in steps, release on TO. The press must
# select the row first (a press that the program has not seen yet is tried again).
e2e_drag() {
  ROWS=$(probe rows "$1" "$2") || fail "no list $2"
  local from to
  from=($(point_of "$3"))
  to=($(point_of "$4"))
  [ ${#from[@]} -eq 2 ] && [ ${#to[@]} -eq 2 ] || fail "no point for $3 or $4 in: $ROWS"
  local attempt i x y pressed=""
  for attempt in 1 2 3; do
    xdotool mousemove "${from[0]}" "$(( from[1] + 1 ))"; sleep 0.2
    xdotool mousemove "${from[0]}" "${from[1]}"; sleep 0.3
    xdotool mousedown 1
    for i in $(seq 1 10); do
      if probe rows "$1" "$2" | grep -q "cursel=$(( ${3#row} - 1 )) "; then pressed=1; break; fi
      case "$3" in row*) ;; *) pressed=1; break ;; esac
      sleep 0.2
    done
    [ -n "$pressed" ] && break
    xdotool mouseup 1; sleep 0.5
  done
  [ -n "$pressed" ] || fail "the press on $3 did not select it"
  for i in 1 2 3 4 5 6; do
    x=$(( from[0] + (to[0] - from[0]) * i / 6 ))
    y=$(( from[1] + (to[1] - from[1]) * i / 6 + (i == 1 ? 8 : 0) ))
    xdotool mousemove "$x" "$y"; sleep 0.1
  done
  xdotool mousemove "${to[0]}" "${to[1]}"; sleep 0.2
  xdotool mouseup 1; sleep 0.3
  no_boxes
}

# expect_order "10,Name 20,Name ...": CUSTOMER in CUS:BYID order, polled for a while.
expect_order() {
  local want got i
  want=$(echo "$1" | tr ' ' '\n')
  for i in $(seq 1 40); do
    got=$("${BRISKEN[@]}" export --key CUS:BYID "$WORK/CUSTOMER" 2>/dev/null | tail -n +2 | cut -d, -f1,2 | tr -d '\r')
    [ "$got" = "$want" ] && return 0
    no_boxes
    sleep 0.25
  done
  fail "order is $(echo $got), expected $1"
}

# e2e_expect_selected TITLE LIST_ID ROW
e2e_expect_selected() {
  local i
  for i in $(seq 1 20); do
    probe rows "$1" "$2" | grep -q "cursel=$(( $3 - 1 )) " && return 0
    sleep 0.25
  done
  fail "row $3 is not selected: $(probe rows "$1" "$2" | head -1)"
}

# e2e_click_tab TITLE SHEET_ID TAB
e2e_click_tab() {
  local tabs point i
  tabs=$(probe tabs "$1" "$2") || fail "no sheet $2"
  point=($(echo "$tabs" | awk -v t="tab=$3" '$1 == t { sub("sx=", "", $2); sub("sy=", "", $3); print $2, $3 }'))
  [ ${#point[@]} -eq 2 ] || fail "no tab $3 in: $tabs"
  xdotool mousemove "${point[0]}" "${point[1]}" click 1
  for i in $(seq 1 20); do
    probe tabs "$1" "$2" | grep -q "current=$3\$" && return 0
    sleep 0.25
  done
  fail "tab $3 was not selected"
}

# The visibility (0/1) of the control with text and id N.
visible_of() {
  echo "$CONTROLS" | awk -v i="id=$1" '$1 == i && $2 != "class=MDICLIENT" { sub("visible=", "", $3); print $3; exit }'
}

# e2e_blink_check TITLE "SHOWN_IDS" "HIDDEN_IDS": over three seconds the texts of the current
# tab take turns and those of the other tab never show.
e2e_blink_check() {
  local seen="" i id
  for i in $(seq 1 8); do
    CONTROLS=$(probe controls "$1")
    for id in $3; do
      [ "$(visible_of "$id")" = 1 ] && fail "text $id of the other tab is visible"
    done
    for id in $2; do seen="$seen $id:$(visible_of "$id")"; done
    sleep 0.4
  done
  for id in $2; do
    echo "$seen" | grep -q " $id:1" || fail "text $id never showed"
    echo "$seen" | grep -q " $id:0" || fail "text $id never blinked"
  done
}

# e2e_click_control TITLE ID: a click in the middle of the control.
e2e_click_control() {
  local line x y w h
  line=$(probe controls "$1" | awk -v i="id=$2" '$1 == i && $2 != "class=MDICLIENT" { print; exit }')
  [ -n "$line" ] || fail "no control $2"
  x=$(echo "$line" | sed 's/.* x=\(-*[0-9]*\).*/\1/'); y=$(echo "$line" | sed 's/.* y=\(-*[0-9]*\).*/\1/')
  w=$(echo "$line" | sed 's/.* w=\([0-9]*\).*/\1/'); h=$(echo "$line" | sed 's/.* h=\([0-9]*\).*/\1/')
  xdotool mousemove $(( x + w / 2 )) $(( y + h / 2 )) click 1
}

e2e_wait_control_gone() {
  local i
  for i in $(seq 1 40); do
    probe rows "$1" "$2" >/dev/null 2>&1 || return 0
    sleep 0.25
  done
  fail "control $2 is still there"
}

# e2e_wait_exit STATUS: the program ends within a while, with that exit status.
e2e_wait_exit() {
  local i status
  for i in $(seq 1 60); do
    kill -0 "$KORVEX_PID" 2>/dev/null || break
    sleep 0.25
  done
  kill -0 "$KORVEX_PID" 2>/dev/null && fail "the program did not end"
  wait "$KORVEX_PID"
  status=$?
  KORVEX_PID=""
  [ "$status" -eq "$1" ] || fail "the program ended with status $status, expected $1"
}

# Both files sound, and nobody parked at 10000000.
e2e_check_files() {
  (cd "$WORK" && "${BRISKEN[@]}" check CUSTOMER >/dev/null) || fail "brisken check CUSTOMER failed"
  if [ -f "$WORK/GOODS.BKF" ]; then
    (cd "$WORK" && "${BRISKEN[@]}" check GOODS >/dev/null) || fail "brisken check GOODS failed"
  fi
  "${BRISKEN[@]}" export --key CUS:BYID "$WORK/CUSTOMER" | grep -q '^10000000,' && fail "a customer holds 10000000"
  return 0
}
