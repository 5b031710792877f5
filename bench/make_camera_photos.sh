#!/bin/sh
# Makes the camera-like photograph set of the thumbnail benchmark once: JPEG files of
# 4000 x 3000 with photo-like content and camera tags, each in two forms:
#   camera_NNN.jpg  with a 160 x 120 EXIF thumbnail of itself (as cameras write them)
#   plain_NNN.jpg   the same file without the thumbnail
# Usage: bench/make_camera_photos.sh [folder] [count]
#        (default /tmp/quorvane-bench-camera, 40 files; needs ImageMagick and exiftool)
#        SAMPLING (default 2x2, 4:2:0) sets the chroma subsampling; 2x1 is the 4:2:2 that
#        many cameras write.
set -eu
out=${1:-/tmp/quorvane-bench-camera}
count=${2:-40}
sampling=${SAMPLING:-2x2}
mkdir -p "$out"
if [ "$(ls "$out"/camera_*.jpg 2>/dev/null | wc -l)" -ge "$count" ]; then
  echo "$out already holds $count camera photographs"
  exit 0
fi
base="$out/base.mpc"
if [ ! -f "$base" ]; then
  convert -seed 7 -size 4000x3000 plasma:fractal -blur 0x1.2 -attenuate 0.25 +noise Gaussian "$base"
fi
i=1
while [ "$i" -le "$count" ]; do
  plain=$(printf '%s/plain_%03d.jpg' "$out" "$i")
  camera=$(printf '%s/camera_%03d.jpg' "$out" "$i")
  if [ ! -f "$camera" ]; then
    convert "$base" -roll +$((i * 173 % 4000))+$((i * 97 % 3000)) \
      -modulate 100,$((70 + i % 60)),$((i * 7 % 200)) -sampling-factor "$sampling" -quality 90 "$plain"
    exiftool -q -overwrite_original -Make=Quorvane -Model="Bench Camera" \
      -DateTimeOriginal="2024:05:06 07:08:09" -n -Orientation=1 "$plain"
    convert "$plain" -thumbnail 160x120 -strip -quality 85 "$out/thumb.jpg"
    cp "$plain" "$camera"
    exiftool -q -overwrite_original "-ThumbnailImage<=$out/thumb.jpg" "$camera"
  fi
  i=$((i + 1))
done
rm -f "$base" "$out/base.cache" "$out/thumb.jpg"
echo "made $count camera photographs in $out"
