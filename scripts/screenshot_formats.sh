#!/bin/sh
# Takes docs/screenshots/formats.png on a virtual X display: the grid on a folder of the
# newer formats (HEIC with and without a thumbnail item, HEIF, AVIF, WebP, JPEG XL, a camera
# DNG, PPM), a HEIC file named .jpg, a download cut short and a damaged HEIC file.
# Needs the formats' encoders, xvfb, xdotool and ImageMagick (scripts/install-deps.sh).
# Usage: scripts/screenshot_formats.sh [output folder] [camera.dng]
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/screenshots}
DNG=${2:-/tmp/quorvane-bench-formats/photo.dng}
mkdir -p "$OUT"
cmake --build build --target quorvane quorvane-codec quorvane-meta >/dev/null

. scripts/virtual_screen.sh

H="$WORK/home/민지"
mkdir -p "$H/.config"
P="$WORK/png"
mkdir -p "$P"
convert -size 400x300 -seed 7 plasma:steelblue-khaki "png24:$P/sky.png"
convert rose: -resize 320x212 "png24:$P/rose.png"
convert -size 360x240 -seed 3 plasma:seagreen-lightyellow "png24:$P/forest.png"
convert -size 300x400 gradient:gold-firebrick "png24:$P/sunset.png"
convert wizard: -resize 60% -background white -flatten "png24:$P/wizard.png"
heif-enc -q 85 -t 160 "$P/sky.png" -o "$H/하늘 IMG_0001.heic" >/dev/null
heif-enc -q 85 "$P/forest.png" -o "$H/숲.heif" >/dev/null
avifenc -s 8 "$P/sunset.png" "$H/노을.avif" >/dev/null
cwebp -quiet -q 85 "$P/rose.png" -o "$H/rose.webp"
cjxl -q 90 "$P/wizard.png" "$H/wizard.jxl" >/dev/null 2>&1
convert "$P/rose.png" "$H/rose.ppm"
heif-enc -q 85 "$P/sunset.png" -o "$H/phone photo.jpg" >/dev/null
convert "$P/forest.png" -quality 90 "$WORK/whole.jpg"
head -c "$(($(stat -c %s "$WORK/whole.jpg") * 55 / 100))" "$WORK/whole.jpg" >"$H/cut download.jpg"
head -c 900 "$H/숲.heif" >"$H/damaged.heic"
[ -f "$DNG" ] && cp "$DNG" "$H/camera.dng"

start_display
start_program "$H"
MAIN=$(window_named '^Quorvane')
xdotool windowsize "$MAIN" 900 560 windowmove "$MAIN" 60 60
xdotool windowfocus --sync "$MAIN"
sleep 8  # the scan, then the thumbnails (the camera file is developed or previewed)
import -window "$MAIN" "$OUT/formats.png"
echo "wrote $OUT/formats.png"
