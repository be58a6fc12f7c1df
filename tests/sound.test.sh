#!/usr/bin/env bash
# The intro's pace and its sound through a real sound server: two runs on
# sdl12-compat with its wait for the display on, on a private Xvfb, each
# under gdb, which times every presentation: one silent (no sound server
# to reach), one with a private PulseAudio (a null sink at 44,100 Hz, its
# own socket, no configuration, home or D-Bus of the user's) while parec
# records the sink's monitor.  The music must not pace the frames: the run
# with sound presents as many frames a second as the silent run, give or
# take a tenth (both over the same 5 s before the fade).  Nothing about
# sound is said on standard error; the recording is the module's music as
# libmikmod's WAV writer renders it in another process, sample for sample
# (tests/sound_match.py); and after ESC the recording is silent while the
# program, held by gdb at the end of its fade, still lives.
set -euo pipefail

render="$VORN_BINARY_DIR/tools/xmrender"
python=/usr/bin/python3  # Debian's, with numpy
rate=44100
max_seconds=120                     # the recorder's whole life
max_bytes=$((max_seconds * rate * 4))
presents=600                        # before ESC: 10 s at 60 frames a second

# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" sound
[ -x "$render" ] || fail "$render was not built"
"$python" -c 'import numpy' 2>/dev/null || fail "$python has no numpy (bash scripts/setup.sh installs python3-numpy)"
start_xvfb "$out/xvfb.log"
use_sdl12_compat 1
cp -r "$VORN_SOURCE_DIR/data" "$work/data"
"$render" "$work/data/duSkal-20080501.xm" "$work/render.wav" 4 >"$out/xmrender.log" 2>&1 ||
  fail "xmrender: $(cat "$out/xmrender.log")"

# run NAME: the intro under gdb, its presentations timed into $out/NAME.watch;
# ESC once it has presented $presents frames, then waits for the end of its
# fade (VORN_WATCH_AT_END runs there) and for its exit, status 1.
run() {
  local name=$1
  rm -f "$work/count" "$work/after"
  (cd "$work/data" && VORN_WATCH_LOG="$out/$name.watch" VORN_WATCH_COUNT="$work/count" \
    VORN_WATCH_AT_END="${VORN_WATCH_AT_END:-} touch '$work/after'" ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" \
    exec gdb -q -batch -x "$VORN_SOURCE_DIR/tests/present_watch.py" \
    -ex "run > '$out/$name.out' 2> '$out/$name.err'" -ex 'printf "exit status %d\n", $_exitcode' \
    "$bin" >"$out/$name.gdb.log" 2>&1) &
  intro_pid=$!
  intro_shown "$name (see $out/$name.gdb.log)"
  enough() { [ "$(cat "$work/count" 2>/dev/null || echo 0)" -ge "$presents" ]; }
  wait_for 600 enough || fail "$name: fewer than $presents presentations in 10 minutes"
  xdotool mousemove 128 128 keydown Escape
  ended() { [ -e "$work/after" ]; }
  wait_for 120 ended || fail "$name: the run did not reach the end of its fade (see $out/$name.gdb.log)"
  xdotool keyup Escape
  wait_for 30 intro_gone || fail "$name: the intro did not exit"
  wait "$intro_pid" || true
  intro_pid=""
  grep -q '^exit status 1$' "$out/$name.gdb.log" ||
    fail "$name: the run did not exit with status 1 ($(grep '^exit status' "$out/$name.gdb.log" || echo none))"
}

# pace NAME: "RATE SHARE": presentations a second in the 5 s before the
# last half second before the fade, and the share in per cent of their
# intervals within 2 ms of the median.
pace() {
  "$python" - "$out/$1.watch" <<'PY'
import sys
import numpy as np
lines = dict(line.split(None, 1) for line in open(sys.argv[1]))
shown = np.array(lines["presents"].split(), dtype=float)
fade = float(lines["fade"])
shown = shown[(shown >= fade - 5.5) & (shown < fade - 0.5)]
steps = np.diff(shown)
near = np.mean(np.abs(steps - np.median(steps)) <= 0.002) * 100 if len(steps) else 0
print("%.1f %.1f" % (len(shown) / 5, near))
PY
}

# ---- silent ------------------------------------------------------------------------------

PULSE_SERVER=unix:/nonexistent/vorn-pulse SDL_AUDIODRIVER=pulseaudio run silent
read -r silent_rate silent_share < <(pace silent)

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

# ---- with sound -------------------------------------------------------------------

VORN_WATCH_AT_END="stat -c %s '$rec' >'$work/at-end'; sleep 1; stat -c %s '$rec' >'$work/end-after';" run sound
kill "$recorder_pid" 2>/dev/null || true
wait "$recorder_pid" || true
[ ! -s "$out/sound.err" ] || fail "standard error: $(head -c 400 "$out/sound.err")"
pass "the intro ran against the sound server with nothing on standard error, status 1"

read -r sound_rate sound_share < <(pace sound)
echo "  silent: $silent_rate presentations a second, $silent_share % of their intervals within 2 ms of the median"
echo "  sound:  $sound_rate presentations a second, $sound_share % of their intervals within 2 ms of the median"
awk -v s="$sound_rate" -v q="$silent_rate" 'BEGIN { exit !(q > 0 && s >= 0.9 * q && s <= 1.1 * q) }' ||
  fail "with sound $sound_rate presentations a second, silent $silent_rate: the music sets the pace"
pass "the music does not pace the frames: $sound_rate presentations a second with sound, $silent_rate silent"

"$python" "$VORN_SOURCE_DIR/tests/sound_match.py" "$rec" "$work/render.wav" "$(cat "$work/at-end")" \
  "$(cat "$work/end-after")" >"$out/match.log" 2>&1 || fail "$(cat "$out/match.log")"
sed 's/^/  /' "$out/match.log"
pass "the recording is the module's music and falls silent before the exit"

echo "sound: every check passed"
