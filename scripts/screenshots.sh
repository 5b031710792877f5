#!/bin/sh
# Takes the screenshots in docs/screenshots/ on a virtual X display: the main window
# with thumbnails (main.png), the viewer (viewer.png) and the progress dialog of a batch
# with one unreadable file (progress.png) and the bar above the grid after it
# (batch-bar.png). Needs xvfb, xdotool and ImageMagick
# (scripts/install-deps.sh installs them). Usage: scripts/screenshots.sh [output folder]
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/screenshots}
mkdir -p "$OUT"
cmake --build build --target quorvane quorvane-codec >/dev/null

. scripts/virtual_screen.sh

# A home folder with a few folders and pictures (ImageMagick's built-in images).
HOME_DIR="$WORK/home/민지"
mkdir -p "$HOME_DIR/문서" "$HOME_DIR/여행 사진" "$HOME_DIR/.config"
convert -size 400x300 -seed 7 plasma:steelblue-khaki "$HOME_DIR/구름 낀 하늘.jpg"
convert rose: -resize 320x212 "$HOME_DIR/rose.png"
convert logo: -resize 50% "$HOME_DIR/logo.gif"
convert wizard: -resize 60% "$HOME_DIR/wizard.bmp"
convert -size 300x400 gradient:gold-firebrick "$HOME_DIR/노을 2.tif"
convert -size 360x240 -seed 3 plasma:seagreen-lightyellow "$HOME_DIR/숲 10.jpg"
convert netscape: "$HOME_DIR/palette.tga"
printf 'not a picture' >"$HOME_DIR/깨진 그림.png"

start_display
start_program "$HOME_DIR"


MAIN=$(window_named '^Quorvane')
xdotool windowsize "$MAIN" 780 540 windowmove "$MAIN" 120 100
xdotool windowfocus --sync "$MAIN"
sleep 3  # the scan, then the thumbnails
import -window "$MAIN" "$OUT/main.png"

# Click the first cell (a folder), step right to a picture and open it.
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove $((X + 161 + 8 + 60)) $((Y + 22 + 32 + 55)) click 1
sleep 0.3
xdotool key Right Right Right Right Right Right Return
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
