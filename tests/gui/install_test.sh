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
for f in bin/kelvarank bin/kelvarank-cli share/applications/kelvarank.desktop share/metainfo/kelvarank.metainfo.xml \
         share/icons/hicolor/128x128/apps/kelvarank.png share/man/man1/kelvarank.1 share/man/man1/kelvarank-cli.1; do
  [ -s "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
head -c 8 "$prefix/share/icons/hicolor/128x128/apps/kelvarank.png" | od -An -tx1 | grep -q "89 50 4e 47" \
  || { echo "the icon is not a PNG"; exit 1; }
"$prefix/bin/kelvarank" --version | grep -q "^kelvarank " || { echo "kelvarank --version failed"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/kelvarank.desktop"
else
  echo "desktop-file-validate not installed: entry not validated"
fi
if command -v appstream-util >/dev/null; then
  appstream-util validate-relax --nonet "$prefix/share/metainfo/kelvarank.metainfo.xml"
else
  echo "appstream-util not installed: metadata not validated"
fi
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$prefix/share/man/man1/kelvarank.1" >/dev/null 2>&1 || { echo "man page does not format"; exit 1; }
fi
echo "install ok"
