#!/bin/bash
# A picture dragged with the mouse from one Quorvane window's grid into another's on a
# real X display (Xvfb, xdotool): the drop reaches the other program through the X drag
# and drop protocol and moves the file, as a drop on the same file system does.
# Usage: drag_between_windows.sh <quorvane program>. Exit 77 (skipped) without Xvfb or
# xdotool.
set -u
bin=$1
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || {
  echo "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)"
  exit 77
}
# shellcheck source=virtual_display.bash
. "$(dirname "$0")/virtual_display.bash"

from="$work/from"
to="$work/to"
mkdir -p "$from" "$to"
printf 'P3\n2 2\n255\n255 0 0 0 255 0 0 0 255 255 255 255\n' >"$work/p.ppm"
convert "$work/p.ppm" -scale 3000% "$from/사진 1.jpg" || fail "no picture"

start() { # home, x: one program on its own home folder, its window moved to x
  HOME=$1 QUORVANE_TRACE_THUMBNAILS=1 "$bin" >"$work/log.$2" 2>&1 &
  pids+=($!)
  local win
  win=$(xdotool search --sync --onlyvisible --name "^Quorvane - $1\$" | head -1)
  [ -n "$win" ] || fail "no window for $1"
  xdotool windowmove "$win" "$2" 0
  sleep 0.5
  echo "$win"
}
wfrom=$(start "$from" 0)
wto=$(start "$to" 640)
# The folder scan has shown the picture once its thumbnail is made.
for _ in $(seq 200); do grep -q first-screen "$work/log.0" && break; sleep 0.1; done
grep -q first-screen "$work/log.0" || fail "the picture was not shown"

# The first cell of the grid lies right of the tree and below the caption and tool bar.
eval "$(xdotool getwindowgeometry --shell "$wfrom")"
cx=$((X + 161 + 8 + 60)); cy=$((Y + 22 + 32 + 50))
eval "$(xdotool getwindowgeometry --shell "$wto")"
tx=$((X + 400)); ty=$((Y + 250))

xdotool mousemove "$cx" "$cy" click 1  # select the picture
sleep 0.4
xdotool mousemove "$cx" "$cy" mousedown 1
for step in 10 20 40 80 160 240 320; do
  xdotool mousemove $((cx + step)) $((cy + step / 8))
  sleep 0.1
done
for step in 0 1 2 3 4 5; do
  xdotool mousemove $((tx - 10 + step * 2)) "$ty"
  sleep 0.15
done
xdotool mouseup 1

for _ in $(seq 50); do [ -f "$to/사진 1.jpg" ] && break; sleep 0.1; done
[ -f "$to/사진 1.jpg" ] || { cat "$work"/log.*; fail "the picture did not arrive"; }
[ ! -e "$from/사진 1.jpg" ] || fail "the picture was copied, not moved"
cmp -s "$to/사진 1.jpg" <(convert "$work/p.ppm" -scale 3000% jpg:-) || fail "the moved file differs"
echo "PASS: dragged from one window into the other and moved"
