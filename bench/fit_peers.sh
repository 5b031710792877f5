#!/usr/bin/env bash
# Web copies of camera photographs, side by side in one run: quorvane-convert
# --long-side 2048 against vipsthumbnail -s 2048, `vips thumbnail` and ImageMagick
# mogrify -resize 2048x2048, as JPEG quality 85 and as WebP quality 80, EXIF kept.
#
#   bench/fit_peers.sh [BUILD_DIR] [PHOTOS_DIR]
#
# BUILD_DIR defaults to build; PHOTOS_DIR (default /tmp/quorvane-bench-camera) gets the
# 40 camera-like 4000 x 3000 JPEG files with EXIF from bench/make_camera_photos.sh.
# JOBS (default 2) is quorvane-convert's --jobs; REPEAT (default 1) keeps the best wall
# time of that many runs. CPU is user + system time (the machine may be shared: CPU time
# tells the work apart from the waiting). Peak memory is the largest sum of the resident
# sizes of a command's processes, sampled every 20 ms. Needs libvips-tools, ImageMagick, exiftool.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
photos=${2:-/tmp/quorvane-bench-camera}
jobs=${JOBS:-2}
repeat=${REPEAT:-1}
qc=$build/quorvane-convert
[ -x "$qc" ] || { echo "no $qc: build quorvane-convert first" >&2; exit 1; }
for tool in vipsthumbnail vips mogrify; do
  command -v $tool >/dev/null || { echo "$tool is missing (install-deps.sh --bench)" >&2; exit 1; }
done
sh "$here/bench/make_camera_photos.sh" "$photos" 40 >&2
mapfile -t files < <(ls "$photos"/camera_*.jpg | head -40)
cat "${files[@]}" >/dev/null  # everyone reads from the page cache
out=$(mktemp -d /tmp/quorvane-fit-peers.XXXXXX)
trap 'rm -rf "$out"' EXIT

# The resident memory (KB) of a process and all its descendants.
tree_rss() {
  local total=0 pid kb
  for pid in $(ps -o pid= --ppid "$1" 2>/dev/null) "$1"; do
    [ "$pid" = "$1" ] || { kb=$(tree_rss "$pid"); total=$((total + ${kb:-0})); }
    kb=$(awk '/^VmRSS/ {print $2}' /proc/"$pid"/status 2>/dev/null)
    total=$((total + ${kb:-0}))
  done
  echo $total
}

# Runs a command, printing "seconds cpu_seconds peak_MB" (CPU: user + system of the
# command and the processes it waited for, of the fastest run).
measure() {
  local best="" cpu="" peak=0 start end pid rss
  for _ in $(seq 1 "$repeat"); do
    rm -rf "$out/r" && mkdir -p "$out/r"
    start=$(date +%s.%N)
    /usr/bin/time -f "%U %S" -o "$out/cpu" "$@" >/dev/null 2>&1 &
    pid=$!
    while kill -0 $pid 2>/dev/null; do
      rss=$(tree_rss $pid)
      [ "${rss:-0}" -gt "$peak" ] && peak=$rss
      sleep 0.02
    done
    wait $pid || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s.%N)
    local t
    t=$(python3 -c "print(f'{$end - $start:.2f}')")
    if [ -z "$best" ] || python3 -c "import sys; sys.exit(0 if $t < $best else 1)"; then
      best=$t
      cpu=$(python3 -c "u, s = open('$out/cpu').read().split()[-2:]; print(f'{float(u) + float(s):.2f}')")
    fi
  done
  echo "$best $cpu $((peak / 1024))"
}

# vips thumbnail, one file at a time (its own threads inside): a small script, so that
# the timing wraps one program.
vips_each='out=$1 suffix=$2; shift 2; for f; do
  vips thumbnail "$f" "$out/$(basename "${f%.jpg}").$suffix" 2048 || exit 1; done'

# Checks that the results kept the camera's EXIF.
kept_exif() {
  local f
  f=$(ls "$out"/r/* | head -1)
  exiftool -s -s -s -DateTimeOriginal "$f" | grep -q 2024 || echo " (EXIF lost: $f)"
}

printf '%-40s %8s %8s %8s %9s\n' "40 x 4000x3000 JPEG -> long side 2048" "wall s" "CPU s" "peak MB" \
  "wall/file"
row() {
  local label=$1
  shift
  local m t cpu mb
  m=$(measure "$@")
  read -r t cpu mb <<<"$m"
  printf '%-40s %8s %8s %8s %9s%s\n' "$label" "$t" "$cpu" "$mb" \
    "$(python3 -c "print(f'{$t / 40:.3f}')")" "$(kept_exif)"
}
for fmt in "jpg 85" "webp 80"; do
  set -- $fmt
  ext=$1 q=$2
  row "quorvane-convert -j $jobs ($ext q$q)" \
    "$qc" --quiet -j "$jobs" --long-side 2048 -f "$ext" -q "$q" -o "$out/r" "${files[@]}"
  row "quorvane-convert -j 1 ($ext q$q)" \
    "$qc" --quiet --long-side 2048 -f "$ext" -q "$q" -o "$out/r" "${files[@]}"
  row "vipsthumbnail -s 2048 ($ext q$q)" \
    vipsthumbnail -s 2048 -o "$out/r/%s.$ext[Q=$q]" "${files[@]}"
  row "vips thumbnail, per file ($ext q$q)" \
    bash -c "$vips_each" vips_each "$out/r" "$ext[Q=$q]" "${files[@]}"
  row "mogrify -resize 2048x2048 ($ext q$q)" \
    mogrify -path "$out/r" -resize 2048x2048 -quality "$q" -format "$ext" "${files[@]}"
done
