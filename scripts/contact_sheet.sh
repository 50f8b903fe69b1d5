#!/bin/sh
# Regenerates docs/examples.png, the contact sheet of every shipped example document, rendered
# by the built program with a fixed seed and laid out with ImageMagick's montage.
#
#   scripts/contact_sheet.sh [BIN_DIR] [OUTPUT]
# BIN_DIR holds quorbel (default build/bin); OUTPUT defaults to docs/examples.png.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin}
out=${2:-$here/docs/examples.png}
data=${QUORBEL_DATA:-$bin/../share/quorbel}
command -v montage >/dev/null 2>&1 || { echo "montage (ImageMagick) is missing: apt-get install imagemagick" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CONFIG_HOME="$work/config"
for doc in "$data"/*.plq; do
  name=$(basename "$doc" .plq)
  "$bin/quorbel" render "$doc" -o "$work/$name.png" --seed 1 >/dev/null
done
tmp="$out.tmp.png"
montage "$work"/*.png -label '%t' -font DejaVu-Sans -pointsize 12 -tile 3x -geometry '+14+10' \
  -background '#f3f4f6' "$tmp" 2>/dev/null || montage "$work"/*.png -tile 3x -geometry '+14+10' -background '#f3f4f6' "$tmp"
mv "$tmp" "$out"
echo "$out: $(ls "$work"/*.png | wc -l) examples"
