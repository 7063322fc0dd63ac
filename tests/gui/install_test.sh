#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs:
# both programs, the desktop entry, the AppStream metadata, the icon and the
# manual pages; the entry and the metadata pass their validators when those
# are installed.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.kelvarank.kelvarank
for f in bin/kelvarank bin/kelvarank-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/man/man1/kelvarank.1 share/man/man1/kelvarank-cli.1; do
  [ -s "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -s "$icon" ] || { echo "missing after install: the ${size} pixel icon"; exit 1; }
  head -c 8 "$icon" | od -An -tx1 | grep -q "89 50 4e 47" || { echo "the ${size} pixel icon is not a PNG"; exit 1; }
  # PNG width and height (big-endian at offsets 16 and 20).
  [ "$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')" = "${size}x${size}" ] \
    || { echo "the ${size} pixel icon has another size"; exit 1; }
done
# The entry names the icon and the window class the program sets; the
# metadata's id is the entry's name.
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || { echo "the entry names another icon"; exit 1; }
grep -qx "StartupWMClass=KelvaRANK" "$prefix/share/applications/$id.desktop" \
  || { echo "the entry names another window class"; exit 1; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" \
  || { echo "the metadata launches another entry"; exit 1; }
"$prefix/bin/kelvarank" --version | grep -q "^kelvarank " || { echo "kelvarank --version failed"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$id.desktop"
else
  echo "desktop-file-validate not installed: entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --strict --no-net "$prefix/share/metainfo/$id.metainfo.xml"
else
  echo "appstreamcli not installed: metadata not validated strictly"
fi
if command -v appstream-util >/dev/null; then
  appstream-util validate-relax --nonet "$prefix/share/metainfo/$id.metainfo.xml"
else
  echo "appstream-util not installed: metadata not validated"
fi
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$prefix/share/man/man1/kelvarank.1" >/dev/null 2>&1 || { echo "man page does not format"; exit 1; }
fi
echo "install ok"
