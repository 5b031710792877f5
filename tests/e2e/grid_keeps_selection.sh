#!/bin/bash
# Files copied into the shown folder by another program while a picture is selected: the
# grid lists them and the picture stays selected, as read back through the accessibility
# bus. Usage: grid_keeps_selection.sh <quorvane program>. Exit 77 (skipped) without Xvfb,
# xdotool, dbus-run-session or the Python AT-SPI binding.
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3  # the system's, which has the AT-SPI binding
if [ "${QUORVANE_E2E_INNER:-}" != 1 ]; then
  command -v Xvfb >/dev/null && command -v xdotool >/dev/null &&
    command -v dbus-run-session >/dev/null && "$python" -c 'import pyatspi' 2>/dev/null || {
    echo "Xvfb, xdotool, dbus-run-session and python3-pyatspi are needed (scripts/install-deps.sh)"
    exit 77
  }
  QUORVANE_E2E_INNER=1 exec dbus-run-session -- bash "$0" "$@" 2>&1
fi

# shellcheck source=virtual_display.bash
. "$here/virtual_display.bash"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

home="$work/home"
mkdir -p "$home" "$work/incoming"
printf 'P3\n1 1\n255\n30 90 200\n' >"$work/p.ppm"
convert "$work/p.ppm" -scale 3000% "$work/p.jpg" || fail "no picture"
for i in 01 02 03 04 05 06; do cp "$work/p.jpg" "$home/사진 $i.jpg"; done
for i in $(seq 10 49); do cp "$work/p.jpg" "$work/incoming/새 $i.jpg"; done

HOME=$home "$bin" >"$work/log" 2>&1 &
pids+=($!)
if "$python" "$here/grid_keeps_selection_check.py" "$home" "$work/incoming"; then
  echo "PASS: the selection stays while files arrive"
else
  cat "$work/log"
  exit 1
fi
