#!/bin/sh
# Makes the photograph set of the thumbnail benchmarks once: 200 JPEG files of
# 4000 x 3000 with photo-like content (fractal plasma with grain, each one shifted,
# mirrored and recoloured differently so that no two files are alike).
# Usage: bench/make_bench_photos.sh [folder]   (default /tmp/quorvane-bench-photos)
set -eu
out=${1:-/tmp/quorvane-bench-photos}
count=200
mkdir -p "$out"
if [ "$(ls "$out"/photo_*.jpg 2>/dev/null | wc -l)" -ge "$count" ]; then
  echo "$out already holds $count photographs"
  exit 0
fi
base="$out/base.mpc"
if [ ! -f "$base" ]; then
  convert -seed 42 -size 4000x3000 plasma:fractal -blur 0x1.2 -attenuate 0.25 +noise Gaussian "$base"
fi
i=1
while [ "$i" -le "$count" ]; do
  f=$(printf '%s/photo_%03d.jpg' "$out" "$i")
  if [ ! -f "$f" ]; then
    flip=""
    [ $((i % 2)) -eq 0 ] && flip="-flop"
    convert "$base" -roll +$((i * 173 % 4000))+$((i * 97 % 3000)) $flip \
      -modulate 100,$((70 + i % 60)),$((i * 7 % 200)) -sampling-factor 2x2 -quality 90 "$f"
  fi
  i=$((i + 1))
done
rm -f "$out/base.mpc" "$out/base.cache"
echo "made $count photographs in $out"
