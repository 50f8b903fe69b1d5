#!/bin/sh
# Regenerates docs/examples.png, the contact sheet of every shipped example document, rendered
# by the built program with a fixed seed and laid out with ImageMagick's montage.
#
#   scripts/contact_sheet.sh [BIN_DIR] [OUTPUT] [SCALES]
# BIN_DIR holds quorbel (default build/bin); OUTPUT defaults to docs/examples.png. With SCALES
# (e.g. 1,2,3) every example gets a row of its pictures at those scales, each at its true size
# (OUTPUT then defaults to docs/examples_scales.png).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin}
scales=${3:-}
if [ -n "$scales" ]; then out=${2:-$here/docs/examples_scales.png}; else out=${2:-$here/docs/examples.png}; fi
data=${QUORBEL_DATA:-$bin/../share/quorbel}
command -v montage >/dev/null 2>&1 || { echo "montage (ImageMagick) is missing: apt-get install imagemagick" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CONFIG_HOME="$work/config"
for doc in "$data"/*.plq; do
  name=$(basename "$doc" .plq)
  if [ -n "$scales" ]; then
    "$bin/quorbel" render "$doc" -o "$work/$name.png" --seed 1 --scales "$scales" >/dev/null
  else
    "$bin/quorbel" render "$doc" -o "$work/$name.png" --seed 1 >/dev/null
  fi
done
tmp="$out.tmp.png"
if [ -n "$scales" ]; then
  # One row per example: name.png, name@2x.png, ... in the order of the scales.
  columns=$(echo "$scales" | tr ',' '\n' | wc -l)
  files=""
  for doc in "$data"/*.plq; do
    name=$(basename "$doc" .plq)
    for s in $(echo "$scales" | tr ',' ' '); do
      if [ "$s" = 1 ]; then files="$files $work/$name.png"; else files="$files $work/$name@${s}x.png"; fi
    done
  done
  # shellcheck disable=SC2086
  montage $files -label '%t' -font DejaVu-Sans -pointsize 12 -tile "${columns}x" -geometry '+10+8' \
    -background '#f3f4f6' "$tmp"
  mv "$tmp" "$out"
  echo "$out: $(ls "$work"/*.png | wc -l) pictures"
  exit 0
fi
montage "$work"/*.png -label '%t' -font DejaVu-Sans -pointsize 12 -tile 3x -geometry '+14+10' \
  -background '#f3f4f6' "$tmp" 2>/dev/null || montage "$work"/*.png -tile 3x -geometry '+14+10' -background '#f3f4f6' "$tmp"
mv "$tmp" "$out"
echo "$out: $(ls "$work"/*.png | wc -l) examples"
