#!/bin/bash
# Start-up of the real program under Xvfb, with geeqie, gthumb and gwenview beside it.
#
# 1. `PROGRAM photo.jpg`: a 4000 x 3000 JPEG (a scene of scripts/make_sample_pictures.py
#    with a flat magenta patch in its middle) in a folder of $COUNT pictures (hard links
#    of one small JPEG). Measured by bench/on_screen.c, the same for every program: from
#    the command to the first window on screen, and to the picture on screen (at least
#    $MIN_PIXELS magenta pixels: the patch shown at a viewer's size, 8 times more than a
#    thumbnail of it shows).
# 2. `quorvane FOLDER` on the same folder and on one of $SMALL_COUNT pictures: from the
#    window on screen (and from the command) to the first screen of thumbnails (the grid's
#    "trace: first-screen" line, QUORVANE_TRACE_THUMBNAILS).
# Each program has a home folder of its own, used once before the runs (its settings are
# made as for a user who has started it before); every run starts without thumbnail
# caches. The files are in the page cache for all. The median of $RUNS runs is printed.
#
# Usage: bench/startup_peers.sh   (environment: COUNT=20000, RUNS=5, BUILD=build-release,
#                                  PEERS="geeqie gthumb gwenview", DISPLAY_NUM=78,
#                                  TIMEOUT=60000: ms; "-1" in the table: not by then)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-20000}
RUNS=${RUNS:-5}
MIN_PIXELS=${MIN_PIXELS:-8000}
TIMEOUT=${TIMEOUT:-60000}
SMALL_COUNT=${SMALL_COUNT:-500}
DISPLAY_NUM=${DISPLAY_NUM:-78}
PEERS=${PEERS:-geeqie gthumb gwenview}
build=${BUILD:-$here/build-release}
bin=$build/quorvane
[ -x "$bin" ] || { echo "build $bin first"; exit 1; }
if [ -z "${QUORVANE_BENCH_INNER:-}" ] && command -v dbus-run-session >/dev/null; then
  # The KDE and GNOME viewers want a session bus; every program gets the same one.
  QUORVANE_BENCH_INNER=1 exec dbus-run-session -- bash "$0" "$@"
fi
work=$(mktemp -d /tmp/quorvane-startbench.XXXXXX)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cc -O2 -o "$work/on_screen" "$here/bench/on_screen.c" -lX11 || exit 1
Xvfb ":$DISPLAY_NUM" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$DISPLAY_NUM
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
sleep 1

folder="$work/사진"
mkdir -p "$folder"
/usr/bin/python3 "$here/scripts/make_sample_pictures.py" "$work/scenes" --width 4000 \
  --only "바닷가 해돋이" "호숫가 숲" >/dev/null
convert "$work/scenes/바닷가 해돋이.jpg" -resize '4000x3000!' -fill '#ff00ff' \
  -draw 'rectangle 1400,1050 2600,1950' -quality 90 "$folder/photo.jpg"
convert "$work/scenes/호숫가 숲.jpg" -resize 640x480 -quality 85 "$work/small.jpg"
/usr/bin/python3 - "$folder" "$work/small.jpg" "$COUNT" <<'EOF'
import os, sys
folder, small, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
for i in range(1, count):
    os.link(small, os.path.join(folder, "IMG_%05d.jpg" % i))
EOF

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }
field() { sed -n "s/.*$1=\([-0-9.]*\).*/\1/p"; }

# home_for NAME: the program's home folder, without its thumbnail caches.
home_for() {
  local home="$work/home-$1"
  mkdir -p "$home/.config" "$home/.cache"
  rm -rf "$home/.cache/thumbnails" "$home/.cache/quorvane" "$home/.cache/geeqie" \
    "$home/.cache/gthumb" "$home/.cache/gwenview" "$home/.local/share/gwenview"
  echo "$home"
}

# picture_row NAME COMMAND...: the median times of the picture's start-up.
picture_row() {
  local name=$1
  shift
  : >"$work/times"
  for run in $(seq 0 "$RUNS"); do
    home=$(home_for "$name")
    [ "$run" = 0 ] && out=/dev/null || out="$work/times"
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
      "$work/on_screen" --colour 255,0,255 --min "$MIN_PIXELS" --timeout "$TIMEOUT" -- \
      "$@" "$folder/photo.jpg" >>"$out" 2>/dev/null
  done
  printf '%-10s | %14s | %15s\n' "$name" "$(field window <"$work/times" | median)" \
    "$(field picture <"$work/times" | median)"
}

echo "# $COUNT pictures in the folder; photo.jpg 4000 x 3000; median of $RUNS runs (ms)"
echo
echo "program    | window on screen | picture on screen"
echo "-----------|------------------|------------------"
picture_row quorvane "$bin"
for peer in $PEERS; do
  if command -v "$peer" >/dev/null; then
    picture_row "$peer" "$peer"
  else
    printf '%-10s | not installed (scripts/install-deps.sh --bench)\n' "$peer"
  fi
done

# The first screen of thumbnails after `quorvane FOLDER`, from the window on screen: the
# folder above and one of $SMALL_COUNT pictures.
small="$work/사진 $SMALL_COUNT"
mkdir -p "$small"
for i in $(seq -f '%05g' 1 "$SMALL_COUNT"); do ln "$work/small.jpg" "$small/IMG_$i.jpg"; done
echo
for shown in "$folder" "$small"; do
  : >"$work/gaps"
  for _ in $(seq "$RUNS"); do
    home=$(home_for quorvane)
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
      QUORVANE_TRACE_THUMBNAILS=1 "$work/on_screen" --timeout "$TIMEOUT" --linger 3000 -- \
      sh -c 'exec "$0" "$1" 2>"$2"' "$bin" "$shown" "$work/trace" >"$work/shown"
    launch=$(field launch <"$work/shown")
    window=$(field window <"$work/shown")
    # The first screen after the folder's own opening (the grid may open the root first).
    first=$(awk '/^trace: open-folder/ {sub(/.*monotonic=/, ""); o = $1; done = 0}
      /^trace: first-screen/ && !done {sub(/.*t=/, ""); r = o + $1; done = 1}
      END {if (r) print r}' "$work/trace")
    [ -n "$first" ] && [ -n "$window" ] &&
      awk -v l="$launch" -v w="$window" -v f="$first" \
        'BEGIN {printf "%.0f %.0f\n", f - (l + w), f - l}' >>"$work/gaps"
  done
  echo "quorvane FOLDER ($(ls "$shown" | wc -l) pictures): first screen of thumbnails" \
    "$(cut -d' ' -f1 <"$work/gaps" | median) ms after the window," \
    "$(cut -d' ' -f2 <"$work/gaps" | median) ms after the command"
done
