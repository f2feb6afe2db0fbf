#!/usr/bin/env bash
# Renders the panel's background picture from its drawing source. The BMP is committed, so
# only a change to panel/art/Background.mvg needs this (and ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
convert -size 480x160 +antialias mvg:panel/art/Background.mvg -depth 8 ppm:- |
    python3 tools/write-indexed-bmp.py panel/Background.bmp
