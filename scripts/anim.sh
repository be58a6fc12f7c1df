#!/usr/bin/env bash
# The README's moving preview: 12 seconds of the intro, four of each part,
# as a looping animated WebP at 2x (512 x 512), cut from a lossless capture
# of the real program at its 60 frames a second.  Every third frame is kept
# and shown for three frames' time (20 frames a second), so the preview plays
# at the intro's speed and the file stays well under 4 MB.  The same build
# makes the same bytes: the intro is deterministic, FFV1 decodes exactly and
# libwebp, single-threaded, encodes the same frames the same way.
#   bash scripts/anim.sh BUILD OUTPUT.webp
set -euo pipefail

# shellcheck source=capture-script.sh
source "$(dirname "$0")/capture-script.sh" anim.sh OUTPUT.webp "$@"

# Frames are counted from 0.  The zoom part is frames 0-1003 (four logos of
# 251), the raster rolls 1004-2503, the plasma 2504-3253; each cut is 240
# frames (4 s), starting on a multiple of 3: the first logo growing, the bars
# once the scroll text has crossed the screen, the plasma with its logo in
# mid-bounce.
cuts=(9 1158 2580)
length=240
step=3
fps=60
last=$((cuts[2] + length))
(cd "$source_dir/data" && "$capture" --scale 2 --fps $fps --frames "$last" "$work/intro.mkv" >/dev/null)

picked=""
for start in "${cuts[@]}"; do
  picked+="${picked:+ + }between(n\\,$start\\,$((start + length - 1)))"
done
# Kept frames get new timestamps: three frames of the intro each.
ffmpeg -hide_banner -nostdin -loglevel error -i "$work/intro.mkv" -an \
  -vf "select='($picked)*not(mod(n\\,$step))',setpts=N*$step/$fps/TB" \
  -c:v libwebp_anim -lossless 0 -quality 70 -compression_level 6 -loop 0 \
  -fflags +bitexact -y "$work/intro.webp"
mv "$work/intro.webp" "$output_dir/$(basename "$output")"
echo "anim.sh: wrote $output ($(stat -c %s "$output") bytes)"
