# Sourced by the benchmark scripts: sets $magick to the real ImageMagick (not a wrapper that
# happens to be called convert), installing it with apt when it is missing.
find_magick() {
  for c in magick /usr/bin/convert convert; do
    if command -v "$c" >/dev/null 2>&1 && "$c" -version 2>/dev/null | grep -q ImageMagick; then
      echo "$c"
      return 0
    fi
  done
  return 1
}

if ! magick=$(find_magick); then
  echo "ImageMagick not found; installing it with apt" >&2
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq imagemagick >/dev/null
  magick=$(find_magick) || { echo "ImageMagick could not be installed" >&2; exit 1; }
fi
