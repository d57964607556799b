#!/usr/bin/env bash
# Draws Vellora's default spare picture, the picture the saver and the setup
# dialog fall back to when the chosen one cannot be loaded: a warm radial
# gradient with a ring, 320 x 240 pixels, as a 24-bit Windows bitmap.
#   resources/make-spare-picture.sh OUT.bmp
set -euo pipefail
out=${1:?usage: make-spare-picture.sh OUT.bmp}
mkdir -p "$(dirname "$out")"
convert -size 320x240 radial-gradient:'#ffd24a'-'#1b3a8c' \
  -fill '#f2f2f2' -draw 'circle 160,120 160,60' -fill '#1b3a8c' -draw 'circle 160,120 160,90' \
  -define bmp:format=bmp3 "BMP3:$out"
