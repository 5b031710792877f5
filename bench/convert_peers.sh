#!/usr/bin/env bash
# Whole-command wall time of quorvane-convert against ImageMagick and vips on the same
# batch of JPEG photographs: plain conversion to each of the eight target formats, then
# a few operations and the throughput of --jobs 2.
#
#   bench/convert_peers.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build-release (configure it with -DCMAKE_BUILD_TYPE=Release);
# WORK_DIR (default /tmp/quorvane-bench) keeps the generated photographs between runs.
# COUNT (default 6) and SIZE (default 3000x2000) set the photographs; REPEAT (default 3)
# runs every command that many times and keeps the best wall time, which damps the noise
# of a shared machine. FORMATS (default all eight, "" for none) limits the format table; OPS=0 skips
# the operations; ENCODED (default "webp avif jxl", "" for none) the table of the formats
# with their own encoders. Needs python3 (arithmetic), ImageMagick and, for the vips column,
# libvips-tools (scripts/install-deps.sh --bench installs both).
#
# Each tool writes what quorvane writes: 8-bit RGB, JPEG at quality 79 (the default
# setting 80 reaches the encoder as 79), uncompressed TIFF, binary PPM, run-length SGI,
# uncompressed 24-bit TGA, GIF on the 216-colour web palette with Floyd-Steinberg
# dithering. vips cannot write BMP, TGA and SGI itself (it would hand them to
# ImageMagick), so those cells stay empty.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-release}
work=${2:-/tmp/quorvane-bench}
count=${COUNT:-6}
size=${SIZE:-3000x2000}
repeat=${REPEAT:-3}
formats=${FORMATS-jpg png tif bmp pnm gif tga sgi}
qc=$build/quorvane-convert
[ -x "$qc" ] || { echo "no $qc: build the Release tree first" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing" >&2; exit 1; }
# The real ImageMagick 6 binaries, not wrappers that may come first on PATH.
if command -v convert-im6.q16 >/dev/null 2>&1; then
  convert=convert-im6.q16 mogrify=mogrify-im6.q16
else
  convert=convert mogrify=mogrify
fi
command -v "$convert" >/dev/null || { echo "ImageMagick is missing" >&2; exit 1; }
have_vips=0
command -v vips >/dev/null && have_vips=1

photos=$work/photos-$count-$size
mkdir -p "$photos"
if [ "$(ls "$photos" | wc -l)" -lt "$count" ]; then
  echo "generating $count photographs of $size in $photos ..." >&2
  # A fractal landscape with grain: smooth areas, edges and noise like a photograph.
  "$convert" -seed 7 -size "$size" plasma:green-blue -blur 0x3 \
    -attenuate 0.4 +noise Gaussian "$work/base.png"
  for i in $(seq 1 "$count"); do
    "$convert" "$work/base.png" -roll +$((i * 173))+$((i * 97)) \
      -modulate 100,$((90 + i)),$((70 + i * 3)) -quality 90 "$photos/photo $i.jpg"
  done
  rm -f "$work/base.png"
fi
cat "$photos"/*.jpg >/dev/null  # everyone reads from the page cache

calc() { python3 -c "print($1)"; }
now() { date +%s.%N; }
out_q=$work/qc-out out_m=$work/im-out out_v=$work/vips-out
# Runs a command REPEAT times, answers its best wall time in seconds. Each run starts
# with empty output folders, emptied outside the timing.
timed() {
  local best="" start end t
  for _ in $(seq 1 "$repeat"); do
    rm -rf "$out_q" "$out_m" "$out_v"
    mkdir -p "$out_m" "$out_v"
    sync
    start=$(now)
    "$@" >/dev/null 2>&1 || { echo "fail"; return; }
    end=$(now)
    t=$(calc "$end - $start")
    if [ -z "$best" ] || [ "$(calc "$t < $best")" = True ]; then best=$t; fi
    # A command that takes this long is far from the others: once is enough.
    [ "$(calc "$t > 10")" = True ] && break
  done
  echo "$best"
}
# Total size of a folder's files in bytes.
bytes() { du -sb "$1" | cut -f1; }

qc_run() {
  "$qc" --quiet -o "$out_q" "$@" "$photos"/*.jpg
}
# The same on the first core only (its encoders then run one thread).
qc_one_core() {
  taskset -c 0 "$qc" --quiet -o "$out_q" "$@" "$photos"/*.jpg
}
# ImageMagick in one process for the whole batch, as quorvane runs.
im_run() {
  local fmt=$1
  shift
  "$mogrify" -path "$out_m" -format "$fmt" "$@" "$photos"/*.jpg
}
# vips has no batch command: one process per file.
vips_run() {
  local ext=$1 opts=${2:-}
  for f in "$photos"/*.jpg; do
    vips copy "$f" "$out_v/$(basename "$f" .jpg).$ext$opts"
  done
}

im_args() {
  case $1 in
    jpg) echo "-quality 79" ;;
    png) echo "" ;;
    tif) echo "-compress none" ;;
    bmp) echo "-type TrueColor" ;;
    pnm) echo "-type TrueColor" ;;
    gif) echo "-dither FloydSteinberg -remap netscape:" ;;
    tga) echo "-compress none -type TrueColor" ;;
    sgi) echo "-compress RLE" ;;
  esac
}
# vips's save options by format; "-" where vips has no saver of its own.
vips_opts() {
  case $1 in
    jpg) echo "[Q=79]" ;;
    png | tif | pnm) echo "" ;;
    gif) echo "[dither=1]" ;;
    *) echo "-" ;;
  esac
}
vips_ext() { [ "$1" = pnm ] && echo ppm || echo "$1"; }
im_fmt() { [ "$1" = pnm ] && echo ppm || echo "$1"; }

printf '%d photographs of %s, best of %d runs, wall seconds (output MB)\n' "$count" "$size" "$repeat"
printf '%-6s %16s %16s %16s %8s\n' format quorvane imagemagick vips ratio
for fmt in $formats; do
  q=$(timed qc_run -f "$fmt")
  qs=$(calc "$(bytes "$out_q") / 1e6")
  # shellcheck disable=SC2046
  m=$(timed im_run "$(im_fmt "$fmt")" $(im_args "$fmt"))
  ms=$(calc "$(bytes "$out_m") / 1e6")
  v="-" vs=0
  opts=$(vips_opts "$fmt")
  if [ "$have_vips" = 1 ] && [ "$opts" != "-" ]; then
    v=$(timed vips_run "$(vips_ext "$fmt")" "$opts")
    [ "$v" != fail ] && vs=$(calc "$(bytes "$out_v") / 1e6")
  fi
  best=$m
  if [ "$v" != "-" ] && [ "$v" != fail ] && [ "$(calc "$v < $m")" = True ]; then best=$v; fi
  ratio=fail
  [ "$q" != fail ] && [ "$best" != fail ] && ratio=$(calc "f'{$q / $best:.2f}'")
  cell() { [ "$1" = "-" ] || [ "$1" = fail ] && echo "$1" || calc "f'{$1:.2f}s ({$2:.0f})'"; }
  printf '%-6s %16s %16s %16s %8s\n' "$fmt" "$(cell "$q" "$qs")" "$(cell "$m" "$ms")" \
    "$(cell "$v" "$vs")" "$ratio"
done

# WebP, AVIF and JPEG XL at quality 80 against each format's own encoder, one process per
# file as it is used, and vips, at the settings quorvane uses: WebP method 4; AVIF speed
# 6 with the AOM encoder, 4:2:0, quantizer (100 - 80) * 63 / 70 = 18; JPEG XL effort 7
# at cjxl's distance for -q 80 (1.9), recompressing the JPEG's pixels, not its
# coefficients. vips heifsave Q=71 is libheif's quantizer 18. The ratio is quorvane
# (--jobs 1, whose encoders use both cores, as cjxl and vips do) over the fastest peer.
# Then the speed-up of --jobs 2 (one encoder thread per file): over --jobs 1, and over
# --jobs 1 held to one core by taskset, which shows how the files share the cores.
encoded=${ENCODED-webp avif jxl}
own_run() {
  local fmt=$1 f out
  for f in "$photos"/*.jpg; do
    out="$out_m/$(basename "$f" .jpg).$fmt"
    case $fmt in
      webp) cwebp -quiet -q 80 -m 4 "$f" -o "$out" ;;
      avif) avifenc -c aom --speed 6 --min 18 --max 18 -y 420 "$f" "$out" ;;
      jxl) cjxl -q 80 -e 7 --lossless_jpeg=0 --quiet "$f" "$out" ;;
    esac
  done
}
vips_encoded_opts() {
  case $1 in
    webp) echo "[Q=80,effort=4]" ;;
    avif) echo "[Q=71,compression=av1,encoder=aom,effort=3,subsample-mode=on]" ;;  # quantizer 18, speed 6
    jxl) echo "[Q=80,effort=7]" ;;
  esac
}
if [ -n "$encoded" ]; then
  echo
  printf '%-6s %16s %16s %16s %8s %8s %9s\n' format quorvane own-encoder vips ratio jobs-2 vs-1core
  for fmt in $encoded; do
    q=$(timed qc_run -f "$fmt" -q 80)
    qs=$(calc "$(bytes "$out_q") / 1e6")
    q2=$(timed qc_run -f "$fmt" -q 80 --jobs 2)
    q1c=$(timed qc_one_core -f "$fmt" -q 80)
    o=$(timed own_run "$fmt")
    os=$(calc "$(bytes "$out_m") / 1e6")
    v="-" vs=0
    if [ "$have_vips" = 1 ]; then
      v=$(timed vips_run "$fmt" "$(vips_encoded_opts "$fmt")")
      [ "$v" != fail ] && vs=$(calc "$(bytes "$out_v") / 1e6")
    fi
    best=$o
    if [ "$v" != "-" ] && [ "$v" != fail ] && { [ "$o" = fail ] || [ "$(calc "$v < $o")" = True ]; }; then
      best=$v
    fi
    ratio=fail speedup=fail spread=fail
    [ "$q" != fail ] && [ "$best" != fail ] && ratio=$(calc "f'{$q / $best:.2f}'")
    [ "$q" != fail ] && [ "$q2" != fail ] && speedup=$(calc "f'{$q / $q2:.2f}'")
    [ "$q1c" != fail ] && [ "$q2" != fail ] && spread=$(calc "f'{$q1c / $q2:.2f}'")
    cell() { [ "$1" = "-" ] || [ "$1" = fail ] && echo "$1" || calc "f'{$1:.2f}s ({$2:.2f})'"; }
    printf '%-6s %16s %16s %16s %8s %8s %9s\n' "$fmt" "$(cell "$q" "$qs")" "$(cell "$o" "$os")" \
      "$(cell "$v" "$vs")" "$ratio" "$speedup" "$spread"
  done
fi

if [ "${OPS:-1}" != 0 ]; then
  echo
  printf '%-28s %10s %12s %8s\n' "operations" quorvane imagemagick ratio
  row() {
    printf '%-28s %9.2fs %11.2fs %8.2f\n' "$1" "$2" "$3" "$(calc "$2 / $3")"
  }
  q=$(timed qc_run -f jpg --resize 50%)
  m=$(timed im_run jpg -resize 50% -quality 79)
  row "resize 50% to JPG" "$q" "$m"
  # Rotation keeping the picture's size, corners white, as quorvane does.
  q=$(timed qc_run -f jpg --rotate 30)
  m=$(timed im_run jpg -virtual-pixel white -distort SRT 30 -quality 79)
  row "rotate 30 to JPG" "$q" "$m"
  one=$(timed qc_run -f png)
  two=$(timed qc_run -f png --jobs 2)
  printf '%-28s %9.2fs %11.2fs %8.2f  (speed-up of --jobs 2)\n' "to PNG: 1 vs 2 jobs" "$one" \
    "$two" "$(calc "$one / $two")"
fi
vips_version=absent
[ "$have_vips" = 1 ] && vips_version=$(vips --version)
echo "($("$convert" -version | head -n 1 | cut -d' ' -f2-3); $vips_version;" \
  "ImageMagick threads: ${MAGICK_THREAD_LIMIT:-its default}; cores: $(nproc);" \
  "load at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
