#!/usr/bin/env bash
# Pictures of the record shuffle window's empty shell and of a message box,
# taken under Xvfb and Wine from the Windows build's window tests, into docs/.
#   scripts/window-screenshots.sh [build/windows]
# Needs the window_test target built (kbuild.sh windows window_test).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${1:-build/windows}
exe=$build/window/window_test.exe
[ -x "$exe" ] || { echo "window-screenshots: $exe is missing" >&2; exit 1; }

xvfb_pid=""
work=$(mktemp -d)
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$work/display")"
fi

# A prefix of its own: without a window manager Wine is told to draw the
# window frames itself, which the test suites' prefixes are not.
export KORVEX_WINEPREFIX=$root/$build/wineprefix-screenshots
scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

KORVEX_SCREENSHOT_DIR=$work scripts/wine-run.sh "$exe" --gtest_also_run_disabled_tests \
  --gtest_filter='DISABLED_WindowScreenshots.*' >"$work/run.log" 2>&1 &
runner=$!
mkdir -p docs
for name in shuffle-window message-box; do
  for _ in $(seq 600); do [ -f "$work/$name.ready" ] && break; sleep 0.1; done
  if [ ! -f "$work/$name.ready" ]; then
    echo "window-screenshots: $name did not appear" >&2
    cat "$work/run.log" >&2
    exit 1
  fi
  read -r x y w h <"$work/$name.ready"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "docs/$name.png"
  touch "$work/$name.taken"
  echo "window-screenshots: docs/$name.png (${w}x${h})"
done
wait "$runner"
