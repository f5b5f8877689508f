#!/usr/bin/env bash
# Draws the splash test picture (splash.jpg, 480 x 270): a blue gradient with
# a white disc and bars, so that its shape and centring show in screenshots.
# Needs ImageMagick.
set -euo pipefail
out=${1:-$(dirname "$0")/splash.jpg}
/usr/bin/convert -size 480x270 gradient:'#2b7de9'-'#0b2e6b' \
  -fill white -draw 'circle 120,135 120,75' \
  -fill '#ffd54f' -draw 'rectangle 220,90 440,110' -draw 'rectangle 220,125 400,145' \
  -draw 'rectangle 220,160 420,180' -strip -quality 85 "$out"
