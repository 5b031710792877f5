#!/usr/bin/env bash
# CPU time of turning camera photographs a quarter turn right: quorvane-convert's
# lossless JPEG turn against a shell loop of `jpegtran -rotate 90 -copy all` over the
# same files, and against decoding and encoding them (--no-lossless). Then checks that
# every result's pixels are jpegtran's.
#
#   bench/lossless_turn_peers.sh [BUILD_DIR] [PHOTO_DIR]
#
# BUILD_DIR defaults to build; PHOTO_DIR (default /tmp/quorvane-bench-camera-422) holds
# the photographs of make_camera_photos.sh (4000 x 3000 with an EXIF thumbnail), made
# there when missing, in SAMPLING (default 2x1: 4:2:2, as many cameras write; 3000 rows
# are whole 8-row blocks, so a quarter turn is lossless). With SAMPLING=2x2 (4:2:0, 16-row
# blocks) a quarter turn of 3000 rows is not perfect: every file is then re-encoded
# (jpegtran leaves the partial edge blocks as they were). COUNT (default 40) files; REPEAT (default 3) runs of each
# command, the least CPU time kept. CPU time is user + system of the command and every
# process it waited for (the helper processes included).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
photos=${2:-/tmp/quorvane-bench-camera-422}
export SAMPLING=${SAMPLING:-2x1}
count=${COUNT:-40}
repeat=${REPEAT:-3}
qc=$build/quorvane-convert
[ -x "$qc" ] || { echo "no $qc: build quorvane-convert first" >&2; exit 1; }
for tool in jpegtran djpeg python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
sh "$here/bench/make_camera_photos.sh" "$photos" "$count" >/dev/null

work=$(mktemp -d /tmp/quorvane-lossless-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mapfile -t files < <(ls "$photos"/camera_*.jpg | head -n "$count")

python3 - "$qc" "$work" "$repeat" "${files[@]}" <<'PY'
import os, resource, subprocess, sys, time

qc, work, repeat, files = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]

def timed(command):
    best = None
    for _ in range(repeat):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        if best is None or cpu < best[0]:
            best = (cpu, wall)
    return best

loop = ('out="$1"; shift; for f in "$@"; do '
        'jpegtran -rotate 90 -copy all "$f" > "$out/$(basename "$f")"; done')
rows = [
    ("jpegtran loop (-rotate 90 -copy all)", ["bash", "-c", loop, "loop", f"{work}/jpegtran"] + files),
    ("quorvane-convert --turn-right", [qc, "--turn-right", "--keep-name", "-o", f"{work}/lossless"] + files),
    ("quorvane-convert --turn-right --no-lossless",
     [qc, "--turn-right", "--no-lossless", "--keep-name", "-o", f"{work}/reencoded"] + files),
]
os.makedirs(f"{work}/jpegtran")
results = [(name, *timed(cmd)) for name, cmd in rows]
base = results[0][1]
print(f"{len(files)} photographs, best of {repeat} runs")
print(f"| {'command':<45} | CPU s  | wall s | CPU vs jpegtran |")
print(f"|{'-' * 47}|--------|--------|-----------------|")
for name, cpu, wall in results:
    print(f"| {name:<45} | {cpu:6.2f} | {wall:6.2f} | {cpu / base:14.2f}x |")

def pixels(path):
    return subprocess.run(["djpeg", "-ppm", path], check=True, capture_output=True).stdout

same = sum(pixels(f"{work}/lossless/{os.path.basename(f)}") ==
           pixels(f"{work}/jpegtran/{os.path.basename(f)}") for f in files)
print(f"pixels identical to jpegtran's: {same}/{len(files)}")
PY
