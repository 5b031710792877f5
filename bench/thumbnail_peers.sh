#!/bin/bash
# Thumbnail speed next to its peers: 200 JPEG photographs of 4000 x 3000 into 94 x 94
# boxes, one at a time on one thread.
#   ours            thumbnail_bench BM_LoadThumbnail (in process, 200 files)
#   libjpeg 1/8     thumbnail_bench BM_DecodeEighthDefaults (what djpeg does, in process)
#   djpeg           djpeg -scale 1/8, one process per file
#   vipsthumbnail   vipsthumbnail -s 94, one process for all files
#   ImageMagick     convert -define jpeg:size=188x188 -thumbnail 94x94, one process per file
# Peak memory: maximum resident size from /usr/bin/time -v, and ours above the
# benchmark program's own baseline (the same program running no benchmark).
# Needs GNU time and, for its row, vipsthumbnail: scripts/install-deps.sh --bench.
# Usage: bench/thumbnail_peers.sh [release-build-dir]   (default build-release)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-release}
photos=${QUORVANE_BENCH_PHOTOS:-/tmp/quorvane-bench-photos}
bench=$build/bench/thumbnail_bench
[ -x "$bench" ] || { echo "build $bench first (Release)"; exit 1; }
[ -x /usr/bin/time ] || { echo "needs GNU time: scripts/install-deps.sh --bench"; exit 1; }
"$here/make_bench_photos.sh" "$photos" > /dev/null
export QUORVANE_BENCH_PHOTOS=$photos
files=("$photos"/photo_*.jpg)
n=${#files[@]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat "${files[@]}" > /dev/null  # the files come from the page cache for everyone

# Rates are per CPU second (user + system, child processes included), so that other
# work on a shared machine does not distort them; wall-clock rates are printed too.
cpu_rate() {  # cpu_rate <count> <command...>
  local count=$1 t
  shift
  t=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" > /dev/null 2>&1; } 2>&1 )
  python3 -c "r,u,s=map(float,'$t'.split()); print(f'{$count/(u+s):8.1f} {$count/r:8.1f}')"
}
calc() { python3 -c "print($1)"; }
max_rss() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
items() {  # per CPU second and per wall second
  python3 -c "import json; b=[b for b in json.load(open('$1'))['benchmarks'] if b['name'].startswith('$2')][0]; print(f\"{b['items_per_second']:8.1f} {b['iterations'] / (b['real_time'] * b['iterations'] / 1e3):8.1f}\")"
}

"$bench" --benchmark_filter='BM_LoadThumbnail|BM_DecodeEighthDefaults' --benchmark_format=json \
  > "$work/ours.json" 2> /dev/null
read -r ours ours_wall <<< "$(items "$work/ours.json" BM_LoadThumbnail)"
read -r eighth eighth_wall <<< "$(items "$work/ours.json" BM_DecodeEighthDefaults)"

/usr/bin/time -v "$bench" --benchmark_filter=BM_LoadThumbnail > /dev/null 2> "$work/ours.time"
/usr/bin/time -v "$bench" --benchmark_filter=NONE_AT_ALL > /dev/null 2> "$work/base.time"

spawn() { for f in "${files[@]}"; do /bin/true; done; }
run_djpeg() { for f in "${files[@]}"; do djpeg -scale 1/8 -outfile /dev/null "$f"; done; }
run_vips() { vipsthumbnail -s 94 -o "$work/%s_v.jpg" "${files[@]}"; }
run_magick() {
  for f in "${files[@]}"; do convert -define jpeg:size=188x188 "$f" -thumbnail 94x94 "$work/im.jpg"; done
}
spawn_ms=$(cpu_rate "$n" spawn | python3 -c "print(f'{1000 / float(input().split()[0]):.2f}')")
read -r djpeg djpeg_wall <<< "$(cpu_rate "$n" run_djpeg)"
vips="  absent" vips_wall="absent"  # vipsthumbnail comes with libvips-tools
if command -v vipsthumbnail > /dev/null; then
  read -r vips vips_wall <<< "$(cpu_rate "$n" run_vips)"
fi
read -r magick magick_wall <<< "$(cpu_rate "$n" run_magick)"
/usr/bin/time -v djpeg -scale 1/8 -outfile /dev/null "${files[0]}" 2> "$work/djpeg.time"
echo "Maximum resident set size (kbytes): 0" > "$work/vips.time"
if command -v vipsthumbnail > /dev/null; then
  /usr/bin/time -v vipsthumbnail -s 94 -o "$work/%s_v.jpg" "${files[@]:0:20}" 2> "$work/vips.time"
fi
/usr/bin/time -v convert -define jpeg:size=188x188 "${files[0]}" -thumbnail 94x94 "$work/im.jpg" 2> "$work/im.time"

ours_kb=$(max_rss "$work/ours.time")
base_kb=$(max_rss "$work/base.time")
echo "$n photographs of 4000 x 3000 into 94 x 94, one thread"
echo "                         thumbnails per CPU s (per wall s)   peak RSS (MB)"
printf "quorvane LoadThumbnail   %s (%s)   %6.1f  (%.1f above its %.1f baseline)\n" "$ours" "$ours_wall" \
  "$(calc "$ours_kb / 1024")" "$(calc "($ours_kb - $base_kb) / 1024")" "$(calc "$base_kb / 1024")"
printf "libjpeg 1/8, in process  %s (%s)\n" "$eighth" "$eighth_wall"
printf "djpeg -scale 1/8         %s (%s)   %6.1f  (process start-up ~%s ms CPU a file included)\n" "$djpeg" "$djpeg_wall" \
  "$(calc "$(max_rss "$work/djpeg.time") / 1024")" "$spawn_ms"
printf "vipsthumbnail -s 94      %s (%s)   %6.1f\n" "$vips" "$vips_wall" "$(calc "$(max_rss "$work/vips.time") / 1024")"
printf "convert -thumbnail       %s (%s)   %6.1f\n" "$magick" "$magick_wall" "$(calc "$(max_rss "$work/im.time") / 1024")"
python3 -c "print(f'ours / djpeg = {$ours / $djpeg:.2f}, ours / libjpeg in process = {$ours / $eighth:.2f}')"
