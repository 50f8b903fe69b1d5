#!/usr/bin/env bash
# Writes the quorbel(1) man page from the program's own --help texts, so that the page never
# drifts from the options: help2man formats the top-level help and --version, and every
# command's help goes into a COMMANDS section as preformatted text.
# usage: make_manpage.sh QUORBEL_BINARY OUT.1
set -euo pipefail
bin=$1
out=$2
command -v help2man >/dev/null || { echo "help2man is missing (apt-get install help2man)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Roff reads a backslash as an escape and a line starting with '.' or "'" as a request; "\-" keeps
# options typed with plain hyphens when the page is copied from.
escape() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

{
  echo "[COMMANDS]"
  for cmd in render batch size convert list; do
    echo ".SS $cmd"
    echo ".nf"
    "$bin" "$cmd" --help | escape
    echo ".fi"
  done
  cat <<'SECTIONS'
[FILES]
.TP
.I ~/.config/quorbel/quorbel.ini
Preferences shared with quorbel-desktop (section [quorbel]).
.TP
.I /usr/share/quorbel/
Shipped examples, styles, textures and help (the data folder; QUORBEL_DATA overrides it).
[EXIT STATUS]
0 when every requested file was written, 1 when something failed (the reason on standard error as
"quorbel: <file>: <reason>"), 2 for a usage error.
[SEE ALSO]
quorbel-desktop, the desktop application on the same documents, styles and preferences.
SECTIONS
} >"$work/sections.h2m"

# help2man names the page after the first word of --version ("Quorbel"); the command is lower case.
version=$("$bin" --version | sed 's/^Quorbel /quorbel /')
help2man --no-info --section 1 --version-string "$version" \
  --name "make decorated pictures of text: headings, web buttons and banners" \
  --include "$work/sections.h2m" --output "$work/page.1" "$bin"
mv "$work/page.1" "$out"
