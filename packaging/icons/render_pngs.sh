#!/usr/bin/env bash
# Renders the PNG sizes of the icon from quorbel.svg (needs rsvg-convert from librsvg2-bin).
# The PNGs are kept in the repository so that building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")"
for s in 16 32 48 64 128 256; do rsvg-convert -w "$s" -h "$s" quorbel.svg -o "quorbel-$s.png"; done
