#!/usr/bin/env bash
# Whole-command wall time of quorvane-convert against ImageMagick's `convert` on the same
# batches of 4000 x 3000 photographs, and the throughput of --jobs 2 against one process.
#
#   bench/convert_peers.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build-release (configure it with -DCMAKE_BUILD_TYPE=Release);
# WORK_DIR (default /tmp/quorvane-bench) keeps the generated photographs between runs.
# COUNT (default 20) sets the number of photographs.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-release}
work=${2:-/tmp/quorvane-bench}
count=${COUNT:-20}
qc=$build/quorvane-convert
[ -x "$qc" ] || { echo "no $qc: build the Release tree first" >&2; exit 1; }
# The real ImageMagick 6 binary, not a wrapper that may come first on PATH.
if command -v convert-im6.q16 >/dev/null 2>&1; then
  convert=convert-im6.q16
else
  convert=convert
fi
command -v "$convert" >/dev/null || { echo "ImageMagick convert is missing" >&2; exit 1; }

photos=$work/photos-$count
mkdir -p "$photos"
if [ "$(ls "$photos" | wc -l)" -lt "$count" ]; then
  echo "generating $count photographs of 4000 x 3000 in $photos ..." >&2
  # A fractal landscape with grain: smooth areas, edges and noise like a photograph.
  "$convert" -seed 7 -size 4000x3000 plasma:green-blue -blur 0x3 \
    -attenuate 0.4 +noise Gaussian "$work/base.png"
  for i in $(seq 1 "$count"); do
    "$convert" "$work/base.png" -roll +$((i * 173))+$((i * 97)) \
      -modulate 100,$((90 + i)),$((70 + i * 3)) -quality 90 "$photos/photo $i.jpg"
  done
  rm -f "$work/base.png"
fi

now() { date +%s.%N; }
# Runs a command, answers its wall time in seconds.
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  echo "$end - $start" | bc -l
}

# ImageMagick over the same files, one `convert` per file.
im_each() {
  local ext=$1
  shift
  local out=$work/im-out
  rm -rf "$out" && mkdir -p "$out"
  for f in "$photos"/*.jpg; do
    local name
    name=$(basename "$f" .jpg)
    "$convert" "$f" "$@" "$out/$name.$ext"
  done
}

qc_run() {
  local out=$work/qc-out
  rm -rf "$out"
  "$qc" --quiet -o "$out" "$@" "$photos"/*.jpg
}

printf '%-28s %10s %10s %8s\n' "batch of $count" quorvane imagemagick ratio
row() {
  local label=$1 q=$2 m=$3
  printf '%-28s %9.2fs %9.2fs %8.2f\n' "$label" "$q" "$m" "$(echo "$q / $m" | bc -l)"
}

q=$(timed qc_run -f png)
m=$(timed im_each png)
row "to PNG" "$q" "$m"

q=$(timed qc_run -f jpg --resize 50%)
m=$(timed im_each jpg -resize 50% -quality 80)
row "resize 50% to JPG" "$q" "$m"

# Rotation keeping the picture's size, corners white, as quorvane does.
q=$(timed qc_run -f jpg --rotate 30)
m=$(timed im_each jpg -virtual-pixel white -distort SRT 30 -quality 80)
row "rotate 30 to JPG" "$q" "$m"

# The 216-colour web palette with Floyd-Steinberg dithering.
q=$(timed qc_run -f gif --dither floyd-steinberg)
m=$(timed im_each gif -dither FloydSteinberg -remap netscape:)
row "to GIF, Floyd-Steinberg" "$q" "$m"

one=$(timed qc_run -f jpg --resize 50%)
two=$(timed qc_run -f jpg --resize 50% --jobs 2)
printf '%-28s %9.2fs %9.2fs %8.2f  (speed-up of --jobs 2)\n' "resize 50%: 1 vs 2 jobs" "$one" "$two" \
  "$(echo "$one / $two" | bc -l)"
one=$(timed qc_run -f png)
two=$(timed qc_run -f png --jobs 2)
printf '%-28s %9.2fs %9.2fs %8.2f  (speed-up of --jobs 2)\n' "to PNG: 1 vs 2 jobs" "$one" "$two" \
  "$(echo "$one / $two" | bc -l)"
echo "($("$convert" -version | head -n 1); threads: ${MAGICK_THREAD_LIMIT:-its default}; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg))"
