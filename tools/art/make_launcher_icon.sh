#!/usr/bin/env bash
# Draws the launcher's default icon (core/launcher.ico): a rounded blue square
# with a white "B", at 32 and 16 pixels. Needs ImageMagick.
set -euo pipefail
out=${1:-$(dirname "$0")/../../core/launcher.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/convert -size 32x32 xc:none -fill '#1f6feb' -draw 'roundrectangle 1,1 30,30 6,6' \
  -fill white -draw 'rectangle 9,8 13,24' -draw 'rectangle 13,8 21,12' \
  -draw 'rectangle 13,15 21,19' -draw 'rectangle 13,21 21,24' \
  -draw 'rectangle 20,12 23,15' -draw 'rectangle 20,18 23,21' "$work/32.png"
/usr/bin/convert "$work/32.png" -resize 16x16 "$work/16.png"
/usr/bin/convert "$work/32.png" "$work/16.png" "$out"
