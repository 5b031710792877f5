#!/bin/sh
# Installs every Debian package that building, running and testing Quorvane needs.
# Safe to run again: apt-get skips what is already there. Fails loudly on any error.
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libdevil-dev libdevil1c2
  libjpeg62-turbo-dev libjpeg-turbo-progs
  libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  imagemagick python3 python3-pil
  fonts-noto-cjk adwaita-icon-theme hicolor-icon-theme
  xdg-utils
  qt6-qpa-plugins xvfb xdotool
"

if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
elif command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
else
  echo "install-deps: run as root or install sudo first" >&2
  exit 1
fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
echo "install-deps: done"
