#!/bin/sh
# Sets up everything on a fresh Debian machine, builds the program (not the tests and
# benchmarks) and starts Quorvane. Without a graphical display the program says so and
# ends with exit code 1.
set -eu
cd "$(dirname "$0")"
./scripts/install-deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --target quorvane quorvane-codec quorvane-convert
exec ./build/quorvane
