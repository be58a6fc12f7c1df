# Sourced by the tests that listen to the intro (tests/sound.test.sh,
# tests/windows.sh), after scripts/xvfb-session.sh, whose clean-up stops
# what these start:
#   start_pulse LOG      a private PulseAudio server: a null sink "vorn" at
#                        44,100 Hz, its own socket under $work, no
#                        configuration, home or D-Bus of the user's; made
#                        the server of every client started after
#   start_recording FILE SECONDS LOG
#                        parec of the sink's monitor into FILE (raw 16-bit
#                        stereo), for at most SECONDS and as many bytes;
#                        returns once it records; $recorder_pid
pulse_rate=44100

start_pulse() {
  pulse="$work/pulse"
  mkdir -p "$pulse/home" "$pulse/runtime" "$pulse/config"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$pulse/no-bus"
  (export HOME="$pulse/home" XDG_RUNTIME_DIR="$pulse/runtime" XDG_CONFIG_HOME="$pulse/config"
   unset DISPLAY
   exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
     --log-target=stderr -L "module-null-sink sink_name=vorn rate=$pulse_rate format=s16le channels=2" \
     -L "module-native-protocol-unix socket=$pulse/socket auth-anonymous=1") 2>"$1" &
  export PULSE_SERVER="unix:$pulse/socket"
  printf 'autospawn = no\n' >"$pulse/client.conf"
  export PULSE_CLIENTCONFIG="$pulse/client.conf"
  unset SDL_AUDIODRIVER
  server_up() { pactl info >/dev/null 2>&1; }
  wait_for 30 server_up || fail "PulseAudio did not start: $(tail -n 3 "$1")"
}

# Bounded in time by timeout and in bytes by the file size limit; without
# shared memory, whose pool file would pass that limit.
start_recording() {
  local file=$1 seconds=$2
  printf 'autospawn = no\nenable-shm = no\nenable-memfd = no\n' >"$pulse/recorder.conf"
  (ulimit -f $((seconds * pulse_rate * 4 / 1024 + 1))
   export PULSE_CLIENTCONFIG="$pulse/recorder.conf"
   exec timeout "$seconds" parec -d vorn.monitor --format=s16le --rate=$pulse_rate --channels=2 \
     --latency-msec=20 >"$file") 2>"$3" &
  recorder_pid=$!
  recording() { [ -s "$file" ]; }
  wait_for 10 recording || fail "parec records nothing: $(cat "$3")"
}
