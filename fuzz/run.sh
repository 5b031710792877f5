#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded
# time (FUZZ_SECONDS, default 60). Findings land in build-fuzz/findings/<target>/.
# Usage: fuzz/run.sh [target...]   (default: every *_fuzz target)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds="${FUZZ_SECONDS:-60}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz/run.sh needs clang and libFuzzer: scripts/install-deps.sh --bench" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null

targets="$*"
if [ -z "$targets" ]; then
  targets=$(cd "$root/fuzz" && ls ./*_fuzz.cpp | sed 's|^\./||; s|\.cpp$||')
fi
# shellcheck disable=SC2086
cmake --build "$build" --target $targets

"${PYTHON:-/usr/bin/python3}" "$root/fuzz/make_seeds.py" "$build/seeds"
status=0
for t in $targets; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  cp -n "$build/seeds/$t/"* "$corpus/" 2>/dev/null || true
  echo "== $t: $seconds s"
  if ! "$build/fuzz/$t" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 2>"$build/$t.log"; then
    echo "!! $t found a problem: see $build/$t.log and $findings/"
    status=1
  fi
  tail -n 12 "$build/$t.log" | grep -E "stat::number_of_executed_units|cov:|SUMMARY" || true
done
exit $status
