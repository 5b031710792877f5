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

. scripts/virtual_screen.sh

# A holiday folder of photos (scenes of our own making), the first with a camera's EXIF.
HOME_DIR="$HOMES/민지"
TRIP="$HOME_DIR/사진/여행"
mkdir -p "$TRIP" "$HOME_DIR/.config"
sample_pictures "$TRIP" 3000 "바닷가 해돋이" "호숫가 숲"
exiftool -q -overwrite_original -Make=FUJIFILM -Model=X-T30 \
  '-DateTimeOriginal=2026:07:14 05:32:10' -ExposureTime=0.002 -FNumber=5.6 -ISO=160 \
  -FocalLength=23 '-LensModel=XF23mmF2 R WR' "$TRIP/바닷가 해돋이.jpg"

start_display
start_program "$HOME_DIR" "$TRIP"


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

# Zoomed: three notches of Ctrl+wheel over the rising sun.
eval "$(xdotool getwindowgeometry --shell "$VIEWER")"
xdotool mousemove $((X + WIDTH * 62 / 100)) $((Y + 25 + (HEIGHT - 25) * 53 / 100))
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
