#!/bin/sh
# Takes the viewer's screenshots in docs/screenshots/ on a virtual X display: zoomed
# about the pointer (viewer-zoomed.png), with the information overlay
# (viewer-info.png) and in full screen (viewer-fullscreen.png). Needs xvfb, xdotool,
# ImageMagick and exiftool. Usage: scripts/viewer_screenshots.sh [output folder]
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/screenshots}
mkdir -p "$OUT"
cmake --build build --target quorvane quorvane-codec quorvane-meta >/dev/null

WORK=$(mktemp -d /tmp/quorvane-viewer-shots.XXXXXX)
XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

# A home folder of two photographs, the first with a camera's EXIF.
HOME_DIR="$WORK/home/민지"
mkdir -p "$HOME_DIR/.config"
convert -size 3000x2000 -seed 11 plasma:steelblue-khaki -blur 0x1 \
  \( -size 3000x2000 xc:none -fill 'rgba(255,255,255,0.85)' -draw 'circle 1500,1000 1500,700' \) \
  -composite -quality 90 "$HOME_DIR/가을 하늘.jpg"
exiftool -q -overwrite_original -Make=FUJIFILM -Model=X-T30 \
  '-DateTimeOriginal=2024:10:03 16:42:07' -ExposureTime=0.002 -FNumber=5.6 -ISO=160 \
  -FocalLength=23 '-LensModel=XF23mmF2 R WR' "$HOME_DIR/가을 하늘.jpg"
convert -size 2400x1600 -seed 5 plasma:seagreen-lightyellow -quality 90 "$HOME_DIR/숲.jpg"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

HOME="$HOME_DIR" XDG_CACHE_HOME="$WORK/cache" ./build/quorvane &
APP_PID=$!

window_named() {  # waits for a window whose title matches, prints its id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "viewer_screenshots: no window named $1" >&2
  return 1
}

MAIN=$(window_named '^Quorvane')
xdotool windowsize "$MAIN" 780 540 windowmove "$MAIN" 120 100
xdotool windowfocus --sync "$MAIN"
sleep 3
# The first cell is the first photograph: open it.
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove $((X + 161 + 8 + 60)) $((Y + 22 + 32 + 55)) click 1
sleep 0.3
xdotool key Return
VIEWER=$(window_named 'x[0-9]+\)$')
sleep 1.5

# Zoomed: two notches of Ctrl+wheel over the sun.
eval "$(xdotool getwindowgeometry --shell "$VIEWER")"
xdotool mousemove $((X + WIDTH / 2 + 60)) $((Y + HEIGHT / 2))
xdotool keydown ctrl click 4 click 4 click 4 keyup ctrl
sleep 1
import -window "$VIEWER" "$OUT/viewer-zoomed.png"

# Fitted again, with the information overlay.
xdotool key 0
sleep 0.5
xdotool key i
sleep 0.5
import -window "$VIEWER" "$OUT/viewer-info.png"

# Full screen, the overlay off.
xdotool key i
xdotool key F11
sleep 1.5
import -window root "$OUT/viewer-fullscreen.png"
xdotool key Escape
sleep 0.5
xdotool key Escape
sleep 0.5
echo "viewer_screenshots: written to $OUT"
