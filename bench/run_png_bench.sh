#!/bin/sh
# Builds and runs the PNG benchmark, then compares our smallest PNG of a rendered document with
# what optipng makes of our default file.
# Usage: bench/run_png_bench.sh [build-folder]   (an existing folder keeps its build type)
set -e
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -DQUORBEL_BENCH=ON >/dev/null
else
  cmake -S "$src" -B "$build" -G Ninja -DQUORBEL_UI=OFF -DQUORBEL_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_png quorbel
"$build/bin/bench_png" --benchmark_min_time=0.5
if ! command -v optipng >/dev/null 2>&1; then
  apt-get install -y optipng >/dev/null 2>&1 || true
fi
if command -v optipng >/dev/null 2>&1; then
  tmp=$(mktemp -d)
  "$build/bin/quorbel" render -o "$tmp/default.png" --type png
  "$build/bin/quorbel" render -o "$tmp/small.png" --type png --png-small
  cp "$tmp/default.png" "$tmp/opti.png"
  optipng -quiet -o2 "$tmp/opti.png"
  echo "rendered document: default $(stat -c %s "$tmp/default.png")  --png-small $(stat -c %s "$tmp/small.png")  optipng -o2 $(stat -c %s "$tmp/opti.png")"
  rm -rf "$tmp"
else
  echo "optipng not available: size comparison with it skipped"
fi
