#!/bin/sh
# make_pictures.sh DIR: photo-N.jpg, grey blocks of 8 x 8 pixels (0 48 96 over 144 192 240 as shown) stored turned
# and tagged with Exif orientation N; a grey JPEG of 200 megapixels, a black one over the cap; alpha.png (green,
# white half see-through, see-through), clear.gif (blue, see-through) and an orange TIFF of 30 x 20.
set -eu
cd "$1"
convert -size 8x8 xc:'gray(0)' xc:'gray(48)' xc:'gray(96)' +append \
  \( -size 8x8 xc:'gray(144)' xc:'gray(192)' xc:'gray(240)' +append \) -append pattern.pgm
n=0
for turn in "" -flop "-rotate 180" -flip -transpose "-rotate 270" -transverse "-rotate 90"; do
  n=$((n + 1))
  convert pattern.pgm $turn -quality 100 "photo-$n.jpg"
  exiftool -q -overwrite_original -n -Orientation="$n" "photo-$n.jpg"
done
{ echo P5 16320 12240 255; head -c 199756800 /dev/zero | tr '\0' '\240'; } | cjpeg -grayscale -quality 100 >200-megapixels.jpg
{ echo P5 16385 16384 255; head -c 268451840 /dev/zero; } | cjpeg -grayscale >over-the-cap.jpg
convert -size 10x10 xc:lime xc:'#ffffff80' xc:none +append PNG32:alpha.png
convert -size 10x10 xc:blue -size 20x10 xc:none +append clear.gif
convert -size 30x20 xc:'rgb(255,128,0)' -type TrueColor -depth 8 orange.tif
rm pattern.pgm && touch made
