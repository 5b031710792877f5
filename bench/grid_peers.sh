#!/bin/bash
# Thumbnail grid timing of the real program under Xvfb, with geeqie and gthumb beside it.
#
# A folder of $COUNT JPEG photos of 4000 x 3000 (hard links to the photo set of
# make_bench_photos.sh, under other names) is the home folder of each program, so each
# opens it at start with empty caches. Measured:
#   first screen  quorvane: "trace: first-screen" (every visible cell has its thumbnail)
#   all           quorvane: the time of the result that makes $COUNT distinct items
#                 ("trace: thumbnail" lines, one per result, by index). The grid makes
#                 the cells on screen first, then every other file in the background
#                 from the top (the setting LookAhead, on with the shared cache); the
#                 driver still pages down to the end right after the first screen (one
#                 Page_Down every $PAGE_MS ms, then End), as a user scrolling meanwhile
#   key repaint   quorvane: Left presses while the queue is working; time from the key
#                 event's X server time stamp to the end of the grid's next paint
#   warm          quorvane started again on the same folder: the thumbnail cache
#                 (~/.cache/thumbnails, shared with other programs) holds every picture
#   peak memory   VmHWM of quorvane and its helper processes once all are made; with
#                 SCROLL=N also after paging through a folder of N photos, once all N are
#                 made (or after 180 s more)
#   floor         every photo decoded at 1/8 by `djpeg -scale 1/8`, on both cores
#   peers         time until the thumbnail cache under their HOME holds the number of
#                 cells of their first screen, and then $COUNT files
# Times of quorvane are in ms since the grid opened the folder (its OpenFolder), and
# the launch-to-open time is printed as well. Peers' times are since launch.
#
# Usage: bench/grid_peers.sh            (environment: COUNT, DISPLAY_NUM, PEERS=0/1,
#                                         BENCH_PHOTOS, BUILD, SCROLL)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-500}
DISPLAY_NUM=${DISPLAY_NUM:-77}
PEERS=${PEERS:-1}
PAGE_MS=${PAGE_MS:-20}
LEFT_SAMPLES=${LEFT_SAMPLES:-10}
photos=${BENCH_PHOTOS:-/tmp/quorvane-bench-photos}
build=${BUILD:-$here/build-release}
bin=$build/quorvane
work=$(mktemp -d /tmp/quorvane-gridbench.XXXXXX)
export DISPLAY=:$DISPLAY_NUM QT_QPA_PLATFORM=xcb

[ -x "$bin" ] || { echo "no $bin: build the quorvane target first" >&2; exit 1; }
sh "$here/bench/make_bench_photos.sh" "$photos" >/dev/null || exit 1
mapfile -t sources < <(ls "$photos"/photo_*.jpg)
[ "${#sources[@]}" -gt 0 ] || { echo "no photos in $photos" >&2; exit 1; }

# A fresh home holding $COUNT photos (links cycle through the distinct ones).
make_home() {
  local h=$1 i
  mkdir -p "$h"
  for ((i = 0; i < COUNT; i++)); do
    ln "${sources[i % ${#sources[@]}]}" "$(printf '%s/img_%04d.jpg' "$h" $((i + 1)))"
  done
}

mono_ms() { python3 -c 'import time; print(int(time.monotonic() * 1000))'; }

Xvfb :$DISPLAY_NUM -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# The same page cache for every program: all files are read just before each start.

# ---------------------------------------------------------------- floor
# The decoding floor: every photo decoded at 1/8 by djpeg, on both cores.
qhome=$work/quorvane-home
make_home "$qhome"
cat "$qhome"/img_*.jpg >/dev/null
floor_start=$(mono_ms)
ls "$qhome"/img_*.jpg | xargs -P2 -n 25 sh -c 'for f; do djpeg -scale 1/8 "$f" >/dev/null; done' _
floor_ms=$(( $(mono_ms) - floor_start ))

# ---------------------------------------------------------------- quorvane
# Peak memory (VmHWM) of the program and its helper processes, in kB.
peak_kb() {
  local total=0 p kb
  for p in "$1" $(pgrep -P "$1"); do
    kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$p/status" 2>/dev/null)
    total=$((total + ${kb:-0}))
  done
  echo "$total"
}

