# Sourced by the screenshot scripts (POSIX sh) from the checkout's top folder: a work
# folder $WORK removed at the end, a virtual X display of its own (Xvfb picks a free
# number and tells it through descriptor 3), the program started there with a home
# folder of the script's making, and a wait for its windows.
WORK=$(mktemp -d /tmp/quorvane-shots.XXXXXX)
XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
  DISPLAY=":$(cat "$WORK/display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

# start_program HOME: the program on the display, HOME its home folder, fresh caches.
start_program() {
  HOME="$1" XDG_CACHE_HOME="$WORK/cache" ./build/quorvane &
  APP_PID=$!
}

window_named() {  # waits for a window whose title matches, prints its id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "$0: no window named $1" >&2
  return 1
}
