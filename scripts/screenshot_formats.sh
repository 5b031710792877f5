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

H="$HOMES/민지/사진/여행"
mkdir -p "$H" "$HOMES/민지/.config"
P="$WORK/png"
mkdir -p "$P"
# The pictures: scenes of our own making (scripts/make_sample_pictures.py).
sample_pictures "$P" 480
convert "$P/능선.jpg" -resize 400x300 "png24:$P/sky.png"
convert "$P/유채꽃 들판.jpg" -resize 320x213 "png24:$P/field.png"
convert "$P/호숫가 숲.jpg" -resize 360x240 "png24:$P/forest.png"
convert "$P/저녁 도시.jpg" -gravity center -crop 300x320+0+0 +repage "png24:$P/city.png"
convert "$P/밤하늘.jpg" -resize 320x213 "png24:$P/night.png"
heif-enc -q 85 -t 160 "$P/sky.png" -o "$H/능선 IMG_0001.heic" >/dev/null
heif-enc -q 85 "$P/forest.png" -o "$H/호숫가 숲.heif" >/dev/null
avifenc -s 8 "$P/city.png" "$H/저녁 도시.avif" >/dev/null
cwebp -quiet -q 85 "$P/field.png" -o "$H/유채꽃.webp"
cjxl -q 90 "$P/night.png" "$H/밤하늘.jxl" >/dev/null 2>&1
convert "$P/field.png" "$H/유채꽃.ppm"
heif-enc -q 85 "$P/city.png" -o "$H/phone photo.jpg" >/dev/null
convert "$P/forest.png" -quality 90 "$WORK/whole.jpg"
head -c "$(($(stat -c %s "$WORK/whole.jpg") * 55 / 100))" "$WORK/whole.jpg" >"$H/cut download.jpg"
head -c 900 "$H/호숫가 숲.heif" >"$H/damaged.heic"
[ -f "$DNG" ] && cp "$DNG" "$H/camera.dng"

start_display
start_program "$HOMES/민지" "$H"
MAIN=$(window_named '^Quorvane')
xdotool windowsize "$MAIN" 900 560 windowmove "$MAIN" 60 60
xdotool windowfocus --sync "$MAIN"
sleep 8  # the scan, then the thumbnails (the camera file is developed or previewed)
import -window "$MAIN" "$OUT/formats.png"
echo "wrote $OUT/formats.png"
