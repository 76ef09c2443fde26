#!/usr/bin/env bash
# The launcher's icons in the hicolor theme's layout, cut from the tank as ferrox_icon
# renders it: the key colour made transparent, the tank trimmed, centred on a square and
# scaled to each size.
# Usage: make-icons.sh <ferrox_icon> <media dir> <output dir> <size>...
set -euo pipefail
renderer=$1 media=$2 out=$3
shift 3
mkdir -p "$out"
render="$out/render.png"
"$renderer" "$media" "$render"
# The tank fills 92 % of the square; the rest is a transparent margin.
side=$(convert "$render" -transparent '#FF00FF' -trim -format '%[fx:int(max(w,h)/0.92)]' info:)
for size in "$@"; do
  mkdir -p "$out/${size}x${size}/apps"
  convert "$render" -transparent '#FF00FF' -trim +repage -background none -gravity center \
    -extent "${side}x${side}" -filter Lanczos -resize "${size}x${size}" -strip \
    -define png:exclude-chunks=date,time "PNG32:$out/${size}x${size}/apps/ferrox.png"
done
rm -f "$render"
