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
rate=44100
max_seconds=60                      # the recorder's whole life
max_bytes=$((max_seconds * rate * 4))

# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" sound
[ -x "$render" ] || fail "$render was not built"
"$python" -c 'import numpy' 2>/dev/null || fail "$python has no numpy (bash scripts/setup.sh installs python3-numpy)"
start_xvfb "$out/xvfb.log"
cp -r "$VORN_SOURCE_DIR/data" "$work/data"

# ---- the sound server and the recorder ----------------------------------------

pulse="$work/pulse"
mkdir -p "$pulse/home" "$pulse/runtime" "$pulse/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$pulse/no-bus"
(export HOME="$pulse/home" XDG_RUNTIME_DIR="$pulse/runtime" XDG_CONFIG_HOME="$pulse/config"
 unset DISPLAY
 exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
   --log-target=stderr -L "module-null-sink sink_name=vorn rate=$rate format=s16le channels=2" \
   -L "module-native-protocol-unix socket=$pulse/socket auth-anonymous=1") 2>"$out/pulseaudio.log" &
export PULSE_SERVER="unix:$pulse/socket"
printf 'autospawn = no\n' >"$pulse/client.conf"
export PULSE_CLIENTCONFIG="$pulse/client.conf"
unset SDL_AUDIODRIVER
server_up() { pactl info >/dev/null 2>&1; }
wait_for 30 server_up || fail "PulseAudio did not start: $(tail -n 3 "$out/pulseaudio.log")"

"$render" "$work/data/duSkal-20080501.xm" "$work/render.wav" 4 >"$out/xmrender.log" 2>&1 ||
  fail "xmrender: $(cat "$out/xmrender.log")"

# Bounded in time by timeout and in bytes by the file size limit; without
# shared memory, whose pool file would pass that limit.
rec="$work/recording.raw"
printf 'autospawn = no\nenable-shm = no\nenable-memfd = no\n' >"$pulse/recorder.conf"
(ulimit -f $((max_bytes / 1024 + 1))
 export PULSE_CLIENTCONFIG="$pulse/recorder.conf"
 exec timeout "$max_seconds" parec -d vorn.monitor --format=s16le --rate=$rate --channels=2 \
   --latency-msec=20 >"$rec") 2>"$out/parec.log" &
recorder_pid=$!
recording() { [ -s "$rec" ]; }
wait_for 10 recording || fail "parec records nothing: $(cat "$out/parec.log")"

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