# One run of the program on its home folder ($1: label; $2: the home; $3: the number of
# files there). The first run has an empty thumbnail cache; a later one finds it warm.
run_quorvane() {
  local label=$1 home=$2 count=$3
  log=$work/quorvane-$label.log
  cat "$home"/img_*.jpg >/dev/null
  launch=$(mono_ms)
  HOME=$home QUORVANE_TRACE_THUMBNAILS=1 QUORVANE_NO_MODAL=1 "$bin" 2>"$log" &
  app_pid=$!
  for _ in $(seq 600); do grep -q 'first-screen' "$log" && break; sleep 0.05; done
  if grep -q 'first-screen' "$log"; then
    win=$(xdotool search --onlyvisible --name '^Quorvane' | head -1)
    [ -n "$win" ] || { echo "no Quorvane window" >&2; exit 1; }
    eval "$(xdotool getwindowgeometry --shell "$win")"
    # Focus the grid: a click on its first cell (right of the tree, below the tool bar).
    xdotool mousemove $((X + 161 + 8 + 30)) $((Y + 90)) click 1
    sleep 0.3
    # Page_Down moves about one row of three cells at the default window size; End at
    # the close makes sure the last screen has been painted.
    pages=$((count / 2 + 5))
    for ((i = 0; i < pages; i++)); do
      xdotool key --window "$win" Page_Down
      sleep "$(printf '0.%03d' "$PAGE_MS")"
    done
    xdotool key --window "$win" End
    sleep 0.5
    if [ "$label" = fresh ]; then
      for ((i = 0; i < LEFT_SAMPLES; i++)); do
        xdotool key --window "$win" Left
        sleep 0.4
      done
    fi
  fi
  for _ in $(seq 1800); do
    [ "$(grep 'trace: thumbnail ' "$log" | grep -o 'index=[0-9]*' | sort -u | wc -l)" -ge "$count" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  local peak
  peak=$(peak_kb "$app_pid")
  kill "$app_pid" 2>/dev/null
  wait "$app_pid" 2>/dev/null
  app_pid=
  summarize "$log" "$count" "$launch" >"$work/quorvane-$label.txt"
  echo "peak_kb=$peak" >>"$work/quorvane-$label.txt"
}

summarize() {
python3 - "$@" <<'EOF'
import re, sys
log, count, launch = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
lines = open(log, errors="replace").read().splitlines()
opens = [i for i, l in enumerate(lines) if l.startswith("trace: open-folder")]
first = next((i for i, l in enumerate(lines) if "first-screen" in l), None)
# Times count from the last opening before the first screen.
start = max([i for i in opens if first is None or i < first], default=0)
open_mono = int(re.search(r"monotonic=(\d+)", lines[start]).group(1)) if opens else None
thumbs = [l for l in lines[start:] if l.startswith("trace: thumbnail ")]
t = [int(re.search(r" t=(-?\d+)", l).group(1)) for l in thumbs]
idx = {int(re.search(r"index=(\d+)", l).group(1)) for l in thumbs}
failed = sum(1 for l in thumbs if " result=0 " not in l)
fs = re.search(r"t=(\d+) stored=(\d+)", lines[first]) if first is not None else None
keys = [re.search(r"key=0x(\w+) from-handler=(\d+) from-x-event=(\d+)", l)
        for l in lines if "key-paint" in l]
left = [(int(k.group(2)), int(k.group(3))) for k in keys if k and k.group(1) == "1000012"]
pgdn = [(int(k.group(2)), int(k.group(3))) for k in keys if k and k.group(1) == "1000017"]
print(f"opens={len(opens)} launch_to_open_ms={open_mono - launch if open_mono else 'n/a'}")
print(f"first_screen_ms={fs.group(1) if fs else 'none'} cells={fs.group(2) if fs else '-'}"
      f" since_launch_ms={int(fs.group(1)) + open_mono - launch if fs and open_mono else 'n/a'}")
print(f"results={len(t)} distinct_items={len(idx)} failed={failed}")
# The result that completes $COUNT distinct items.
seen, done = set(), None
for l, v in zip(thumbs, t):
    seen.add(int(re.search(r"index=(\d+)", l).group(1)))
    if len(seen) >= count:
        done = v
        break
if done is not None:
    print(f"all_ms={done}")
    print(f"rate_per_s={(count - 1) * 1000 / max(1, done - t[0]):.1f}")
else:
    print("all_ms=not reached")
    if len(t) > 1:
        print(f"rate_per_s={(len(t) - 1) * 1000 / max(1, t[-1] - t[0]):.1f}")
def show(name, s):
    if not s:
        print(f"{name}=none"); return
    x = sorted(v for _, v in s)
    h = sorted(v for v, _ in s)
    print(f"{name}_n={len(s)} x_event_to_paint_ms={x} median={x[len(x)//2]} max={x[-1]}"
          f" handler_to_paint_max={h[-1]}")
show("left", left)
show("pagedown", pgdn)
EOF
}

run_quorvane fresh "$qhome" "$COUNT"
run_quorvane warm "$qhome" "$COUNT"  # restarted, the thumbnail cache kept
# Optional: memory after scrolling through a large folder (SCROLL=20000).
if [ "${SCROLL:-0}" -gt 0 ]; then
  shome=$work/scroll-home
  saved=$COUNT
  COUNT=$SCROLL
  make_home "$shome"
  COUNT=$saved
  PAGE_MS=${SCROLL_PAGE_MS:-5} run_quorvane scroll "$shome" "$SCROLL"
fi

# ---------------------------------------------------------------- peers
# Cache files counted every 20 ms until $COUNT appear or nothing changes for 20 s.
peer() {
  local name=$1 cells=$2; shift 2
  local h=$work/$name-home
  make_home "$h"
  mkdir -p "$h/.cache" "$h/.config"
  cat "$h"/img_*.jpg >/dev/null
  python3 - "$h" "$COUNT" "$cells" "$@" >"$work/$name.txt" 2>"$work/$name.log" <<'EOF'
import os, subprocess, sys, time
home, count, cells, cmd = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
env = dict(os.environ, HOME=home, XDG_CACHE_HOME=home + "/.cache",
           XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share")
def cached():
    n = 0
    for root, _, files in os.walk(home):
        if root == home: continue
        n += sum(1 for f in files if f.endswith((".png", ".jpg")))
    return n
t0 = time.monotonic()
p = subprocess.Popen(cmd + [home], env=env, stdout=subprocess.DEVNULL, stderr=sys.stderr,
                     cwd=home, start_new_session=True)
first = last = None; seen = 0; changed = t0
while time.monotonic() - t0 < 180:
    n = cached(); now = time.monotonic()
    if n != seen: seen, changed = n, now
    if first is None and n >= cells: first = now - t0
    if n >= count: last = now - t0; break
    if p.poll() is not None or (n and now - changed > 20): break
    time.sleep(0.02)
import signal
try: os.killpg(p.pid, signal.SIGTERM)
except ProcessLookupError: pass
try: p.wait(5)
except subprocess.TimeoutExpired: os.killpg(p.pid, signal.SIGKILL)
print(f"cached={seen} first_screen_ms={int(first*1000) if first else 'none'}"
      f" all_ms={int(last*1000) if last else 'not reached'}")
EOF
}
# geeqie starts with a file list without thumbnails: one start writes its settings, which
# are then switched to the icon view with thumbnails, and the cache is emptied.
geeqie_settings() {
  local h=$work/geeqie-home rc
  rc=$h/.config/geeqie/geeqierc.xml
  mkdir -p "$h/.cache" "$h/.config"
  export HOME=$h XDG_CACHE_HOME=$h/.cache XDG_CONFIG_HOME=$h/.config
  (cd "$h" && geeqie "$h" >/dev/null 2>&1 &)
  sleep 3
  geeqie --remote --quit >/dev/null 2>&1
  for _ in $(seq 50); do pgrep -x geeqie >/dev/null || break; sleep 0.1; done
  sed -i 's/file_view_type = "0"/file_view_type = "1"/; s/show_thumbnails = "false"/show_thumbnails = "true"/' "$rc"
  rm -rf "$h/.cache"/* "$h"/img_*.jpg
  export HOME=$qhome_saved
  unset XDG_CACHE_HOME XDG_CONFIG_HOME
  grep -q 'file_view_type = "1"' "$rc"
}
qhome_saved=$HOME
if [ "$PEERS" = 1 ]; then
  # Visible cells at each program's default window size (screenshots on this Xvfb):
  # geeqie 720 x 540 shows 4, gthumb 16.
  command -v geeqie >/dev/null && geeqie_settings && peer geeqie "${GEEQIE_CELLS:-4}" geeqie
  command -v gthumb >/dev/null && peer gthumb "${GTHUMB_CELLS:-16}" dbus-run-session -- gthumb
fi

# ---------------------------------------------------------------- table
val() { grep -o "$2=[^ ]*" "$work/$1.txt" 2>/dev/null | head -1 | cut -d= -f2; }
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)   cores: $(nproc)   photos: $COUNT files, ${#sources[@]} distinct"
for r in fresh warm scroll; do
  [ -f "$work/quorvane-$r.txt" ] && { echo "-- quorvane $r"; cat "$work/quorvane-$r.txt"; }
done
printf '%-16s %18s %14s %10s %10s\n' program first-screen-ms all-ms cached peak-MB
for r in fresh warm scroll; do
  [ -f "$work/quorvane-$r.txt" ] || continue
  pk=$(val "quorvane-$r" peak_kb)
  printf '%-16s %18s %14s %10s %10s\n' "quorvane $r" "$(val "quorvane-$r" first_screen_ms)" \
    "$(val "quorvane-$r" all_ms)" "$(val "quorvane-$r" distinct_items)" "$((${pk:-0} / 1024))"
done
for p in geeqie gthumb; do
  [ -f "$work/$p.txt" ] && printf '%-16s %18s %14s %10s\n' "$p" "$(val $p first_screen_ms)" "$(val $p all_ms)" "$(val $p cached)"
done
printf '%-16s %18s %14s\n' "djpeg 1/8 x2" - "$floor_ms"
echo "logs: $work"
