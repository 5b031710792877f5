#!/bin/sh
# Makes the folder of the date-taken order benchmark once: 2,000 camera JPEGs of
# 4000 x 3000 and 500 phone HEICs of 4032 x 3024, each with its own DateTimeOriginal
# (and OffsetTimeOriginal) in an order unlike their names and file times.
# Usage: bench/make_taken_photos.sh [folder] [jpegs] [heics]
#        (default /tmp/quorvane-bench-taken, 2000 and 500; needs ImageMagick, heif-enc and
#        exiftool; about 5 GB)
set -eu
out=${1:-/tmp/quorvane-bench-taken}
jpegs=${2:-2000}
heics=${3:-500}
mkdir -p "$out"
if [ "$(ls "$out" | grep -c '^DSC_.*JPG$')" -ge "$jpegs" ] &&
   [ "$(ls "$out" | grep -c '^IMG_.*HEIC$')" -ge "$heics" ]; then
  echo "$out already holds the photographs"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -seed 11 -size 4000x3000 plasma:fractal -attenuate 0.2 +noise Gaussian -quality 90 "$work/base.jpg"
exiftool -q -overwrite_original -Make=Quorvane -Model="Bench Camera" -n -Orientation=1 "$work/base.jpg"
convert -seed 12 -size 4032x3024 plasma:fractal "$work/phone.png"
heif-enc -q 50 "$work/phone.png" -o "$work/base.heic" >/dev/null
# One exiftool run sets every file's date: a day and a minute from its number.
args="$work/args"
: > "$args"
i=1
while [ "$i" -le "$jpegs" ]; do
  f=$(printf '%s/DSC_%05d.JPG' "$out" "$i")
  cp "$work/base.jpg" "$f"
  printf -- '-DateTimeOriginal=2024:%02d:%02d %02d:%02d:00\n-OffsetTimeOriginal=+09:00\n%s\n-execute\n' \
    $((1 + i * 7 % 12)) $((1 + i * 13 % 28)) $((i * 5 % 24)) $((i % 60)) "$f" >> "$args"
  i=$((i + 1))
done
i=1
while [ "$i" -le "$heics" ]; do
  f=$(printf '%s/IMG_%04d.HEIC' "$out" "$i")
  cp "$work/base.heic" "$f"
  printf -- '-DateTimeOriginal=2024:%02d:%02d %02d:%02d:30\n%s\n-execute\n' \
    $((1 + i * 5 % 12)) $((1 + i * 11 % 28)) $((i * 7 % 24)) $((i % 60)) "$f" >> "$args"
  i=$((i + 1))
done
exiftool -@ "$args" -common_args -q -q -overwrite_original
echo "made $jpegs JPEGs and $heics HEICs in $out"
