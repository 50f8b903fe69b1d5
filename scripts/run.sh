#!/usr/bin/env bash
# Installs what is missing, builds the program, and renders the default document to a picture.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBEL_TESTS=OFF -DQUORBEL_FUZZ=OFF >/dev/null
cmake --build build --parallel "$(nproc)" >/dev/null
mkdir -p out
out="$PWD/out/quorbel.png"
# quorbel prints the path of every file it wrote.
build/bin/quorbel render --style golden --size 48 -o "$out"
