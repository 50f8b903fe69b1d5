#!/bin/sh
# Whole-process start-up: one small button rendered by `quorbel render` (button3d.plq, 223x79:
# shadows, a 3D-lit round box, a filled message) against ImageMagick drawing a comparable stack
# at the same size (round box with a blurred shadow, text with a fill, a stroke and a shadow),
# measured in the same run, alternating, and the ratio printed. Uses hyperfine when installed.
#
#   bench/startup_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR holds bin/quorbel and share/quorbel (default build; Release or RelWithDebInfo).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-100}
quorbel=$build/bin/quorbel
data=$build/share/quorbel

. "$here/bench/magick.sh"

[ -x "$quorbel" ] || { echo "no $quorbel; build the quorbel target first" >&2; exit 1; }
font=$(fc-match -f '%{file}' 'Liberation Sans:bold' 2>/dev/null || true)
[ -n "$font" ] || font=DejaVu-Sans-Bold
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

cat >"$work/ours.sh" <<OURS
exec "$quorbel" render "$data/button3d.plq" -o "$work/ours.png" --seed 1
OURS
cat >"$work/magick.sh" <<MAGICK
exec "$magick" -size 223x79 xc:white \\
  \\( -size 223x79 xc:none -fill '#00000080' -draw 'roundrectangle 8,10 218,74 12,12' -blur 0x3 \\) -composite \\
  -fill '#3080ff' -draw 'roundrectangle 4,4 212,68 12,12' \\
  -font "$font" -pointsize 30 -gravity center \\
  -fill '#00000060' -annotate +2+2 'Click me' \\
  -fill white -stroke '#003080' -strokewidth 1 -annotate +0+0 'Click me' \\
  "$work/magick.png"
MAGICK

if command -v hyperfine >/dev/null 2>&1; then
  hyperfine -N --warmup 5 --runs "$runs" --export-json "$work/times.json" \
    "sh $work/ours.sh" "sh $work/magick.sh" >/dev/null
  python3 - "$work/times.json" "$($magick -version | head -n1 | sed 's/^Version: //')" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
ours, im = r[0], r[1]
print(f"quorbel render button3d.plq (223x79): mean {ours['mean']*1e3:.2f} ms, median {ours['median']*1e3:.2f} ms")
print(f"{sys.argv[2]}, comparable stack: mean {im['mean']*1e3:.2f} ms, median {im['median']*1e3:.2f} ms")
print(f"ratio quorbel / ImageMagick: {ours['mean']/im['mean']:.3f} (medians {ours['median']/im['median']:.3f})")
# On a busy machine the wall times carry other processes' waits; the processor time does not.
cpu = lambda x: (x['user'] + x['system']) * 1e3
print(f"processor time (user + system): quorbel {cpu(ours):.2f} ms, ImageMagick {cpu(im):.2f} ms, "
      f"ratio {cpu(ours)/cpu(im):.3f}")
PY
else
  # Alternate the two so that the machine's noise falls on both alike.
  ours_ns=0 magick_ns=0 i=0
  sh "$work/ours.sh"; sh "$work/magick.sh"
  while [ "$i" -lt "$runs" ]; do
    t0=$(date +%s%N); sh "$work/ours.sh"; t1=$(date +%s%N); sh "$work/magick.sh"; t2=$(date +%s%N)
    ours_ns=$((ours_ns + t1 - t0)); magick_ns=$((magick_ns + t2 - t1)); i=$((i + 1))
  done
  echo "quorbel render button3d.plq: $(echo "$ours_ns / $runs / 1000000" | bc -l | cut -c1-6) ms"
  echo "ImageMagick comparable stack: $(echo "$magick_ns / $runs / 1000000" | bc -l | cut -c1-6) ms"
  echo "ratio quorbel / ImageMagick: $(echo "$ours_ns / $magick_ns" | bc -l | cut -c1-5)"
fi
