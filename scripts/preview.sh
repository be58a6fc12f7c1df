#!/usr/bin/env bash
# Draws docs/preview.png from data/: the four zoom logos, the two logotypes,
# the four star sprites (enlarged) and the whole font on one sheet, twice
# the size, on a slate background that stands where the intro's pixel
# value 0 (transparent) is.  Needs ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tmp="$build/preview"
mkdir -p "$tmp" docs
background='#2a3342'

# One picture with its 0 pixels made transparent, enlarged by a percentage,
# with a margin around it.
tile() {
  convert "data/$1" -transparent black -scale "$2%" -bordercolor none -border 6 "$tmp/$1.png"
}
row() {  # output, tiles...
  local out=$1
  shift
  convert -background none -gravity center "$@" +append +repage "$tmp/$out"
}

for f in VORN.ppm present.ppm kolmira.ppm 2008.ppm logotype0.ppm logotype1.ppm; do tile "$f" 100; done
for f in star16a.ppm star16b.ppm star16c.ppm star16d.ppm; do tile "$f" 400; done
# The font's ink is white on transparent, in its 16 x 6 grid of cells.
convert data/font32.pbm -negate -transparent black -bordercolor none -border 6 "$tmp/font32.png"

row zoom1.png "$tmp/VORN.ppm.png" "$tmp/present.ppm.png"
row zoom2.png "$tmp/kolmira.ppm.png" "$tmp/2008.ppm.png"
row logotypes.png "$tmp/logotype1.ppm.png" "$tmp/logotype0.ppm.png"
row stars.png "$tmp/star16a.ppm.png" "$tmp/star16b.ppm.png" "$tmp/star16c.ppm.png" "$tmp/star16d.ppm.png"
convert -background "$background" -gravity center \
  "$tmp/zoom1.png" "$tmp/zoom2.png" "$tmp/logotypes.png" "$tmp/stars.png" "$tmp/font32.png" \
  -append +repage -bordercolor "$background" -border 10 -flatten -scale 200% \
  -strip -define png:exclude-chunks=date,time docs/preview.png
echo "wrote docs/preview.png"
