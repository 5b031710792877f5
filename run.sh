#!/bin/sh
# Sets up everything on a fresh Debian machine, builds, and starts Quorvane.
set -eu
cd "$(dirname "$0")"
./scripts/build.sh
exec ./build/quorvane
