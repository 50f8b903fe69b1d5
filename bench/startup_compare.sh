#!/bin/sh
# Whole-process start-up: one small button rendered by `quorbel render` (button3d.plq, 223x79:
# shadows, a 3D-lit round box, a filled message) against ImageMagick drawing a comparable stack
# at the same size (round box with a blurred shadow, text with a fill, a stroke and a shadow),
# measured in the same run, interleaved, and the ratios printed: wall time, and processor time
# (user + system), which a busy machine disturbs less. Uses hyperfine when installed.
#
#   bench/startup_compare.sh [BUILD_DIR] [RUNS] [BASELINE_BUILD_DIR]
# BUILD_DIR holds bin/quorbel and share/quorbel (default build; Release or RelWithDebInfo).
# BASELINE_BUILD_DIR, when given, is timed in the same run (say, a build of the previous commit).
# The face cache lives in a temporary folder; the warm-up runs fill it, as a user's first render
# does. The first, cold render (fontconfig started) is timed separately and printed too.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-100}
baseline=${3:-}
quorbel=$build/bin/quorbel

. "$here/bench/magick.sh"

[ -x "$quorbel" ] || { echo "no $quorbel; build the quorbel target first" >&2; exit 1; }
[ -z "$baseline" ] || [ -x "$baseline/bin/quorbel" ] || { echo "no $baseline/bin/quorbel" >&2; exit 1; }
font=$(fc-match -f '%{file}' 'Liberation Sans:bold' 2>/dev/null || true)
[ -n "$font" ] || font=DejaVu-Sans-Bold
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"

# Commands without a shell in between (hyperfine -N splits them as a shell would).
ours="$quorbel render $build/share/quorbel/button3d.plq -o $work/ours.png --seed 1"
base=""
[ -z "$baseline" ] || base="$baseline/bin/quorbel render $baseline/share/quorbel/button3d.plq -o $work/base.png --seed 1"
im="$magick -size 223x79 xc:white \
 '(' -size 223x79 xc:none -fill '#00000080' -draw 'roundrectangle 8,10 218,74 12,12' -blur 0x3 ')' -composite \
 -fill '#3080ff' -draw 'roundrectangle 4,4 212,68 12,12' \
 -font $font -pointsize 30 -gravity center \
 -fill '#00000060' -annotate +2+2 'Click me' \
 -fill white -stroke '#003080' -strokewidth 1 -annotate +0+0 'Click me' \
 $work/magick.png"

# Processor time of a render with an empty face cache (fontconfig started), mean of 10.
cold() {
  python3 - "$XDG_CACHE_HOME" "$@" <<'PY'
import resource, shutil, subprocess, sys
total = 0.0
for _ in range(10):
    shutil.rmtree(sys.argv[1], ignore_errors=True)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(sys.argv[2:], check=True, stdout=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    total += (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
print(f"{total / 10 * 1000:.2f}")
PY
}
# shellcheck disable=SC2086 # the commands are split into words on purpose
echo "first render, empty face cache: processor $(cold $ours) ms"
# shellcheck disable=SC2086
[ -z "$base" ] || echo "  baseline: processor $(cold $base) ms"
rm -rf "$XDG_CACHE_HOME"

if command -v hyperfine >/dev/null 2>&1; then
  set -- "$ours" "$im"
  [ -z "$base" ] || set -- "$@" "$base"
  hyperfine -N --warmup 5 --runs "$runs" --export-json "$work/times.json" "$@" >/dev/null
  python3 - "$work/times.json" "$($magick -version | head -n1 | sed 's/^Version: //')" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cpu = lambda x: (x['user'] + x['system']) * 1e3
names = ["quorbel render button3d.plq (223x79)", sys.argv[2] + ", comparable stack", "baseline quorbel"]
for name, x in zip(names, r):
    print(f"{name}: wall mean {x['mean']*1e3:.2f} ms, median {x['median']*1e3:.2f} ms; "
          f"processor {cpu(x):.2f} ms")
im = r[1]
for name, x in [("quorbel", r[0])] + ([("baseline", r[2])] if len(r) > 2 else []):
    print(f"ratio {name} / ImageMagick: wall {x['mean']/im['mean']:.3f} (medians {x['median']/im['median']:.3f}), "
          f"processor {cpu(x)/cpu(im):.3f}")
if len(r) > 2:
    print(f"ratio quorbel / baseline: wall {r[0]['mean']/r[2]['mean']:.3f}, processor {cpu(r[0])/cpu(r[2]):.3f}")
PY
else
  # Alternate the commands so that the machine's noise falls on all alike.
  ours_ns=0 magick_ns=0 i=0
  $ours; eval "$im"
  while [ "$i" -lt "$runs" ]; do
    t0=$(date +%s%N); $ours; t1=$(date +%s%N); eval "$im"; t2=$(date +%s%N)
    ours_ns=$((ours_ns + t1 - t0)); magick_ns=$((magick_ns + t2 - t1)); i=$((i + 1))
  done
  echo "quorbel render button3d.plq: $(echo "$ours_ns / $runs / 1000000" | bc -l | cut -c1-6) ms"
  echo "ImageMagick comparable stack: $(echo "$magick_ns / $runs / 1000000" | bc -l | cut -c1-6) ms"
  echo "ratio quorbel / ImageMagick: $(echo "$ours_ns / $magick_ns" | bc -l | cut -c1-5)"
fi
