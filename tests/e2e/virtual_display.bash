# Sourced by the end-to-end scripts: a work folder removed at the end, every process
# started into `pids` stopped at the end, and a virtual X display of its own (Xvfb picks
# a free number) exported as DISPLAY for the program under test.
work=$(mktemp -d /tmp/quorvane-e2e.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display") QUORVANE_NO_MODAL=1 QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
