#!/usr/bin/env bash
# Draws the tool bar's fallback icons, shown where the desktop's icon theme
# has none: 48 px for high-density screens, scaled to 24 px. Needs ImageMagick;
# run it only to change them, the PNGs are part of the sources.
set -euo pipefail
cd "$(dirname "$0")"
draw() {
    local name=$1
    shift
    convert -size 48x48 xc:none -strokewidth 4 -fill none "$@" "$name@2x.png"
    convert "$name@2x.png" -resize 24x24 "$name.png"
}
# A recording: a red dot.
draw record -stroke '#8b0000' -fill '#d01010' -draw 'circle 24,24 24,8'
# Another channel: two arrows passing each other.
draw channel -stroke '#2a4d80' \
    -draw 'line 8,16 38,16' -draw 'polyline 30,8 38,16 30,24' \
    -draw 'line 40,32 10,32' -draw 'polyline 18,24 10,32 18,40'
# The same channel again: a circling arrow.
draw reconnect -stroke '#2a6d2a' -draw 'arc 8,8 40,40 30,320' -fill '#2a6d2a' -strokewidth 1 \
    -draw 'polygon 44,8 41,22 28,16'
# The pressure chart: axes and a rising line.
draw chart -stroke '#404040' -draw 'line 6,4 6,42' -draw 'line 6,42 44,42' -stroke '#c02020' \
    -draw 'line 10,36 18,26' -draw 'line 18,26 26,30' -draw 'line 26,30 34,14' -draw 'line 34,14 42,10'
