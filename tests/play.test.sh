#!/usr/bin/env bash
# scripts/play.sh as a person starts it, on a private Xvfb server with a
# 1920 x 1080 screen: on sdl12-compat (mapped into the process), the window
# is 512 x 512 (the largest whole scale within two thirds of the height) and
# 768 x 768 with --scale 3, the display paces it (fewer than 120
# presentations a second, counted by gdb), and after ESC the fade takes at
# least 2 s and ends in black, status 1.  With --classic: classic SDL 1.2,
# 256 x 256 (without classic SDL 1.2 the test counts as skipped there).
set -euo pipefail

play="$VORN_SOURCE_DIR/scripts/play.sh"
# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" play
start_xvfb "$out/xvfb.log" 1920x1080x24
sdl12_compat_dir >/dev/null || fail "sdl12-compat is not installed (bash scripts/setup.sh installs it)"
unset SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SYNC_TO_VBLANK SDL12COMPAT_SCALE_METHOD
# The leak checker cannot work in a process that gdb has attached to.
export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"

# start NAME ARGS...: the launcher with ARGS, its output in $out/NAME.*, once
# the first picture shows.  The launcher becomes the program, so
# $intro_pid is the program's.
start() {
  local name=$1
  shift
  bash "$play" "$@" "$bin" >"$out/$name.out" 2>"$out/$name.err" &
  intro_pid=$!
  intro_shown "$name ($(head -c 300 "$out/$name.err"))"
}

intro_window() { xdotool search --onlyvisible --class vorndemo | head -n 1; }

# window_size: WIDTHxHEIGHT of the intro's window.
window_size() {
  xdotool getwindowgeometry --shell "$(intro_window)" | awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } END { print w "x" h }'
}

# quit NAME: ESC held until the program has gone (at most 30 s), with the
# window given the keyboard (SDL 2 took it for a window of an earlier run,
# which leaves it on the root window); checks status 1.
quit() {
  local id
  id=$(intro_window)
  xdotool mousemove --window "$id" 10 10 windowfocus "$id" keydown Escape
  local ended=0
  wait_for 30 intro_gone || ended=1
  xdotool keyup Escape
  [ "$ended" -eq 0 ] || fail "$1: ESC did not end the run"
  status=0
  wait "$intro_pid" || status=$?
  intro_pid=""
  [ "$status" -eq 1 ] || fail "$1: the run ended with status $status, not 1"
}

# ---- no --scale: the scale that fits, the display's pace, the fade ----------

start fit
line=$(head -n 1 "$out/fit.err")
[[ "$line" == "play: sdl12-compat "*", scale 2 "*", vsync on" ]] || fail "the launcher said: $line"
size=$(window_size)
[ "$size" = 512x512 ] || fail "without --scale the window is $size, not 512x512"
maps_sdl12_compat "$intro_pid" || fail "the program does not have sdl12-compat's SDL mapped"
pass "without --scale: sdl12-compat, window $size ($line)"

# gdb, attached, notes every presentation; ESC once it has watched 3 s.
watch="$out/fit.watch"
VORN_WATCH_LOG="$watch" VORN_WATCH_AT_END="xwd -root -silent | xwdtopnm 2>/dev/null >'$out/fade-end.ppm'" \
  gdb -q -batch -p "$intro_pid" -x "$VORN_SOURCE_DIR/tests/present_watch.py" -ex continue >"$out/fit.gdb.log" 2>&1 &
gdb_pid=$!
watching() { grep -q '^watching$' "$out/fit.gdb.log"; }
wait_for 60 watching || fail "gdb did not attach: $(tail -n 3 "$out/fit.gdb.log")"
sleep 3
quit fit
wait "$gdb_pid" || true
[ -s "$watch" ] || fail "gdb did not see the end of the fade: $(tail -n 3 "$out/fit.gdb.log")"
read -r before rate fade < <(awk '/^presents/ { for (i = 2; i <= NF; ++i) t[i - 1] = $i; n = NF - 1 }
  /^fade/ { f = $2 } /^end/ { e = $2 }
  END { k = 0; for (i = 1; i <= n && t[i] < f; ++i) k = i
        printf "%d %.1f %.2f\n", k, (k > 1 ? (k - 1) / (t[k] - t[1]) : 0), e - f }' "$watch")
[ "$before" -ge 60 ] || fail "only $before presentations were seen before the fade"
awk -v r="$rate" 'BEGIN { exit !(r < 120) }' || fail "$rate presentations a second with vsync"
pass "with vsync: $rate presentations a second ($before seen)"
awk -v f="$fade" 'BEGIN { exit !(f >= 2) }' || fail "the fade took $fade s"
[ "$(pamsumm -max -brief "$out/fade-end.ppm")" -eq 0 ] || fail "the picture did not fade to black"
pnmtopng "$out/fade-end.ppm" >"$out/fade-end.png" 2>/dev/null
pass "ESC: a fade of $fade s to black, status 1"

# ---- --scale 3 ------------------------------------------------------------------

start scale3 --scale 3
size=$(window_size)
[ "$size" = 768x768 ] || fail "with --scale 3 the window is $size, not 768x768"
quit scale3
pass "--scale 3: window $size ($(head -n 1 "$out/scale3.err"))"

# ---- --classic --------------------------------------------------------------------

sdl12_classic_installed || skip "$no_classic_sdl: --classic was left out, the rest passed"
start classic --classic
line=$(head -n 1 "$out/classic.err")
[[ "$line" == "play: classic SDL 1.2 "* ]] || fail "with --classic the launcher said: $line"
size=$(window_size)
[ "$size" = 256x256 ] || fail "with --classic the window is $size, not 256x256"
! maps_sdl12_compat "$intro_pid" || fail "with --classic the program has sdl12-compat mapped"
quit classic
pass "--classic: classic SDL 1.2, window $size"

echo "play: every check passed"
