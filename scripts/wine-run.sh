#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PROGRAM.exe [ARGS...]
#
# Keeps a private Wine prefix inside the build folder that holds the program
# (the nearest parent with a CMakeCache.txt), created on first use. When no
# display is set it starts Xvfb on a free display and stops it afterwards.
# The program's exit code is passed through.
set -uo pipefail

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
program=$1
shift

build_dir=$(cd "$(dirname "$program")" && pwd)
while [ "$build_dir" != "/" ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
  build_dir=$(dirname "$build_dir")
done
[ "$build_dir" = "/" ] && build_dir=$(cd "$(dirname "$program")" && pwd)

export WINEPREFIX=${KORVEX_WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko install dialogs in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    # Let this prefix's wineserver finish before its display goes away.
    "$WINESERVER" -w 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  if ! read -r -t 20 display_number <"$fifo"; then
    rm -f "$fifo"
    echo "wine-run: Xvfb did not start" >&2
    exit 125
  fi
  rm -f "$fifo"
  export DISPLAY=":$display_number"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run: creating Wine prefix $WINEPREFIX" >&2
      "$WINE" wineboot --init >/dev/null 2>&1
      "$WINESERVER" -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi

"$WINE" "$program" "$@"
status=$?
exit $status
