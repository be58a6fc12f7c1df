#!/usr/bin/env bash
# scripts/play.sh as a person starts it, on a private Xvfb server with a
# 1920 x 1080 screen: on sdl12-compat (mapped into the process), the window
# is 512 x 512 (the largest whole scale within two thirds of the height) and
# 768 x 768 with --scale 3, the display paces it (fewer than 120
# presentations a second, counted by gdb), and after ESC the fade takes at
# least 2 s and ends in black, status 1.  With --classic: classic SDL 1.2,
# 256 x 256 (without classic SDL 1.2: a line that says so, and sdl12-compat).  With
# --fullscreen, under openbox: the screen shows the picture at 1024 x 1024 in
# its middle, made of 4 x 4 blocks, on black.
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
  start_intro "$out/$name" . bash "$play" "$@" "$bin"
  intro_shown "$name ($(head -c 300 "$out/$name.err"))"
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
quit_intro fit
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
quit_intro scale3
pass "--scale 3: window $size ($(head -n 1 "$out/scale3.err"))"

# ---- --classic --------------------------------------------------------------------

start classic --classic
size=$(window_size)
if sdl12_classic_installed; then
  line=$(head -n 1 "$out/classic.err")
  [[ "$line" == "play: classic SDL 1.2 "* ]] || fail "with --classic the launcher said: $line"
  [ "$size" = 256x256 ] || fail "with --classic the window is $size, not 256x256"
  ! maps_sdl12_compat "$intro_pid" || fail "with --classic the program has sdl12-compat mapped"
else
  # Without classic SDL 1.2 it says so and runs on what there is.
  line=$(grep -m 1 'classic SDL 1.2 is not installed' "$out/classic.err") ||
    fail "with --classic and no classic SDL 1.2 the launcher said: $(cat "$out/classic.err")"
  [ "$size" = 512x512 ] || fail "with --classic on sdl12-compat the window is $size, not 512x512"
  maps_sdl12_compat "$intro_pid" || fail "with --classic the program does not have sdl12-compat mapped"
fi
quit_intro classic
pass "--classic: window $size ($line)"

# ---- --fullscreen, under a window manager -----------------------------------------

mkdir "$work/wm"
HOME="$work/wm" openbox --sm-disable >"$out/openbox.log" 2>&1 &
wm_pid=$!
managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_for 15 managed || fail "openbox did not start: $(tail -n 3 "$out/openbox.log")"
# A window mapped while openbox is still starting (longer where it first
# builds its font cache) stays unmapped for good: probe windows, one after
# the other, until openbox shows one.
probe_shown() { xdotool search --onlyvisible --class xlogo >/dev/null 2>&1; }
shows_a_window() {
  xlogo &
  local probe_pid=$! shown=0
  wait_for 2 probe_shown || shown=1
  kill "$probe_pid"
  wait "$probe_pid" || true
  return "$shown"
}
wait_for 60 shows_a_window || fail "openbox shows no window: $(tail -n 3 "$out/openbox.log")"
start fullscreen --fullscreen
full() { [ "$(window_size)" = 1920x1080 ]; }
wait_for 60 full || fail "with --fullscreen the window is $(window_size), not 1920x1080"
sleep 1
xwd -root -silent | xwdtopnm 2>/dev/null >"$out/fullscreen.ppm"
picture=(-left 448 -top 28 -width 1024 -height 1024)
for border in "-right 447" "-left 1472" "-left 448 -right 1471 -bottom 27" "-left 448 -right 1471 -top 1052"; do
  # shellcheck disable=SC2086
  [ "$(brightest "$out/fullscreen.ppm" $border)" -eq 0 ] || fail "with --fullscreen the screen is not black at $border"
done
[ "$(brightest "$out/fullscreen.ppm" "${picture[@]}")" -gt 0 ] || fail "with --fullscreen the middle of the screen is black"
pamcut "${picture[@]}" "$out/fullscreen.ppm" >"$work/picture.ppm"
pamscale -reduce 4 "$work/picture.ppm" 2>/dev/null | pamenlarge 4 | cmp -s - "$work/picture.ppm" ||
  fail "with --fullscreen the picture is not made of 4 x 4 blocks from (448, 28)"
quit_intro fullscreen
kill "$wm_pid"
wait "$wm_pid" || true
pass "--fullscreen: the picture at 1024 x 1024 from (448, 28) in 4 x 4 blocks, on black; ESC, status 1 ($(head -n 1 "$out/fullscreen.err"))"

echo "play: every check passed"
