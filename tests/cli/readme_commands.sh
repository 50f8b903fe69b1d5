#!/bin/bash
# Pastes every command of the README's ```sh blocks, in order, into one fresh folder, as a new
# user would, against the built program. Each must exit 0, and every file its comment promises
# ("# writes a.png b.png") must be there and not empty. The scripts/ lines install and build, so
# they are skipped.
# usage: readme_commands.sh README.md BIN_FOLDER
set -u
readme=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bin=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$bin:$PATH"
cd "$work" || exit 1

passed=0
failed=0
in_block=0
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    '```sh') in_block=1; continue ;;
    '```'*) in_block=0; continue ;;
  esac
  [ "$in_block" = 1 ] || continue
  [ -n "${line//[[:space:]]/}" ] || continue
  case "$line" in
    scripts/*) echo "skipped (installs and builds): $line"; continue ;;
    'cmake --install build'*|'cpack --config build/'*)
      echo "skipped (needs the checkout's build; the install_package test runs it): $line"; continue ;;
  esac
  # The comment starts at two blanks and a '#'; a '#' inside the command (a colour) stays.
  cmd=${line%%  \#*}
  comment=""
  [ "$cmd" != "$line" ] && comment=${line#*  \# }
  if ! bash -c "$cmd" >"$work/.out" 2>&1; then
    echo "FAILED (status $?): $cmd"
    sed 's/^/    /' "$work/.out"
    failed=$((failed + 1))
    continue
  fi
  missing=""
  case "$comment" in
    writes\ *)
      for f in ${comment#writes }; do
        [ -s "$f" ] || missing="$missing $f"
      done ;;
  esac
  if [ -n "$missing" ]; then
    echo "FAILED (not written:$missing): $cmd"
    failed=$((failed + 1))
  else
    echo "ok: $cmd"
    passed=$((passed + 1))
  fi
done <"$readme"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
