#!/bin/sh
# Saves a picture of each operation dialog (with its preview) and of the settings dialog
# into docs/screenshots/dialog-*.png, and of the "기능" menu with its preset submenu into
# docs/screenshots/preset-menu.png.
#   scripts/dialog-screenshots.sh [BUILD_DIR] [PHOTO]
# PHOTO is the picture the previews show (any file the program reads); without it, a scene
# of scripts/make_sample_pictures.py. Runs under Xvfb when xvfb-run is there, else offscreen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
export QUORVANE_SCREENSHOT_DIR="$root/docs/screenshots"
photo=${2:-}
if [ -z "$photo" ]; then
  # A scene of our own making (scripts/make_sample_pictures.py).
  scenes=$(mktemp -d /tmp/quorvane-dialog-shots.XXXXXX)
  trap 'rm -rf "$scenes"' EXIT
  photo=$(/usr/bin/python3 "$root/scripts/make_sample_pictures.py" "$scenes" --width 1200 --only "호숫가 숲")
fi
export QUORVANE_SCREENSHOT_PHOTO="$photo"
cmake --build "$build" --target operationdialogs_qtest convertsettingsdialog_qtest \
  mainwindow_presets_qtest
if command -v xvfb-run >/dev/null 2>&1; then
  run() { QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }
else
  run() { QT_QPA_PLATFORM=offscreen "$@"; }
fi
run "$build/tests/operationdialogs_qtest" screenshots
run "$build/tests/convertsettingsdialog_qtest" screenshot
# The preset test makes its presets in a home of its own; it runs whole, for them.
run "$build/tests/mainwindow_presets_qtest"
ls -l "$QUORVANE_SCREENSHOT_DIR"/dialog-*.png "$QUORVANE_SCREENSHOT_DIR"/preset-menu.png
