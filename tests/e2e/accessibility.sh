#!/bin/bash
# Runs accessibility_check.py against the real program on a virtual X display with its
# own session and accessibility buses. Usage: accessibility.sh <quorvane program>.
# Exit 77 (skipped) without Xvfb, dbus-run-session or the Python AT-SPI binding.
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3  # the system's, which has the AT-SPI binding
if [ "${QUORVANE_E2E_INNER:-}" != 1 ]; then
  command -v Xvfb >/dev/null && command -v dbus-run-session >/dev/null &&
    "$python" -c 'import pyatspi' 2>/dev/null || {
    echo "Xvfb, dbus-run-session and python3-pyatspi are needed (scripts/install-deps.sh)"
    exit 77
  }
  QUORVANE_E2E_INNER=1 exec dbus-run-session -- bash "$0" "$@" 2>&1
fi

# shellcheck source=virtual_display.bash
. "$here/virtual_display.bash"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

home="$work/민지 home"
mkdir -p "$home/여행 사진"
printf 'P3\n1 1\n255\n200 30 30\n' >"$work/p.ppm"
convert "$work/p.ppm" -scale 4000% "$home/사진 1.jpg"

HOME=$home "$bin" >"$work/log" 2>&1 &
pids+=($!)
if "$python" "$here/accessibility_check.py" "$home"; then
  echo "PASS: the program reads and works through the accessibility bus"
else
  cat "$work/log"
  exit 1
fi
