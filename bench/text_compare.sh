#!/bin/sh
# Cost of text layout: the default button and an 800x188 heading, rendered by a reference build
# and by this build in alternation (same run, same machine load), ROUNDS times each; prints the
# median milliseconds per render and the ratio this/reference.
#
#   bench/text_compare.sh REFERENCE_BIN_DIR [BUILD_DIR] [ROUNDS]
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
ref=$1/quorbel
new=${2:-$here/build}/bin/quorbel
rounds=${3:-40}
[ -x "$ref" ] && [ -x "$new" ] || { echo "need $ref and $new" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# The fire example with a 170-pixel "Headings": about 800 x 188.
sed -e 's/^HOT DEAL/Headings/' -e 's/^font 54 0 900/font 170 0 900/' "$here/resources/data/fire.plq" > "$work/heading.plq"

# Milliseconds of one render.
once() {
  s=$(date +%s%N)
  "$@" > /dev/null
  e=$(date +%s%N)
  echo $(( (e - s) / 1000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1000 }'; }

for case in button heading; do
  if [ "$case" = button ]; then args="-o $work/out.png --seed 1"; else args="$work/heading.plq -o $work/out.png --seed 1"; fi
  : > "$work/ref.txt"
  : > "$work/new.txt"
  i=0
  while [ $i -lt "$rounds" ]; do
    # shellcheck disable=SC2086
    once "$ref" render $args >> "$work/ref.txt"
    # shellcheck disable=SC2086
    once "$new" render $args >> "$work/new.txt"
    i=$((i + 1))
  done
  r=$(median < "$work/ref.txt")
  n=$(median < "$work/new.txt")
  echo "$case: reference $r ms, this build $n ms, ratio $(echo "$n $r" | awk '{ printf "%.3f", $1 / $2 }')"
done
