#!/bin/sh
# Times ImageMagick on the work of pixelops_bench: a 50 % resize and a 30 degree rotation
# of a 4000 x 3000 uncompressed picture. ImageMagick's times include reading and writing
# the PPM files, so a plain copy (read + write) is timed too; subtract it to compare with
# the benchmark's in-memory figures. Runs once with ImageMagick's own threads and once
# limited to one thread (pixelops_bench is single-threaded).
#
# Usage: bench/imagemagick_peer.sh [work folder]   (needs ImageMagick; hyperfine if present)
set -eu

# Prefer the real ImageMagick 6 binary over any wrapper found first on PATH.
if command -v convert-im6.q16 >/dev/null 2>&1; then
  CONVERT=convert-im6.q16
else
  CONVERT=convert
fi

WORK=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quorvane-peer.XXXXXX")}
mkdir -p "$WORK"
IN="$WORK/in.ppm"
OUT="$WORK/out.ppm"

if [ ! -s "$IN" ]; then
  # Smooth gradients with noise, like the benchmark's picture.
  "$CONVERT" -size 4000x3000 gradient:navy-orange -attenuate 0.3 +noise Uniform -depth 8 "$IN"
fi
echo "input: $IN ($(wc -c <"$IN") bytes), $("$CONVERT" -version | head -n 1)"

run() {
  label=$1
  shift
  if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --warmup 1 --runs 5 --style basic \
      -n "$label copy" "$* $IN $OUT" \
      -n "$label resize 50%" "$* $IN -resize 50% $OUT" \
      -n "$label rotate 30" "$* $IN -rotate 30 $OUT"
  else
    for op in "" "-resize 50%" "-rotate 30"; do
      echo "$label ${op:-copy}:"
      # shellcheck disable=SC2086
      time "$@" "$IN" $op "$OUT"
    done
  fi
}

run "threads=default" "$CONVERT"
run "threads=1" "$CONVERT" -limit thread 1
