#!/bin/sh
# Saves a picture of each operation dialog (with its preview) and of the settings dialog
# into docs/screenshots/dialog-*.png.
#   scripts/dialog-screenshots.sh [BUILD_DIR] [PHOTO]
# PHOTO is the picture the previews show (any file the program reads); without it the
# tests draw a landscape. Runs under Xvfb when xvfb-run is there, else offscreen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
export QUORVANE_SCREENSHOT_DIR="$root/docs/screenshots"
export QUORVANE_SCREENSHOT_PHOTO="${2:-}"
cmake --build "$build" --target operationdlgs_qtest convertsetdlg_qtest
if command -v xvfb-run >/dev/null 2>&1; then
  run() { QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }
else
  run() { QT_QPA_PLATFORM=offscreen "$@"; }
fi
run "$build/tests/operationdlgs_qtest" screenshots
run "$build/tests/convertsetdlg_qtest" screenshot
ls -l "$QUORVANE_SCREENSHOT_DIR"/dialog-*.png
