#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the README's pictures (docs/images/*.png) from the built program, on a virtual
# display with a plain window manager, driven from outside as a user would: the main
# window, a web test against brisko-testserver's page, the restart prompt after a
# boost, a data test with its results, the history, a network quality run, the main and
# History windows under a dark desktop palette; then the main window at twice the scale.
# Remake them after a change to a window:
#   scripts/screenshots.sh            (BRISKO_BUILD_DIR chooses the build folder)
#   scripts/screenshots.sh --main-2x  (only the main window at twice the scale)
# Nothing of yours is touched: the emulated machine and the home folder are temporary.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)
bin=$root_dir/${BRISKO_BUILD_DIR:-build}/bin
out=$root_dir/docs/images

packages=(xvfb xauth xdotool imagemagick openbox x11-utils x11-xserver-utils)
scripts/install_packages.sh "${packages[@]}"
for program in brisko brisko-dark-windows; do
  [ -x "$bin/$program" ] || { echo "No $bin/$program: build first (./run or scripts/setup.sh)"; exit 1; }
done

# Everything runs behind a link with a home connection's rate and queue where that is
# allowed: on bare loopback an upload runs at tens of gigabits and nothing ever queues,
# which is no picture of a network's quality.
if [ -z "${BRISKO_SCREENSHOT_LINK:-}" ]; then
  status=0
  BRISKO_SCREENSHOT_LINK=40mbit scripts/shaped_link.sh --rate 40mbit --queue 250ms -- "$root_dir/scripts/screenshots.sh" "$@" || status=$?
  [ "$status" -ne 77 ] && exit "$status"
  echo "No shaped link here: the pictures are taken on bare loopback."
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own, a window manager for frames and titles.
# Twice the scale needs a screen twice the size.
only_2x=false
[ "${1:-}" = --main-2x ] && only_2x=true
screen=1280x1024x24
$only_2x && screen=2560x2048x24
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 $screen -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
xsetroot -solid white  # what shows beside a message box that stands out of its window

# The download runs about five seconds, slow enough to watch.
"$bin/brisko-testserver" --port 0 --rate 1M --quiet >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^listening on' "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/server.log")

export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime BRISKO_SYSTEM_ROOT=$work/system
export BRISKO_TEST_SERVER=127.0.0.1:$port LANG=C.UTF-8
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
scale=1
$only_2x && scale=2
(cd "$bin" && QT_SCALE_FACTOR=$scale exec ./brisko) >"$work/brisko.log" 2>&1 &
pids+=($!)

# A visible window titled exactly $1 other than those named after it (ids).
window() {
  local title=$1 id
  shift
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      [[ " $* " == *" $id "* ]] || { echo "$id"; return; }
    done
    sleep 0.1
  done
  echo "no window \"$title\" appeared; the screen is in $out/failed.png" >&2
  import -window root "$out/failed.png"
  exit 1
}
# Clicks at x y inside the client area of window $1.
click() { xdotool windowactivate --sync "$1" mousemove --window "$1" "$2" "$3" click 1; }
# Presses Return in a message box (a "Brisko" window other than the main one).
dismiss() {
  local box
  box=$(window Brisko "$main")
  xdotool windowactivate --sync "$box" key Return
  for _ in $(seq 100); do xdotool search --onlyvisible --name '^Brisko$' 2>/dev/null | grep -x "$box" >/dev/null || return 0; sleep 0.1; done
}
# The windows given (the first one raised), with their frames, as one picture.
shot() {
  local file=$1 id tree left=100000 top=100000 right=0 bottom=0 x y w h
  shift
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  sleep 0.5
  for id in "$@"; do
    # The window manager's frame: the ancestor that is a child of the root window.
    while tree=$(xwininfo -tree -id "$id") && [[ $tree != *"Parent window id: "*"(the root window)"* ]]; do
      id=$(awk '/Parent window id:/ {print $4}' <<<"$tree")
    done
    read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
      /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}')
    ((x < left)) && left=$x
    ((y < top)) && top=$y
    ((x + w > right)) && right=$((x + w))
    ((y + h > bottom)) && bottom=$((y + h))
  done
  import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$out/$file"
  echo "$out/$file"
}

