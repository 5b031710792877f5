#!/bin/bash
# Quorvane on a Wayland desktop without X: under weston's headless back end, through Qt's
# Wayland plug-in, the program starts, shows its window and opens the picture it is given:
# a screenshot of the compositor holds the picture at full size in the viewer and its
# thumbnail in the grid. Usage: wayland_headless.sh <quorvane program>. Exit 77 (skipped)
# without weston, weston-screenshooter, the plug-in or the system Python's PIL.
set -u
bin=$1
command -v weston >/dev/null && command -v weston-screenshooter >/dev/null || {
  echo "weston is needed (scripts/install-deps.sh)"; exit 77; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || {
  echo "qt6-wayland is needed (scripts/install-deps.sh)"; exit 77; }
/usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is needed"; exit 77; }

work=$(mktemp -d /tmp/quorvane-wayland.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY=quorvane-test
unset DISPLAY QT_QPA_PLATFORM
# --debug lets the screenshooter in.
weston --backend=headless-backend.so --use-pixman --debug --socket="$WAYLAND_DISPLAY" \
  --width=1024 --height=768 --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || { cat "$work/weston.log"; fail "weston did not start"; }

mkdir -p "$work/home/사진"
/usr/bin/python3 -c "
from PIL import Image
Image.new('RGB', (300, 200), (200, 30, 80)).save('$work/home/사진/flat.png')"

# Qt picks its Wayland plug-in by itself: nothing but WAYLAND_DISPLAY says where to go.
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$bin" "$work/home/사진/flat.png" \
  >"$work/log" 2>&1 &
qpid=$!
pids+=($qpid)

# The picture's pixels, counted in a screenshot: the viewer shows all 300 x 200 of them
# and the grid's thumbnail adds its own once the window is up with its folder listed.
count=0
for _ in $(seq 40); do
  sleep 0.5
  kill -0 $qpid 2>/dev/null || { cat "$work/log"; fail "quorvane ended"; }
  rm -f "$work"/wayland-screenshot*.png
  (cd "$work" && timeout 10 weston-screenshooter >/dev/null 2>&1)
  shot=$(ls "$work"/wayland-screenshot*.png 2>/dev/null | head -1)
  [ -n "$shot" ] || continue
  count=$(/usr/bin/python3 -c "
from PIL import Image
colours = Image.open('$shot').convert('RGB').getcolors(1 << 24)
print(dict((c, n) for n, c in colours).get((200, 30, 80), 0))")
  [ "$count" -gt $((300 * 200 + 2000)) ] && break
done
grep -qi "could not find the Qt platform plugin" "$work/log" && fail "no Wayland plug-in"
[ "$count" -gt $((300 * 200 + 2000)) ] || {
  cat "$work/log"; fail "picture and thumbnail not on screen ($count pixels)"; }
echo "PASS: on weston's headless back end the window shows with the picture in the viewer"
