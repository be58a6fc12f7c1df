#!/usr/bin/env bash
# How smoothly the intro runs as a person starts it (the launcher: sdl12-compat
# with its wait for the display, the window scaled to fit), on two displays
# and with three kinds of sound:
#   displays  a private 1920 x 1080 Xvfb; Weston nested in such an Xvfb,
#             the intro on SDL 2's Wayland driver, with no X server to reach
#   sound     none (no sound server); a private PulseAudio; a private
#             PipeWire with its PulseAudio service (a Debian 13 desktop's)
# and with each sound server a second pair of runs beside two busy processes
# (sha256sum /dev/zero, as many as a desktop's builds or browser might keep
# busy).  Each run lasts SECONDS (30 by default) from the first picture, then
# SIGTERM ends it as ESC would.  A library preloaded into it (bench/
# present_log.cpp) logs when every presentation returns; over the run from
# its second second to the signal this prints the frames a second, the
# intervals' 1st, 50th and 99th percentiles and the share within 2 ms of
# the median (one refresh, or the refreshes each frame stays).  With a
# sound server the sink's monitor is recorded and judged against
# libmikmod's render of the module (tests/sound_match.py): the seconds of
# music equal to it sample for sample, the dropouts (silence in the place
# of samples) and the gaps (silence between them), or the repeat or foreign
# sample where the recording stops being the render.
#
#   bash scripts/fps.sh BUILD_DIR [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: bash scripts/fps.sh BUILD_DIR [SECONDS]" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 1
seconds=${2:-30}
python=/usr/bin/python3  # Debian's, with numpy

fail() { echo "fps: $*" >&2; exit 1; }

preload="$build/bench/presentlog.so"
render="$build/tools/xmrender"
for file in "$build/vorndemo" "$preload" "$render"; do
  [ -e "$file" ] || fail "$file was not built (make bench builds it)"
done
for command in Xvfb weston pulseaudio pipewire wireplumber pipewire-pulse dbus-run-session parec pactl xdotool; do
  command -v "$command" >/dev/null || fail "needs $command (bash scripts/setup.sh bench installs it)"
done

# shellcheck source=xvfb-session.sh
source "$root/scripts/xvfb-session.sh"
"$render" "$root/data/duSkal-20080501.xm" "$work/render.wav" 4 >/dev/null

# start_weston: Weston nested in the X server, its socket made the Wayland
# display of the intros started after, which then see no X server.
start_weston() {
  mkdir -m 700 "$work/wayland"
  XDG_RUNTIME_DIR="$work/wayland" weston --backend=x11-backend.so --use-pixman --width=1920 --height=1080 \
    --socket=vorn --idle-time=0 >"$work/weston.log" 2>&1 &
  wait_for 30 test -S "$work/wayland/vorn" || fail "Weston did not start: $(tail -n 3 "$work/weston.log")"
}

# start_busy / stop_busy: two processes that keep two cores busy, and
# their end.
busy_pids=()
start_busy() {
  local n
  for n in 1 2; do
    sha256sum /dev/zero &
    busy_pids+=($!)
  done
}
stop_busy() {
  kill "${busy_pids[@]}"
  wait "${busy_pids[@]}" 2>/dev/null || true
  busy_pids=()
}

# run DISPLAY SOUND: one run, its line of figures; named -busy beside the
# busy processes.
run() {
  local name="$1-$2${busy_pids[0]:+-busy}" log="$work/$1-$2${busy_pids[0]:+-busy}.log"
  local -a env=(VORN_PRESENT_LOG="$log" LD_PRELOAD="$preload")
  [ "$1" = xvfb ] || env=(-u DISPLAY "${env[@]}" WAYLAND_DISPLAY="$work/wayland/vorn" XDG_RUNTIME_DIR="$work/wayland")
  [ "$2" != silent ] || env+=(PULSE_SERVER=unix:/nonexistent/vorn-pulse)
  [ "$2" = silent ] || record_sink "$work/$name.raw" $((seconds + 60))
  env "${env[@]}" bash "$root/scripts/play.sh" "$build/vorndemo" >/dev/null 2>"$work/$name.err" &
  intro_pid=$!
  wait_for 60 test -s "$log" || fail "$name: no picture in 60 s: $(tail -n 3 "$work/$name.err")"
  sleep "$seconds"
  local shown
  shown=$(wc -l <"$log")
  kill -TERM "$intro_pid"
  end_intro "$name (after SIGTERM)" 60
  local sound="no sound server"
  if [ "$2" != silent ]; then
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" || true
    sound=$("$python" "$root/tests/sound_match.py" "$work/$name.raw" "$work/render.wav" | head -n 1) || true
  fi
  "$python" - "$log" "$shown" "$name" "$sound" <<'PY'
import sys
import numpy as np
log, shown, name, sound = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
times = np.loadtxt(log)[:shown]
times = times[times >= times[0] + 1]
steps = np.diff(times) * 1000
p1, p50, p99 = np.percentile(steps, [1, 50, 99])
near = np.mean(np.abs(steps - p50) <= 2) * 100
print("%-18s %6.1f frames/s  intervals p1 %5.1f  p50 %5.1f  p99 %5.1f ms  %5.1f %% within p50 +- 2 ms"
      % (name, len(times) / (times[-1] - times[0]), p1, p50, p99, near))
print("%-18s %s" % ("", sound))
PY
}

start_xvfb "$work/xvfb.log" 1920x1080x24
start_weston
echo "fps: $seconds s a run, the launcher's window on sdl12-compat with vsync; load now $(cut -d' ' -f1-3 /proc/loadavg)"
for display in xvfb weston; do run "$display" silent; done
for server in pulseaudio pipewire; do
  "start_$server" "$work/$server.log"
  for display in xvfb weston; do run "$display" "$server"; done
  start_busy
  echo "fps: beside two busy processes; load now $(cut -d' ' -f1-3 /proc/loadavg)"
  for display in xvfb weston; do run "$display" "$server"; done
  stop_busy
done
