#!/bin/sh
# Sets up everything on a fresh Debian machine, builds, and runs every test.
set -eu
cd "$(dirname "$0")"
./scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2
