#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the Debian package, as the README's Install
# section does, then runs what was installed: the programs must find their data beside them,
# the menu entry must validate, the icons and the man page must be where desktops and man look.
# usage: install_test.sh BUILD_FOLDER
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QUORBEL_DATA   # the installed program must find its own data
export QT_QPA_PLATFORM=offscreen
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }
need() { [ -s "$1" ] || fail "missing $1"; }

# PNG width and height from the IHDR chunk, as "WxH".
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}'; }

# Checks a tree installed at root/prefix and runs its command line from a folder of its own.
check_tree() {
  local p=$1 what=$2
  need "$p/bin/quorbel"
  need "$p/bin/bmp2gif"
  need "$p/share/quorbel/neon.plq"
  need "$p/share/quorbel/golden.sty"
  if [ -e "$p/bin/quorbel-desktop" ]; then
    need "$p/share/applications/quorbel.desktop"
    if command -v desktop-file-validate >/dev/null; then
      desktop-file-validate "$p/share/applications/quorbel.desktop" || fail "$what: desktop entry does not validate"
    fi
    need "$p/share/mime/packages/quorbel.xml"
    need "$p/share/icons/hicolor/scalable/apps/quorbel.svg"
    for s in 16 32 48 64 128 256; do
      local icon="$p/share/icons/hicolor/${s}x${s}/apps/quorbel.png"
      need "$icon"
      [ -s "$icon" ] && [ "$(png_size "$icon")" = "${s}x${s}" ] || fail "$what: $icon is not ${s}x${s}"
    done
    # The application must start (and keep running) from the installed tree.
    timeout 5 "$p/bin/quorbel-desktop" >"$work/desktop.log" 2>&1
    [ $? = 124 ] || { fail "$what: quorbel-desktop did not keep running"; cat "$work/desktop.log"; }
  fi
  local page="$p/share/man/man1/quorbel.1.gz"
  need "$page"
  if [ -s "$page" ]; then
    zcat "$page" | grep -q '^\.TH QUORBEL "1"' || fail "$what: man page has no title line"
    # Every command's options are in the page.
    for opt in '\\-\\-pressed' '\\-\\-manifest' '\\-\\-jpeg\\-compression'; do
      zcat "$page" | grep -q -- "$opt" || fail "$what: man page lacks $opt"
    done
  fi
  mkdir -p "$work/run-$what" && cd "$work/run-$what" || return
  "$p/bin/quorbel" render neon -o neon.png >out.txt 2>err.txt || { fail "$what: render failed"; cat err.txt; }
  [ -s neon.png ] || fail "$what: render wrote no neon.png"
  "$p/bin/quorbel" list examples | grep -q '^neon' || fail "$what: list examples does not show the installed examples"
  cd "$work" || return
}

# 1. cmake --install into a fresh prefix.
if cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
  check_tree "$work/prefix" install
else
  fail "cmake --install"; cat "$work/install.log"
fi

# 2. cpack -G DEB; the package's files unpacked into a fresh root must run the same way.
if command -v dpkg-deb >/dev/null; then
  if cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
    deb=$(ls "$work"/package/quorbel_*.deb 2>/dev/null | head -1)
    if [ -n "$deb" ]; then
      dpkg-deb -f "$deb" Package | grep -qx quorbel || fail "package name"
      deps=$(dpkg-deb -f "$deb" Depends)
      echo "Depends: $deps"
      echo "$deps" | grep -q 'libc6' || fail "Depends lacks the libraries (dpkg-shlibdeps did not run)"
      dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
      check_tree "$work/root/usr" package
    else
      fail "cpack wrote no .deb"; cat "$work/cpack.log"
    fi
  else
    fail "cpack -G DEB"; cat "$work/cpack.log"
  fi
else
  echo "dpkg-deb not found: the package is not checked"
fi

[ "$failed" = 0 ] && echo "install and package: ok"
[ "$failed" = 0 ]
