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

start_display
start_program "$HOME_DIR"


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
