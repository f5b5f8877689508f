#!/usr/bin/env bash
# Draws the sample splash picture (splash.jpg) with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
/usr/bin/convert -size 480x270 gradient:'#1f6feb'-'#0b1f44' -fill white -font DejaVu-Sans-Bold \
  -pointsize 34 -gravity center -annotate +0-20 'Sample Planner' \
  -pointsize 16 -annotate +0+25 'a compiled workbook application' -quality 85 splash.jpg
