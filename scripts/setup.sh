#!/usr/bin/env bash
# Installs, with apt, whatever this project needs that the machine lacks. Quiet when all is there.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ clang libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-liberation2 fonts-dejavu-core
  libharfbuzz-dev libfribidi-dev fonts-wqy-microhei fonts-noto-color-emoji fonts-lohit-deva pango1.0-tools
  libinih-dev libcli11-dev qt6-base-dev
  zlib1g-dev libpng-dev libjpeg-dev libgif-dev
  libwebp-dev
  help2man desktop-file-utils dpkg-dev
  imagemagick
)
if [ "${QUORBEL_EXTRA_PACKAGES:-}" != "" ]; then
  # shellcheck disable=SC2206
  packages+=(${QUORBEL_EXTRA_PACKAGES})
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
