#!/usr/bin/env bash
# Starts the intro of this checkout for a person to watch, through the
# launcher that the build makes beside the program (the installed vorndemo
# command's own, configured for the build and the checkout's data/), and
# exits with its status.
#
#   bash scripts/play.sh [--scale N | --fullscreen] [--classic] [PROGRAM]
#
# PROGRAM defaults to build/vorndemo; any build folder's vorndemo will do.
# The options are the launcher's: see `build/play --help`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: bash scripts/play.sh [--scale N | --fullscreen] [--classic] [PROGRAM]" >&2
  exit 2
}

options=()
program=""
while [ $# -gt 0 ]; do
  case $1 in
    --scale) options+=("$1"); shift; [ $# -eq 0 ] || { options+=("$1"); shift; } ;;
    -*) options+=("$1"); shift ;;
    *) [ -z "$program" ] || usage; program=$1; shift ;;
  esac
done
program=${program:-$root/build/vorndemo}
[[ "$program" == /* ]] || program="$PWD/$program"
[ -x "$program" ] && [ -f "$program" ] ||
  { echo "play: no program $program (make build builds it)" >&2; exit 2; }
launcher="$(dirname "$program")/play"
[ "$(basename "$program")" = vorndemo ] && [ -x "$launcher" ] ||
  { echo "play: no launcher beside $program (a build of this checkout makes it)" >&2; exit 2; }
exec "$launcher" "${options[@]}"
