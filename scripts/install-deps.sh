#!/bin/sh
# Installs every Debian package that building, running and testing Quorvane needs.
# Checks first and asks for root (directly or through sudo) only when something is
# missing. Safe to run again. Fails loudly on any error.
set -eu

# --bench adds what the benchmark and fuzzing scripts use (bench/*.sh, fuzz/run.sh):
# the peer tools, clang with libFuzzer, bc, GNU time and the X headers of bench/on_screen.c.
BENCH_PACKAGES=""
for arg in "$@"; do
  case $arg in
    --bench) BENCH_PACKAGES="libvips-tools heif-thumbnailer bc time clang libclang-rt-14-dev llvm geeqie gthumb gwenview libx11-dev" ;;
    *) echo "usage: install-deps.sh [--bench]" >&2; exit 2 ;;
  esac
done

PACKAGES="
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libdevil-dev libdevil1c2
  libjpeg62-turbo-dev libturbojpeg0-dev libjpeg-turbo-progs
  libgif-dev libdeflate-dev libpng-dev
  libexiv2-dev libimage-exiftool-perl
  libtiff-dev libtiff-tools netpbm
  libheif-dev libheif-examples libavif-dev libavif-bin libwebp-dev webp
  libjxl-dev libjxl-tools libraw-dev libraw-bin liblcms2-dev libpng-dev
  libseccomp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  imagemagick graphicsmagick python3 python3-pil parallel
  $BENCH_PACKAGES
  fonts-noto-cjk adwaita-icon-theme hicolor-icon-theme
  xdg-utils desktop-file-utils appstream help2man
  qt6-wayland weston
  qt6-qpa-plugins xvfb xdotool openbox x11-utils
  dbus-daemon at-spi2-core python3-pyatspi
"

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

# Only installing needs root.
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
elif command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
else
  echo "install-deps: missing packages:$missing" >&2
  echo "install-deps: run this script as root (or install sudo) to install them" >&2
  exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
echo "install-deps: done"
