# Sourced by the screenshot scripts (POSIX sh) from the checkout's top folder: a work
# folder $WORK removed at the end, a virtual X display of its own (Xvfb picks a free
# number and tells it through descriptor 3), the program started there with a home
# folder of the script's making, and a wait for its windows.
#
# The home folder shown reads as a user's (/home/민지, not a temporary folder): run as root,
# the script runs again in a mount namespace of its own in which /home is an empty tmpfs.
# Without that, HOMES is a folder under the work folder.
if [ -z "${QUORVANE_SHOTS_NS:-}" ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
  unshare -m true 2>/dev/null; then
  QUORVANE_SHOTS_NS=1 exec unshare -m --propagation private sh "$0" "$@"
fi
WORK=$(mktemp -d /tmp/quorvane-shots.XXXXXX)
HOMES="$WORK/home"
if [ -n "${QUORVANE_SHOTS_NS:-}" ] && mount -t tmpfs -o mode=755 quorvane-shots /home; then
  HOMES=/home
fi

# sample_pictures FOLDER WIDTH [NAME...]: photo-like scenes of our own making.
sample_pictures() {
  folder=$1 width=$2
  shift 2
  if [ $# -gt 0 ]; then
    /usr/bin/python3 scripts/make_sample_pictures.py "$folder" --width "$width" --only "$@" >/dev/null
  else
    /usr/bin/python3 scripts/make_sample_pictures.py "$folder" --width "$width" >/dev/null
  fi
}
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

# start_program HOME [ARG...]: the program on the display, HOME its home folder, fresh
# caches, the ARGs on its command line.
start_program() {
  home=$1
  shift
  HOME="$home" XDG_CACHE_HOME="$WORK/cache" ./build/quorvane "$@" &
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