mkdir -p "$out"
rm -f "$out/failed.png"
main=$(window Brisko)
sleep 1
if $only_2x; then
  shot main-window-2x.png "$main"
  exit 0
fi
shot main-window.png "$main"

# The web test: the hint box first, then Return in the address box starts the load.
click "$main" 209 145
dismiss
web=$(window "Internet Explorer Browser")
sleep 2
xdotool windowactivate --sync "$web" key Return
box=$(window Brisko "$main")  # "This page took ... seconds to load."
sleep 1
xdotool windowminimize "$main"
shot web-test.png "$web" "$box"
dismiss  # the time
dismiss  # "Now you can apply the Brisko Boost ..."

# The boost, unlocked by the web test; its restart prompt. The main window comes
# forward on its own once the last box has gone: wait for it, not against it.
sleep 1
xdotool windowactivate --sync "$main"
click "$main" 315 258
restart=$(window Restart)
shot restart-prompt.png "$restart"
xdotool windowminimize "$restart"

# A data test: running, then its results.
click "$main" 103 8
xdotool key Down Return
data=$(window "Data Speed Tests")
sleep 1
click "$data" 346 114
sleep 2.5
shot data-test-running.png "$data"
sleep 6
shot data-test-results.png "$data"
dismiss  # "Done! ..."

# The History window: a Pro Boost, the data test and the web test again, then the
# results before and after it, the boosts marked on the time axis. brisko-cli adds
# tests of its own on both sides of the Pro Boost, as a user would run a few each
# side, so that the verdict has enough results to judge by and its interval shows.
cli_tests() {
  (cd "$bin" && for _ in 1 2 3; do ./brisko-cli data-test; done &&
    ./brisko-cli web-test "http://127.0.0.1:$port/default.html" --runs 4 &&
    for _ in 1 2 3 4; do ./brisko-cli quality --duration 2; done) >>"$work/cli.log" 2>&1
}
cli_tests
xdotool windowactivate --sync "$main"
click "$main" 94 461
restart=$(window Restart)
xdotool windowminimize "$restart"
xdotool windowactivate --sync "$data"
click "$data" 346 114
sleep 8
dismiss  # "Done! ..."
xdotool windowactivate --sync "$web" key Return
sleep 1
dismiss  # the time
dismiss  # "Now you can apply the Brisko Boost ..."
cli_tests
xdotool windowminimize "$data"
xdotool windowminimize "$web"
xdotool windowactivate --sync "$main"
click "$main" 103 8
xdotool key Down Down Return
history=$(window "Results History")
sleep 1
shot history.png "$history"

# The Network Quality window after a whole run: Start has the focus when it opens; the
# run takes four phases of ten seconds after its idle probes.
xdotool windowminimize "$history"
xdotool windowactivate --sync "$main"
click "$main" 103 8
xdotool key Down Down Down Return
quality=$(window "Network Quality")
sleep 1
xdotool windowactivate --sync "$quality" key space
sleep 45
shot network-quality.png "$quality"

# The main and History windows as a dark desktop palette shows them, on the same history.
xdotool windowminimize "$quality"
(cd "$bin" && exec ./brisko-dark-windows) >"$work/dark.log" 2>&1 &
pids+=($!)
dark_history=$(window "Results History" "$history")
dark_main=$(window Brisko "$main")
sleep 1
shot dark-history.png "$dark_history"
xdotool windowminimize "$dark_history"
shot dark-main-window.png "$dark_main"

# The main window at twice the scale, on a display of its own.
"$root_dir/scripts/screenshots.sh" --main-2x
