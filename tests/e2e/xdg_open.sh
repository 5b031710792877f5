#!/bin/bash
# A picture opened the way a desktop opens it: Quorvane installed with cmake --install,
# made the default for JPEG with xdg-mime, then `xdg-open photo.jpg` shows the picture in
# its viewer over the window on its folder. Usage: xdg_open.sh <quorvane program> (the one
# in the build folder, which is installed first). Exit 77 (skipped) without Xvfb, xdotool
# or xdg-utils.
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
build=$(dirname "$bin")
for tool in Xvfb xdotool xdg-open xdg-mime convert; do
  command -v $tool >/dev/null || { echo "$tool is needed (scripts/install-deps.sh)"; exit 77; }
done

# shellcheck source=virtual_display.bash
. "$here/virtual_display.bash"

prefix="$work/설치"
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
# A desktop of this user only: no desktop environment of its own, so xdg-open reads the
# MIME defaults and the menu entries as every freedesktop desktop does.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_DATA_DIRS="$prefix/share:/usr/share" PATH="$prefix/bin:$PATH"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID BROWSER
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
xdg-mime default quorvane.desktop image/jpeg || fail "xdg-mime default failed"
[ "$(xdg-mime query default image/jpeg)" = quorvane.desktop ] || fail "quorvane is not the default"

photos="$HOME/사진/여행"
mkdir -p "$photos"
convert -size 64x48 gradient:navy-gold "$photos/바다 1.jpg"
convert -size 320x240 -seed 4 plasma:seagreen-khaki "$photos/photo.jpg"
convert -size 64x48 gradient:red-white "$photos/바다 3.jpg"

xdg-open "$photos/photo.jpg" >"$work/log" 2>&1 &
pids+=($!)
viewer=
for _ in $(seq 100); do
  viewer=$(xdotool search --onlyvisible --name '^photo\.jpg\(320x240\)$' 2>/dev/null | head -1)
  [ -n "$viewer" ] && break
  sleep 0.1
done
[ -n "$viewer" ] || { cat "$work/log"; fail "the viewer did not show photo.jpg"; }
# The installed program opened it, over the window on the picture's folder.
pid=$(xdotool getwindowpid "$viewer")
[ "$(readlink "/proc/$pid/exe")" = "$prefix/bin/quorvane" ] || fail "not the installed program"
for _ in $(seq 50); do
  xdotool search --onlyvisible --name "^Quorvane - $photos\$" >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --onlyvisible --name "^Quorvane - $photos\$" >/dev/null ||
  fail "the window is not on the picture's folder"
kill "$pid"
echo "PASS: xdg-open shows the picture in the installed Quorvane"
