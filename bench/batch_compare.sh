#!/bin/sh
# Files per second of a 200-string batch of 800x200 plaquets, as PNG and as JPEG, with 1 and 2
# jobs, against a shell loop over ImageMagick making a comparable stack (text, gradient fill,
# stroke, blurred shadow) in the same run. Prints the rates and the ratios.
#
# Then a plain list (one string per line) of PLAIN strings, named '{index:04}' with a manifest,
# as PNG with 2 jobs, against the same ImageMagick PNG loop.
#
#   bench/batch_compare.sh [BUILD_DIR] [STRINGS] [PLAIN]
# BUILD_DIR holds bin/quorbel (a Release build; default build).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
count=${2:-200}
plain=${3:-1000}
quorbel=$build/bin/quorbel
[ -x "$quorbel" ] || { echo "no $quorbel: build first (scripts/run.sh)" >&2; exit 1; }

. "$here/bench/magick.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The design: the shipped golden style on a 100-pixel bold face, extended to about 800x200.
doc=$work/design.plq
printf ';save draw plaquet list\r\ntype 2\r\nmessage\r\na\r\n<br>\r\nparam 950 950 100 100 100 100\r\nfont 20 10 400 0 0 0 0 0\r\nArial\r\nfmoreinfo 0 0\r\nextention 60 40\r\nBackground 2 16777215 \r\nend\r\n;Number of Effect : 0\r\nBackground 2 16777215 \r\nend\r\n' > "$doc"
printf ';save draw plaquet list\r\ntype 2\r\nmessage\r\na\r\n<br>\r\nparam 950 950 100 100 100 100\r\nfont 20 10 400 0 0 0 0 0\r\nArial\r\nfmoreinfo 0 0\r\nextention 0 0\r\nBackground 2 16777215 \r\nend\r\n;Number of Effect : 0\r\nBackground 2 16777215 \r\nend\r\n' >> "$doc"
printf ';save draw plaquet list\r\ntype 0\r\nmessage\r\nQuorbel!\r\n<br>\r\nparam 950 950 100 100 100 100\r\nfont 110 0 700 0 0 0 0 0\r\nArial\r\nfmoreinfo 0 0\r\nextention 0 0\r\nBackground 2 16777215 \r\nend\r\n' >> "$doc"
cat "$here/resources/data/golden.sty" >> "$doc"

list=$work/list.blt
: > "$list"
i=0
while [ $i -lt "$count" ]; do printf 'Button %d\r\n<<br>>\r\n' $i >> "$list"; i=$((i + 1)); done
printf '<<end>>\r\n' >> "$list"

now() { date +%s.%N; }
rate() { echo "$1 $2 $3" | awk '{ printf "%.1f", $1 / ($3 - $2) }'; }

"$quorbel" render "$doc" -o "$work/probe.png" --seed 1 >/dev/null
size=$(file "$work/probe.png" 2>/dev/null | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p')
echo "picture size: ${size:-unknown}, $count strings"

for type in png jpeg; do
  for jobs in 1 2; do
    mkdir -p "$work/$type$jobs"
    t0=$(now)
    "$quorbel" batch "$list" "$doc" -o "$work/$type$jobs/b" --type $type --jobs $jobs --seed 1 2>/dev/null
    t1=$(now)
    r=$(rate "$count" "$t0" "$t1")
    echo "quorbel $type, $jobs job(s): $r files/s"
    eval "q_${type}_$jobs=$r"
  done
done

plainlist=$work/plain.txt
i=0
while [ $i -lt "$plain" ]; do printf 'Button %d\n' $i; i=$((i + 1)); done > "$plainlist"
mkdir -p "$work/plain"
t0=$(now)
"$quorbel" batch "$plainlist" "$doc" -o "$work/plain/" --name '{index:04}' --manifest "$work/plain/manifest.json" \
  --type png --jobs 2 --seed 1 --quiet
t1=$(now)
written=$(ls "$work/plain" | grep -c '^[0-9]\{4\}\.png$')
[ "$written" = "$plain" ] || { echo "plain list: $written of $plain files written" >&2; exit 1; }
q_plain=$(rate "$plain" "$t0" "$t1")
echo "quorbel png, plain list of $plain, --name '{index:04}' + manifest, 2 jobs: $q_plain files/s"

font=$(fc-match -f '%{file}' 'Liberation Sans:bold' 2>/dev/null || true)
[ -n "$font" ] || font=DejaVu-Sans
for type in png jpg; do
  mkdir -p "$work/im_$type"
  t0=$(now)
  i=0
  while [ $i -lt "$count" ]; do
    text="Button $i"
    "$magick" -size 800x200 xc:white -font "$font" -pointsize 110 -gravity center \
      \( -size 800x200 xc:none -fill '#404040' -annotate +3+3 "$text" -blur 0x1.5 \) -compose Over -composite \
      \( -size 800x200 gradient:'#ffe65a'-'#aa6400' -alpha set \
         \( -size 800x200 xc:none -fill white -annotate +0+0 "$text" \) -compose DstIn -composite \) \
      -compose Over -composite -fill none -stroke '#3c2800' -strokewidth 2 -annotate +0+0 "$text" \
      "$work/im_$type/b$i.$type"
    i=$((i + 1))
  done
  t1=$(now)
  r=$(rate "$count" "$t0" "$t1")
  echo "ImageMagick $type loop: $r files/s"
  eval "m_$type=$r"
done

echo "$q_png_1 $q_png_2 $m_png $q_jpeg_1 $q_jpeg_2 $m_jpg $q_plain" | awk '{
  printf "ratio PNG: %.1fx (1 job), %.1fx (2 jobs)\n", $1 / $3, $2 / $3;
  printf "ratio JPEG: %.1fx (1 job), %.1fx (2 jobs)\n", $4 / $6, $5 / $6;
  printf "ratio PNG plain list with names and manifest: %.1fx (2 jobs)\n", $7 / $3 }'
