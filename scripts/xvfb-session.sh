# Sourced by the whole-program scripts (tests/*.test.sh, scripts/fps.sh):
# a scratch folder $work, every process the script started in the
# background (the intro, the X server, a window manager, a sound server...)
# stopped and the folder removed at exit, wait_for, start_xvfb,
# use_sdl12_compat, start_pulseaudio and start_pipewire, data_copy, the
# intro's start and end, the checks of its window, picture and process,
# quit_intro and brightest.  The caller defines fail MESSAGE.

# shellcheck source=sdl12-compat.sh
source "$(dirname "${BASH_SOURCE[0]}")/sdl12-compat.sh"

session_source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
intro_pid=""
process_groups=()  # of background jobs made session leaders, whose children go with them
# The background jobs of this shell still running are ended by their ids.
cleanup() {
  local pids
  pids=$(jobs -p)
  [ ${#process_groups[@]} -eq 0 ] || kill -- "${process_groups[@]}" 2>/dev/null || true
  # shellcheck disable=SC2086 # one word per id
  [ -z "$pids" ] || kill $pids 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: retries COMMAND every 0.05 s until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# start_xvfb LOG [WxHxD]: a private X server (256x256x24 unless given), its
# messages in LOG, made the DISPLAY of everything started after.  Sound
# never reaches a real server or device: SDL's dummy output, which opens
# everywhere.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "${2:-256x256x24}" -nolisten tcp -noreset 3>"$work/display" 2>"$1" &
  wait_for 60 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
  unset SDL_VIDEODRIVER
  export PULSE_SERVER=unix:/nonexistent/vorn-pulse
  export SDL_AUDIODRIVER=dummy
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
}

# start_pulseaudio LOG: a private PulseAudio server (a null sink "vorn" at
# 44,100 Hz, 16-bit stereo, its own socket, no configuration, home or D-Bus
# of the user's), its messages in LOG, made the sound server of everything
# started after (PULSE_SERVER, PULSE_CLIENTCONFIG without autospawn; SDL's
# audio left to its choice).  The log names the buffer each stream was
# granted ("Final latency").
start_pulseaudio() {
  local pulse="$work/pulse"
  mkdir -p "$pulse/home" "$pulse/runtime" "$pulse/config"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$pulse/no-bus"
  (export HOME="$pulse/home" XDG_RUNTIME_DIR="$pulse/runtime" XDG_CONFIG_HOME="$pulse/config"
   unset DISPLAY
   exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
     --log-target=stderr --log-level=info -L "module-null-sink sink_name=vorn rate=44100 format=s16le channels=2" \
     -L "module-native-protocol-unix socket=$pulse/socket auth-anonymous=1") 2>"$1" &
  use_sound_server "unix:$pulse/socket" "$1"
}

# start_pipewire LOG: a private PipeWire with its PulseAudio service, as a
# Debian 13 desktop has it (pipewire, wireplumber and pipewire-pulse in a
# D-Bus session of their own, their own runtime folder, the graph at
# 44,100 Hz), a null sink "vorn" made the default, and the server made that
# of everything started after, as start_pulseaudio does.  The session is a
# process group of its own, ended at exit.
start_pipewire() {
  local pw="$work/pipewire"
  mkdir -p "$pw/runtime" "$pw/config/pipewire/pipewire.conf.d" "$pw/home"
  chmod 700 "$pw/runtime"
  echo 'context.properties = { default.clock.rate = 44100 default.clock.allowed-rates = [ 44100 ] }' \
    >"$pw/config/pipewire/pipewire.conf.d/rate.conf"
  (export HOME="$pw/home" XDG_RUNTIME_DIR="$pw/runtime" XDG_CONFIG_HOME="$pw/config"
   unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER
   exec setsid dbus-run-session -- bash -c 'pipewire & wireplumber & pipewire-pulse & wait') >"$1" 2>&1 &
  process_groups+=("-$!")
  use_sound_server "unix:$pw/runtime/pulse/native" "$1"
  # Asked again until the sink is there and the default: the service
  # answers before it has connected to PipeWire, and a loaded machine has
  # had it fail the request, or the sink appear only after its answer.
  sink_made() {
    pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]vorn[[:space:]]' ||
      { pactl load-module module-null-sink sink_name=vorn rate=44100 format=s16le channels=2 >/dev/null 2>&1; false; }
  }
  sink_default() { pactl set-default-sink vorn 2>/dev/null && [ "$(pactl get-default-sink)" = vorn ]; }
  wait_for 60 sink_made && wait_for 60 sink_default ||
    fail "PipeWire's PulseAudio service made no null sink the default: $(tail -n 3 "$1")"
}

# use_sound_server ADDRESS LOG: the server at ADDRESS, once it answers (at
# most 60 s), is that of everything started after.
use_sound_server() {
  export PULSE_SERVER=$1
  printf 'autospawn = no\n' >"$work/pulse-client.conf"
  export PULSE_CLIENTCONFIG="$work/pulse-client.conf"
  unset SDL_AUDIODRIVER
  server_up() { pactl info >/dev/null 2>&1; }
  wait_for 60 server_up || fail "the sound server did not start: $(tail -n 3 "$2")"
}

# record_sink FILE SECONDS: parec records the sink vorn's monitor into FILE,
# 16-bit stereo at 44,100 Hz, for at most SECONDS and at most two minutes of
# sound; its process id in recorder_pid, once it records.
record_sink() {
  printf 'autospawn = no\nenable-shm = no\nenable-memfd = no\n' >"$work/recorder.conf"
  # Bounded in bytes by the file size limit; without shared memory, whose
  # pool file would pass that limit.
  (ulimit -f $((120 * 44100 * 4 / 1024 + 1))
   export PULSE_CLIENTCONFIG="$work/recorder.conf"
   exec timeout "$2" parec -d vorn.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=20 >"$1") \
    2>"$1.log" &
  recorder_pid=$!
  wait_for 60 test -s "$1" || fail "parec records nothing: $(cat "$1.log")"
}

# use_sdl12_compat VSYNC: programs started after run on sdl12-compat, at 1x,
# with its wait for the display's refresh on (1) or off (0).  The leak
# checker of the sanitizer build is told to pass over what SDL 2, its GL
# driver (Mesa's GLX) and D-Bus keep until the process ends (the intro
# never shuts SDL down).
use_sdl12_compat() {
  local dir
  dir=$(sdl12_compat_dir) || fail "sdl12-compat is not installed (bash scripts/setup.sh installs it)"
  export LD_LIBRARY_PATH="$dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  export SDL12COMPAT_SYNC_TO_VBLANK="$1" SDL12COMPAT_WINDOW_SCALING=1
  printf 'leak:libSDL2-2.0.so\nleak:libGLX_mesa.so\nleak:libdbus-1.so\n' >"$work/sdl2.supp"
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/sdl2.supp:print_suppressions=0"
}

# maps_sdl12_compat PID: the SDL 1.2 the process has mapped, wherever the
# release keeps it, is sdl12-compat.  (SDL 2 mapped says nothing: Debian
# 12's libmikmod links it for its own output.)
maps_sdl12_compat() {
  local lib
  lib=$(awk '$6 ~ /\/libSDL-1\.2\.so/ { print $6; exit }' "/proc/$1/maps" 2>/dev/null) || return 1
  [ -n "$lib" ] && sdl12_is_compat "$lib"
}

# data_copy DIR [FILE...]: a fresh copy of the intro's data/ in DIR, without
# the files named.
data_copy() {
  local dir=$1 f
  shift
  mkdir -p "$dir"
  cp "$session_source/data"/* "$dir"/
  for f in "$@"; do rm -f "$dir/$f"; done
}

# start_intro LOG DIR COMMAND...: COMMAND (the intro, or what starts it) in
# the background in DIR, its standard output in LOG.out and its errors in
# LOG.err; its process id in intro_pid.
start_intro() {
  local log=$1 dir=$2
  shift 2
  (cd "$dir" && exec "$@" >"$log.out" 2>"$log.err") &
  intro_pid=$!
}

# end_intro LABEL [SECONDS]: waits (at most SECONDS, 300 by default: the
# fade's 256 frames go at the display's pace, slower on a loaded machine)
# for the intro to end; its exit status in status.
end_intro() {
  wait_for "${2:-300}" intro_gone || fail "$1: the intro still runs after ${2:-300} s"
  status=0
  wait "$intro_pid" || status=$?
  intro_pid=""
}

# brightest PICTURE [PAMCUT-ARGS...]: the brightest channel of a PNM
# picture, or of the part of it that pamcut cuts out.
brightest() {
  local picture=$1
  shift
  if [ $# -gt 0 ]; then pamcut "$@" "$picture" | pamsumm -max -brief; else pamsumm -max -brief "$picture"; fi
}

window_shown() { xdotool search --onlyvisible --class vorndemo >/dev/null 2>&1; }

# picture_shown: something on the screen is not black; the intro draws
# its first frame only after start-up has loaded every file.
picture_shown() { [ "$(xwd -root -silent | xwdtopnm 2>/dev/null | pamsumm -max -brief)" -gt 0 ]; }

# intro_shown LABEL: waits (at most 120 s each, for a machine under load)
# for the intro's window and its first picture; fails naming LABEL.
intro_shown() {
  wait_for 120 window_shown || fail "$1: no window appeared"
  wait_for 120 picture_shown || fail "$1: the first picture did not show"
}

# intro_gone: the process $intro_pid has ended.
intro_gone() { ! kill -0 "$intro_pid" 2>/dev/null; }

intro_window() { xdotool search --onlyvisible --class vorndemo | head -n 1; }

# window_size: WIDTHxHEIGHT of the intro's window.
window_size() {
  xdotool getwindowgeometry --shell "$(intro_window)" | awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } END { print w "x" h }'
}

# quit_intro LABEL: ESC held until the program has gone (at most 300 s: the
# fade's 256 frames go at the display's pace, slower on a loaded machine), with
# the window given the keyboard (SDL 2 took it for a window of an earlier
# run, which leaves it on the root window); checks status 1.
quit_intro() {
  local id
  id=$(intro_window)
  xdotool mousemove --window "$id" 10 10 windowfocus "$id" keydown Escape
  local ended=0
  wait_for 300 intro_gone || ended=1
  xdotool keyup Escape
  [ "$ended" -eq 0 ] || fail "$1: ESC did not end the run"
  end_intro "$1"
  [ "$status" -eq 1 ] || fail "$1: the run ended with status $status, not 1"
}
