# Sourced by the whole-program scripts (tests/*.test.sh, scripts/fps.sh):
# a scratch folder $work, every process the script started in the
# background (the intro, the X server, a window manager, a sound server...)
# stopped and the folder removed at exit, wait_for, start_xvfb,
# use_sdl12_compat, the checks of the intro's window, picture and process,
# and quit_intro.  The caller defines fail MESSAGE.

# shellcheck source=sdl12-compat.sh
source "$(dirname "${BASH_SOURCE[0]}")/sdl12-compat.sh"

work=$(mktemp -d)
intro_pid=""
# The background jobs of this shell still running are ended by their ids.
cleanup() {
  local pids
  pids=$(jobs -p)
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
  wait_for 15 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
  unset SDL_VIDEODRIVER
  export PULSE_SERVER=unix:/nonexistent/vorn-pulse
  export SDL_AUDIODRIVER=dummy
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
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

window_shown() { xdotool search --onlyvisible --class vorndemo >/dev/null 2>&1; }

# picture_shown: something on the screen is not black; the intro draws
# its first frame only after start-up has loaded every file.
picture_shown() { [ "$(xwd -root -silent | xwdtopnm 2>/dev/null | pamsumm -max -brief)" -gt 0 ]; }

# intro_shown LABEL: waits (at most 30 s each) for the intro's window and
# its first picture; fails naming LABEL.
intro_shown() {
  wait_for 30 window_shown || fail "$1: no window appeared"
  wait_for 30 picture_shown || fail "$1: the first picture did not show"
}

# intro_gone: the process $intro_pid has ended.
intro_gone() { ! kill -0 "$intro_pid" 2>/dev/null; }

intro_window() { xdotool search --onlyvisible --class vorndemo | head -n 1; }

# window_size: WIDTHxHEIGHT of the intro's window.
window_size() {
  xdotool getwindowgeometry --shell "$(intro_window)" | awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } END { print w "x" h }'
}

# quit_intro LABEL: ESC held until the program has gone (at most 30 s), with
# the window given the keyboard (SDL 2 took it for a window of an earlier
# run, which leaves it on the root window); checks status 1.
quit_intro() {
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
