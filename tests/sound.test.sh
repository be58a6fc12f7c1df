#!/usr/bin/env bash
# The intro's sound through a real sound server: a private PulseAudio
# (a null sink at 44,100 Hz, its own socket, no configuration, home or
# D-Bus of the user's) with the intro as its client, on classic SDL on a
# private Xvfb, while parec records the sink's monitor.  The music paces
# the frames (30 to 60 presentations a second over 5 s, counted by gdb);
# nothing about sound is said on standard error; the recording is the
# module's music as libmikmod's WAV writer renders it in another process
# (tests/sound_match.py); and after ESC the recording is silent while the
# program, held by gdb at the end of its fade, still lives.
set -euo pipefail

render="$VORN_BINARY_DIR/tools/xmrender"
python=/usr/bin/python3  # Debian's, with numpy
max_seconds=60                      # the recorder's whole life

# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" sound
[ -x "$render" ] || fail "$render was not built"
"$python" -c 'import numpy' 2>/dev/null || fail "$python has no numpy (bash scripts/setup.sh installs python3-numpy)"
start_xvfb "$out/xvfb.log"
cp -r "$VORN_SOURCE_DIR/data" "$work/data"

# ---- the sound server and the recorder ----------------------------------------

# shellcheck source=pulse_session.sh
source "$VORN_SOURCE_DIR/tests/pulse_session.sh"
start_pulse "$out/pulseaudio.log"
"$render" "$work/data/duSkal-20080501.xm" "$work/render.wav" 4 >"$out/xmrender.log" 2>&1 ||
  fail "xmrender: $(cat "$out/xmrender.log")"
rec="$work/recording.raw"
start_recording "$rec" "$max_seconds" "$out/parec.log"

# ---- the intro, under gdb ------------------------------------------------------------

watch="$out/watch"
export VORN_WATCH_LOG="$watch"
export VORN_WATCH_AT_END="stat -c %s '$rec' >'$work/at-end'; sleep 1; stat -c %s '$rec' >'$work/after'"
(cd "$work/data" && ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" exec gdb -q -batch \
  -x "$VORN_SOURCE_DIR/tests/present_watch.py" \
  -ex "run > '$out/intro.out' 2> '$out/intro.err'" -ex 'printf "exit status %d\n", $_exitcode' \
  "$bin" >"$out/gdb.log" 2>&1) &
intro_pid=$!
intro_shown "the intro (see $out/gdb.log)"
# libmikmod fills the server's buffer (2 s) at full speed first.
sleep 9
xdotool mousemove 128 128 keydown Escape
ended() { [ -s "$work/after" ]; }
wait_for 30 ended || fail "the run did not reach the end of its fade (see $out/gdb.log)"
xdotool keyup Escape
wait_for 30 intro_gone || fail "the intro did not exit"
wait "$intro_pid" || true
intro_pid=""
kill "$recorder_pid" 2>/dev/null || true
wait "$recorder_pid" || true

grep -q '^exit status 1$' "$out/gdb.log" || fail "the run did not exit with status 1 ($(grep '^exit status' "$out/gdb.log" || echo none))"
[ ! -s "$out/intro.err" ] || fail "standard error: $(head -c 400 "$out/intro.err")"
pass "the intro ran against the sound server with nothing on standard error, status 1"

# Presentations in the 5 s before the last half second before the fade.
rate_seen=$(awk '/^presents/ { for (i = 2; i <= NF; ++i) t[i - 1] = $i; n = NF - 1 } /^fade/ { f = $2 }
  END { k = 0; for (i = 1; i <= n; ++i) if (t[i] >= f - 5.5 && t[i] < f - 0.5) ++k; printf "%.1f\n", k / 5 }' "$watch")
# Even the sanitizer build draws a frame in under 5 ms, far within the
# 23 ms of sound each frame hands on.
awk -v r="$rate_seen" 'BEGIN { exit !(r >= 30 && r <= 60) }' ||
  fail "$rate_seen presentations a second: the music does not pace the frames"
pass "the music paces the frames: $rate_seen presentations a second"

"$python" "$VORN_SOURCE_DIR/tests/sound_match.py" "$rec" "$work/render.wav" "$(cat "$work/at-end")" \
  "$(cat "$work/after")" >"$out/match.log" 2>&1 || fail "$(cat "$out/match.log")"
sed 's/^/  /' "$out/match.log"
pass "the recording is the module's music and falls silent before the exit"

echo "sound: every check passed"
