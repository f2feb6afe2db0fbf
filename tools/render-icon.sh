#!/usr/bin/env bash
# Renders the program's icon from its drawing source at the sizes Explorer, the taskbar and the
# title bar ask for. The ICO is committed, so only a change to panel/art/Icon.mvg needs this
# (and ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for size in 16 24 32 48 256; do
    convert -background none -density $((72 * size / 64)) mvg:panel/art/Icon.mvg \
        -resize "${size}x${size}!" "$scratch/$size.png"
done
convert "$scratch"/16.png "$scratch"/24.png "$scratch"/32.png "$scratch"/48.png \
    "$scratch"/256.png panel/Quorvel.ico
