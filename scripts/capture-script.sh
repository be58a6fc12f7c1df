# shellcheck shell=bash
# Sourced by the scripts that cut pictures from a capture of the intro
# (anim.sh, still.sh):
#   source capture-script.sh NAME.sh OUTPUT-EXAMPLE BUILD OUTPUT
# $capture, the build's vorncapture (the script stops when it is missing);
# $output and its folder $output_dir; $source_dir, the source tree; and a
# scratch folder $work, removed at exit.

[ -n "${3:-}" ] && [ -n "${4:-}" ] || { echo "usage: $1 BUILD $2" >&2; exit 1; }
build=$3
output=$4
capture="$(cd "$build" && pwd)/capture/vorncapture"
[ -x "$capture" ] || { echo "$1: $capture was not built" >&2; exit 1; }
# shellcheck disable=SC2034 # for the script that sources this
output_dir=$(cd "$(dirname "$output")" && pwd)
# shellcheck disable=SC2034 # for the script that sources this
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
