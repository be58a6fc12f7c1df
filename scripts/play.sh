#!/usr/bin/env bash
# Starts the intro for a person to watch, in the checkout's data/ folder,
# and exits with its status.
#
#   bash scripts/play.sh [--scale N] [--fullscreen] [--classic] [PROGRAM]
#
# PROGRAM defaults to build/vorndemo.  Where sdl12-compat (SDL 1.2 over
# SDL 2) is installed, the program runs on it: every frame waits for the
# display's refresh, and the window is scaled by whole factors with nearest
# neighbours, by N or else by the largest factor whose window fits in two
# thirds of the screen's height.  With --classic, or without sdl12-compat,
# it runs on classic SDL 1.2 at 1x.  With --fullscreen the program fills
# the screen itself (the picture at the largest whole factor that fits), and
# no window scaling is set.  An SDL12COMPAT_* or SDL_VIDEODRIVER
# setting already in the environment is kept.  One line on standard error
# says what was chosen; the program's own output follows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=sdl12-compat.sh
source "$root/scripts/sdl12-compat.sh"

frame_size=256  # the intro's window, in pixels at 1x

usage() {
  echo "usage: bash scripts/play.sh [--scale N] [--fullscreen] [--classic] [PROGRAM]" >&2
  exit 2
}

scale=""
classic=0
fullscreen=0
program=""
while [ $# -gt 0 ]; do
  case $1 in
    --scale) [ $# -ge 2 ] || usage; scale=$2; shift 2 ;;
    --scale=*) scale=${1#--scale=}; shift ;;
    --classic) classic=1; shift ;;
    --fullscreen) fullscreen=1; shift ;;
    -*) usage ;;
    *) [ -z "$program" ] || usage; program=$1; shift ;;
  esac
done
[ -z "$scale" ] || [[ "$scale" =~ ^[1-9][0-9]{0,2}$ ]] ||
  { echo "play: --scale takes a whole number from 1 to 999, not '$scale'" >&2; exit 2; }
[ -z "$scale" ] || [ "$fullscreen" -eq 0 ] || { echo "play: --scale and --fullscreen exclude each other" >&2; exit 2; }
program=${program:-$root/build/vorndemo}
[[ "$program" == /* ]] || program="$PWD/$program"
[ -x "$program" ] && [ -f "$program" ] ||
  { echo "play: no program $program (make build builds it)" >&2; exit 2; }

# The screen's height in pixels, empty when it cannot be read.
screen_height() {
  command -v xdpyinfo >/dev/null && [ -n "${DISPLAY:-}" ] || return 0
  xdpyinfo 2>/dev/null | awk '/^ *dimensions:/ { split($2, d, "x"); print d[2]; exit }'
}

# The largest whole factor whose window fits in two thirds of the screen's
# height, with the reason; 1 when the height is unknown.
fitting_scale() {
  local height
  height=$(screen_height)
  if [[ "$height" =~ ^[0-9]+$ ]]; then
    local factor=$((height * 2 / 3 / frame_size))
    [ "$factor" -ge 1 ] || factor=1
    echo "$factor (fits a screen $height pixels high)"
  else
    echo "1 (the screen's size is unknown)"
  fi
}

# on or off for a boolean SDL setting.
on_off() {
  case ${1,,} in 0 | false | no | off) echo off ;; *) echo on ;; esac
}

compat=""
if [ "$classic" -eq 0 ]; then compat=$(sdl12_compat_dir) || compat=""; fi

if [ -n "$compat" ]; then
  export LD_LIBRARY_PATH="$compat${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  if [ "$fullscreen" -eq 1 ]; then
    chosen="full screen"
  elif [ -n "${SDL12COMPAT_WINDOW_SCALING+set}" ]; then
    chosen="scale $SDL12COMPAT_WINDOW_SCALING (SDL12COMPAT_WINDOW_SCALING was set)"
  elif [ -n "$scale" ]; then
    export SDL12COMPAT_WINDOW_SCALING=$scale
    chosen="scale $scale (--scale)"
  else
    chosen=$(fitting_scale)
    export SDL12COMPAT_WINDOW_SCALING=${chosen%% *}
    chosen="scale $chosen"
  fi
  : "${SDL12COMPAT_SYNC_TO_VBLANK=1}" "${SDL12COMPAT_SCALE_METHOD=nearest}"
  export SDL12COMPAT_SYNC_TO_VBLANK SDL12COMPAT_SCALE_METHOD
  echo "play: sdl12-compat ($compat), $chosen, vsync $(on_off "$SDL12COMPAT_SYNC_TO_VBLANK")" >&2
else
  if [ "$classic" -eq 1 ]; then why="--classic"; else why="sdl12-compat is not installed"; fi
  [ -z "$scale" ] || why="$why; --scale needs sdl12-compat"
  if [ "$fullscreen" -eq 1 ]; then chosen="full screen"; else chosen="scale 1"; fi
  echo "play: classic SDL 1.2 ($why), $chosen, vsync off" >&2
fi

cd "$root/data"
if [ "$fullscreen" -eq 1 ]; then exec "$program" --fullscreen; fi
exec "$program"
