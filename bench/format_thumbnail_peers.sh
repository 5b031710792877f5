#!/bin/bash
# Thumbnails of the newer formats next to each format's own tool: one 12-megapixel
# photograph (4000 x 3000, from make_bench_photos.sh) as HEIC with and without a
# thumbnail item, AVIF, WebP, JPEG XL and DNG with a half-size JPEG preview, into a
# 94 x 94 box, one at a time.
#   ours              format_thumbnail_bench BM_FormatThumbnail (the grid's loader, through
#                     the codec helper); BM_FormatFullDecode for the full-decode rate
#   heif-thumbnailer  heif-thumbnailer -s 94 (HEIC; it too takes the thumbnail item)
#   dwebp             dwebp -scale 94 70 (WebP)
#   vipsthumbnail     vipsthumbnail -s 94 (AVIF, JPEG XL, PNG)
#   LibRaw + djpeg    simple_dcraw -e (LibRaw's preview extractor), then djpeg -scale 1/8
#                     of the preview (DNG)
# One process per file for the tools; rates per wall-clock second (ours decodes in its
# helper process), so run it on a quiet machine.
# Usage: bench/format_thumbnail_peers.sh [release-build-dir]   (default build-release)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-release}
bench=$build/bench/format_thumbnail_bench
[ -x "$bench" ] || { echo "build $bench first (Release)"; exit 1; }
export QUORVANE_CODEC_HELPER=$build/quorvane-codec
formats=${QUORVANE_BENCH_FORMATS:-/tmp/quorvane-bench-formats}
export QUORVANE_BENCH_FORMATS=$formats
runs=${RUNS:-10}
mkdir -p "$formats"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -f "$formats/photo.jxl" ]; then
  photos=${QUORVANE_BENCH_PHOTOS:-/tmp/quorvane-bench-photos}
  "$here/make_bench_photos.sh" "$photos" > /dev/null
  cp "$photos/photo_001.jpg" "$formats/photo.jpg"
  convert "$formats/photo.jpg" "png24:$formats/photo.png"
  heif-enc -q 80 "$formats/photo.png" -o "$formats/photo.heic" > /dev/null
  heif-enc -q 80 -t 320 "$formats/photo.png" -o "$formats/photo_thumb.heic" > /dev/null
  avifenc -s 8 "$formats/photo.png" "$formats/photo.avif" > /dev/null
  cwebp -quiet -q 80 "$formats/photo.png" -o "$formats/photo.webp"
  cjxl -q 80 "$formats/photo.png" "$formats/photo.jxl" > /dev/null 2>&1
fi
f=$formats

"$bench" --benchmark_format=json > "$work/ours.json" 2> /dev/null
ours() {  # ours <benchmark name prefix> <file>
  python3 -c "
import json
b = [b for b in json.load(open('$work/ours.json'))['benchmarks']
     if b['name'].startswith('$1/') and b.get('label') == '$2']
print(f\"{b[0]['items_per_second']:7.1f}\" if b and 'items_per_second' in b[0] else ' failed')"
}
rate() {  # rate <command...>: runs per wall second over $runs runs
  local start end
  start=$(date +%s.%N)
  for _ in $(seq "$runs"); do "$@" > /dev/null 2>&1 || { echo " failed"; return; }; done
  end=$(date +%s.%N)
  python3 -c "print(f'{$runs / ($end - $start):7.1f}')"
}
raw_peer() { simple_dcraw -e "$f/photo.dng" && djpeg -scale 1/8 -outfile /dev/null "$f/photo.dng.thumb.jpg"; }

echo "one 4000 x 3000 photograph into 94 x 94; thumbnails per wall-clock second"
echo "file               ours thumb  ours full  thumb/full   peer                     peer rate"
row() {  # row <file> <peer name> <peer command...>
  local file=$1 name=$2 thumb full
  shift 2
  thumb=$(ours BM_FormatThumbnail "$file")
  full=$(ours BM_FormatFullDecode "$file")
  printf "%-18s %s    %s    %6.1f x   %-22s %s\n" "$file" "$thumb" "$full" \
    "$(python3 -c "print($thumb / $full)")" "$name" "$(rate "$@")"
}
if command -v heif-thumbnailer > /dev/null; then
  row photo.heic "heif-thumbnailer -s 94" heif-thumbnailer -s 94 "$f/photo.heic" "$work/t.png"
  row photo_thumb.heic "heif-thumbnailer -s 94" heif-thumbnailer -s 94 "$f/photo_thumb.heic" "$work/t.png"
else
  echo "heif-thumbnailer absent: scripts/install-deps.sh --bench"
fi
row photo.avif "vipsthumbnail -s 94" vipsthumbnail -s 94 -o "$work/a.jpg" "$f/photo.avif"
row photo.webp "dwebp -scale 94 70" dwebp -scale 94 70 "$f/photo.webp" -o "$work/w.png"
row photo.jxl "vipsthumbnail -s 94" vipsthumbnail -s 94 -o "$work/j.jpg" "$f/photo.jxl"
row photo.dng "simple_dcraw -e + djpeg" raw_peer
row photo.png "vipsthumbnail -s 94" vipsthumbnail -s 94 -o "$work/p.jpg" "$f/photo.png"
