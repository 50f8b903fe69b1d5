#!/bin/sh
# Times Outer Glow and Inner Shadow against ImageMagick doing the same on a text mask (a blurred
# mask outside the glyphs in a colour over a white page; the shifted, blurred outside seen through
# the glyphs), at 800x200 and 1600x400, in the same run, and prints milliseconds per megapixel.
# ImageMagick's process start-up and file writing (timed on a blank page) are taken off.
#
#   bench/layer_effects_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR holds bin/bench_layer_effects (configure with -DQUORBEL_BENCH=ON; default build).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-10}
bench=$build/bin/bench_layer_effects
[ -x "$bench" ] || { echo "no $bench; configure with -DQUORBEL_BENCH=ON and build bench_layer_effects" >&2; exit 1; }

. "$here/bench/magick.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

time_ms() {
  "$@"
  start=$(date +%s.%N)
  i=0
  while [ "$i" -lt "$runs" ]; do
    "$@"
    i=$((i + 1))
  done
  end=$(date +%s.%N)
  echo "($end - $start) * 1000 / $runs" | bc -l
}

outer() {  # size W H sigma
  "$magick" -size "$2x$3" xc:white -size "$2x$3" xc:orange \
    \( "$work/mask$2.png" -blur "0x$4" \( "$work/mask$2.png" -negate \) -compose Multiply -composite \) \
    -compose Over -composite "$work/out.bmp"
}
inner() {  # size W H sigma shift
  "$magick" -size "$2x$3" xc:white -size "$2x$3" xc:black \
    \( "$work/mask$2.png" -negate -roll "+$5+$5" -blur "0x$4" "$work/mask$2.png" -compose Multiply -composite \) \
    -compose Over -composite "$work/out.bmp"
}
blank() { "$magick" -size "$2x$3" xc:white "$work/out.bmp"; }

"$bench" --benchmark_filter='BM_(OuterGlow|InnerShadow)' --benchmark_format=json \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true >"$work/bench.json"
ours() {  # name width -> median ms
  python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
b = [x for x in d["benchmarks"] if x.get("aggregate_name") == "median" and x["run_name"] == sys.argv[2]][0]
print(b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]])' "$work/bench.json" "$1/$2"
}

echo "ImageMagick $("$magick" -version | head -n1 | sed 's/^Version: //')"
for w in 800 1600; do
  h=$((w / 4))
  s=$((w / 800))
  "$magick" -size "${w}x$h" xc:black -fill white -font DejaVu-Sans-Bold -pointsize $((h * 3 / 4)) \
    -gravity center -annotate +0+0 'Quorbel!' "$work/mask$w.png"
  mp=$(echo "$w * $h / 1000000" | bc -l)
  base=$(time_ms blank x "$w" "$h")
  im_outer=$(echo "$(time_ms outer x "$w" "$h" $((5 * s))) - $base" | bc -l)
  im_inner=$(echo "$(time_ms inner x "$w" "$h" $((3 * s)) $((4 * s))) - $base" | bc -l)
  q_outer=$(ours BM_OuterGlow "$w")
  q_inner=$(ours BM_InnerShadow "$w")
  printf '%sx%s  outer glow: quorbel %.1f ms/MP, ImageMagick %.1f ms/MP (x%.2f)\n' "$w" "$h" \
    "$(echo "$q_outer / $mp" | bc -l)" "$(echo "$im_outer / $mp" | bc -l)" "$(echo "$im_outer / $q_outer" | bc -l)"
  printf '%sx%s  inner shadow: quorbel %.1f ms/MP, ImageMagick %.1f ms/MP (x%.2f)\n' "$w" "$h" \
    "$(echo "$q_inner / $mp" | bc -l)" "$(echo "$im_inner / $mp" | bc -l)" "$(echo "$im_inner / $q_inner" | bc -l)"
done
