#!/usr/bin/env bash
# Draws the notice dialog's six symbols (32 x 32 PNG with alpha) into this
# folder. Each is drawn at 128 x 128 from shapes only (no fonts) and scaled
# down, which gives smooth edges. Needs ImageMagick.
set -euo pipefail
out=${1:-$(dirname "$0")}
convert=/usr/bin/convert

draw() {  # name, MVG drawing commands at 128 x 128
  "$convert" -size 128x128 xc:none -draw "$2" -filter Lanczos -resize 32x32 -strip \
    -define png:color-type=6 "PNG32:$out/$1.png"
}

disc() {  # fill colour, rim colour
  echo "fill $1 stroke $2 stroke-width 4 circle 64,64 64,5"
}

question_mark() {  # colour, stroke width, then x y scale of the glyph box
  local c=$1 w=$2
  echo "fill none stroke $c stroke-width $w stroke-linecap round stroke-linejoin round
        path 'M 46,50 C 46,28 84,26 84,48 C 84,64 64,62 64,80'
        fill $c stroke none circle 64,100 64,$((100 - w / 2 - 2))"
}

# 1 error: white cross on a red disc.
draw symbol_error "$(disc '#d93025' '#a50e0e')
  stroke white stroke-width 15 stroke-linecap round line 43,43 85,85 line 85,43 43,85"

# 2 question: white question mark on a blue disc.
draw symbol_question "$(disc '#1a73e8' '#0b4fb3') $(question_mark white 14)"

# 3 information: white letter i on a blue disc.
draw symbol_information "$(disc '#1a73e8' '#0b4fb3')
  fill white stroke none circle 64,35 64,25 roundrectangle 55,50 73,100 5,5"

# 4 warning: black exclamation mark on a yellow triangle.
draw symbol_warning "fill '#fbc02d' stroke '#b78103' stroke-width 5 stroke-linejoin round
  polygon 64,8 123,116 5,116
  fill black stroke none roundrectangle 57,38 71,84 6,6 circle 64,100 64,91"

# 5 help: question mark in a speech balloon.
draw symbol_help "fill '#e8f0fe' stroke '#1a73e8' stroke-width 6 stroke-linejoin round
  path 'M 28,10 L 100,10 Q 120,10 120,30 L 120,76 Q 120,96 100,96 L 60,96 L 30,122 L 36,96 L 28,96 Q 8,96 8,76 L 8,30 Q 8,10 28,10 Z'
  fill none stroke '#1a73e8' stroke-width 12 stroke-linecap round stroke-linejoin round
  path 'M 48,40 C 48,20 80,20 80,38 C 80,52 64,52 64,64'
  fill '#1a73e8' stroke none circle 64,80 64,73"

# 6 success: white check mark on a green disc.
draw symbol_success "$(disc '#1e8e3e' '#0d652d')
  fill none stroke white stroke-width 15 stroke-linecap round stroke-linejoin round
  polyline 37,66 56,85 92,45"
