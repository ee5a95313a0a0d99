#!/usr/bin/env bash
# Renders the hicolor PNGs of the Sonavix icon from its two drawings: the small one (the schwa
# alone, on the 16-pixel grid) up to 24 pixels, the scalable one above. Run after editing either
# SVG and commit the PNGs with it. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../../../desktop/icons"
id=io.github.sonavix.Sonavix
for size in 16 22 24 32 48 64 128 256 512; do
    source=hicolor/scalable/apps/$id.svg
    [ "$size" -le 24 ] && source=$id-small.svg
    mkdir -p "hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$source" -o "hicolor/${size}x${size}/apps/$id.png"
done
