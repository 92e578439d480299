#!/usr/bin/env bash
# Renders the program's icon (res/icons/<id>.svg) into the PNG sizes of the hicolor icon theme,
# res/icons/hicolor/NxN/apps/<id>.png. Run it after changing the SVG and commit the PNGs: the build
# and the package take them as they are, so building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
id=io.github.logwarden.Logwarden
svg=res/icons/$id.svg
command -v rsvg-convert >/dev/null || { echo "make-icons: needs rsvg-convert (Debian package librsvg2-bin)" >&2; exit 2; }
for size in 16 22 24 32 48 64 128 256; do
  dir=res/icons/hicolor/${size}x${size}/apps
  mkdir -p "$dir"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" --output "$dir/$id.png"
done
echo "make-icons: rendered $svg into res/icons/hicolor"
