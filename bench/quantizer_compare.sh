#!/bin/sh
# Colour reduction to 16 and 256 colours, ours against ImageMagick and pngquant, in the same run:
# every shipped example is rendered once as true colour, then each tool reduces every picture
# RUNS times. Prints the total time per tool and the mean PSNR against the true-colour pictures
# (ImageMagick's `compare`, identical pictures counted as 99 dB).
#
#   bench/quantizer_compare.sh [BIN_DIR] [RUNS]
# BIN_DIR holds the quorbel executable (default build/bin).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin}
runs=${2:-5}
. "$here/bench/magick.sh"
compare=$(dirname "$(command -v "$magick")")/compare
command -v pngquant >/dev/null 2>&1 || { echo "pngquant is missing: apt-get install pngquant" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CONFIG_HOME="$work/config"
data=${QUORBEL_DATA:-$bin/../share/quorbel}
for doc in "$data"/*.plq; do
  "$bin/quorbel" render "$doc" -o "$work/$(basename "$doc" .plq).png" --seed 3 >/dev/null
done
pictures=$(ls "$work"/*.png)

now() { date +%s.%N; }

# tool name, colours: writes $work/out/<picture> for every picture, RUNS times; prints seconds.
reduce() {
  mkdir -p "$work/out"
  start=$(now)
  i=0
  while [ $i -lt "$runs" ]; do
    for p in $pictures; do
      o="$work/out/$(basename "$p")"
      case $1 in
        quorbel) "$bin/quorbel" convert "$p" "$o" --colors "$2" --quantizer quality >/dev/null ;;
        quorbel-dither) "$bin/quorbel" convert "$p" "$o" --colors "$2" --quantizer quality --dither >/dev/null ;;
        quorbel-median) "$bin/quorbel" convert "$p" "$o" --colors "$2" --quantizer median >/dev/null ;;
        imagemagick) "$magick" "$p" +dither -colors "$2" "png8:$o" ;;
        imagemagick-dither) "$magick" "$p" -colors "$2" "png8:$o" ;;
        pngquant-nofs) pngquant --force --nofs "$2" -o "$o" "$p" ;;
        pngquant-dither) pngquant --force "$2" -o "$o" "$p" ;;
      esac
    done
    i=$((i + 1))
  done
  echo "$(now) $start" | awk '{printf "%.3f", $1 - $2}'
}

psnr() {
  for p in $pictures; do
    "$compare" -metric PSNR "$p" "$work/out/$(basename "$p")" null: 2>&1 || true
    echo
  done | awk '{v = ($1 == "inf" || $1 + 0 > 99) ? 99 : $1 + 0; s += v; n++} END {printf "%.2f", s / n}'
}

n=$(echo "$pictures" | wc -w)
echo "$n pictures x $runs runs"
printf '%-20s %8s %10s %9s\n' tool colours "time (s)" "PSNR (dB)"
for colours in 16 256; do
  for tool in quorbel quorbel-dither quorbel-median imagemagick imagemagick-dither pngquant-nofs pngquant-dither; do
    t=$(reduce $tool "$colours")
    printf '%-20s %8s %10s %9s\n' "$tool" "$colours" "$t" "$(psnr)"
  done
done
