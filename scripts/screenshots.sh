#!/bin/sh
# Takes the screenshots in docs/screenshots/ on a virtual X display: the main window
# with thumbnails (main.png), the viewer (viewer.png) and the progress dialog of a batch
# with one unreadable file (progress.png) and the bar above the grid after it
# (batch-bar.png). The pictures are made by scripts/make_sample_pictures.py. Needs xvfb, xdotool and ImageMagick
# (scripts/install-deps.sh installs them). Usage: scripts/screenshots.sh [output folder]
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/screenshots}
mkdir -p "$OUT"
cmake --build build --target quorvane quorvane-codec >/dev/null

. scripts/virtual_screen.sh

# A home folder with holiday photos (scenes of our own making) and a damaged file; the
# window opens on their folder from the command line.
HOME_DIR="$HOMES/민지"
TRIP="$HOME_DIR/사진/여행"
mkdir -p "$HOME_DIR/문서" "$TRIP/제주" "$HOME_DIR/.config"
sample_pictures "$TRIP" 1200
sample_pictures "$TRIP/제주" 900 해변 "바닷가 해돋이"
printf 'not a picture' >"$TRIP/깨진 그림.png"

start_display
start_program "$HOME_DIR" "$TRIP"

MAIN=$(window_named '^Quorvane')
xdotool windowsize "$MAIN" 780 540 windowmove "$MAIN" 120 100
xdotool windowfocus --sync "$MAIN"
sleep 3  # the scan, then the thumbnails
import -window "$MAIN" "$OUT/main.png"

# Click the first cell (the folder 제주), step right to a picture and open it.
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove $((X + 161 + 8 + 60)) $((Y + 22 + 32 + 55)) click 1
sleep 0.3
xdotool key Right Right Right Return
VIEWER=$(window_named 'x[0-9]+\)$')
sleep 1
import -window "$VIEWER" "$OUT/viewer.png"
xdotool key Next
sleep 1
xdotool key Escape
sleep 0.5

# Every picture to PNG: Ctrl+A, the menu (F10), "이미지 변환", "to P&NG", OK in the
# folder dialog. The unreadable file keeps the progress dialog open.
xdotool windowfocus --sync "$MAIN"
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove $((X + 600)) $((Y + 480)) click 1  # the grid's empty part
sleep 0.3
xdotool key ctrl+a
sleep 0.3
xdotool key F10
sleep 0.5
xdotool key Down
sleep 0.3
xdotool key Right
sleep 0.3
xdotool key n
FOLDER=$(window_named '^폴더 선택$')
sleep 0.5
xdotool key Return
PROGRESS=$(window_named '^변환$')
sleep 4
import -window "$PROGRESS" "$OUT/progress.png"
xdotool key Escape
sleep 1  # the bar above the grid: where the files went, and the error count
import -window "$MAIN" "$OUT/batch-bar.png"
echo "screenshots: written to $OUT"
