#!/bin/sh
# Times ImageMagick making a stack comparable to our 800x200 reference picture (text with a
# gradient fill, an outline stroke and a blurred, offset shadow on a white page) against
# bench_engine's 800-pixel reference case, in the same run, and prints the ratio.
#
#   bench/imagemagick_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR is a Release build configured with -DQUORBEL_BENCH=ON (default build-bench).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
runs=${2:-20}
bench=$build/bin/bench_engine

. "$here/bench/magick.sh"

if [ ! -x "$bench" ]; then
  echo "no $bench; configure with: cmake -S $here -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBEL_BENCH=ON -DQUORBEL_UI=OFF && ninja -C $build bench_engine" >&2
  exit 1
fi

font=$(fc-match -f '%{file}' 'Liberation Sans' 2>/dev/null || true)
[ -n "$font" ] || font=DejaVu-Sans
text='Quorbel!'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# One picture: shadow (offset 3, blur radius 3), gradient-filled glyphs, 2-pixel outline.
magick_once() {
  "$magick" -size 800x200 xc:white -font "$font" -pointsize 150 -gravity center \
    \( -size 800x200 xc:none -fill '#404040' -annotate +3+3 "$text" -blur 0x1.5 \) -compose Over -composite \
    \( -size 800x200 gradient:red-cyan -alpha set \
       \( -size 800x200 xc:none -fill white -annotate +0+0 "$text" \) -compose DstIn -composite \) \
    -compose Over -composite \
    -fill none -stroke black -strokewidth 2 -annotate +0+0 "$text" \
    "$work/out.bmp"
}

# The same process making and writing a blank page: its start-up and output cost.
magick_blank() {
  "$magick" -size 800x200 xc:white "$work/blank.bmp"
}

# Mean wall time of one call of $1, in milliseconds.
time_ms() {
  "$1"  # warm the caches (fonts, the binary)
  start=$(date +%s.%N)
  i=0
  while [ "$i" -lt "$runs" ]; do
    "$1"
    i=$((i + 1))
  done
  end=$(date +%s.%N)
  echo "($end - $start) * 1000 / $runs" | bc -l
}

magick_ms=$(time_ms magick_once)
blank_ms=$(time_ms magick_blank)

export QUORBEL_DATA="${QUORBEL_DATA:-$build/share/quorbel}"
"$bench" --benchmark_filter='BM_ReferenceDocument/width:800/scaled:0' --benchmark_format=json \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true >"$work/bench.json"
ours_ms=$(python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
b = [x for x in d["benchmarks"] if x.get("aggregate_name") == "median"][0]
scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
print(b["real_time"] * scale)' "$work/bench.json")

printf 'ImageMagick %s, 800x200 stack: %.2f ms per picture (process start included)\n' \
  "$("$magick" -version | head -n1 | sed 's/^Version: //')" "$magick_ms"
printf 'quorbel RenderPreview, reference document 800x200: %.2f ms per picture\n' "$ours_ms"
printf 'ImageMagick start-up and blank page: %.2f ms\n' "$blank_ms"
printf 'ratio ImageMagick / quorbel: %.2f (%.2f without ImageMagick start-up)\n' \
  "$(echo "$magick_ms / $ours_ms" | bc -l)" "$(echo "($magick_ms - $blank_ms) / $ours_ms" | bc -l)"
