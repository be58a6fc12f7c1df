#!/usr/bin/env bash
# The web page's start-screen still: one frame of the real program at 1x,
# the 36th of the logo zoom (frame 35, counted from 0), with the first logo
# whole among the stars, as a 256 x 256 PNG.  The same build makes the same
# bytes: the intro is deterministic, FFV1 decodes exactly, and ffmpeg's PNG
# writer adds nothing of its own with +bitexact.
#   bash scripts/still.sh BUILD OUTPUT.png
set -euo pipefail

# shellcheck source=capture-script.sh
source "$(dirname "$0")/capture-script.sh" still.sh OUTPUT.png "$@"
frame=35
(cd "$source_dir/data" && "$capture" --scale 1 --frames $((frame + 1)) "$work/intro.mkv" >/dev/null)
ffmpeg -hide_banner -nostdin -loglevel error -i "$work/intro.mkv" -an -vf "select=eq(n\\,$frame)" \
  -frames:v 1 -pix_fmt rgb24 -fflags +bitexact -y "$work/still.png"
mv "$work/still.png" "$output_dir/$(basename "$output")"
echo "still.sh: wrote $output ($(stat -c %s "$output") bytes)"
