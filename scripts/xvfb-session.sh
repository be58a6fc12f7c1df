# Sourced by the whole-program scripts (tests/intro.test.sh, scripts/fps.sh):
# a scratch folder $work, the intro ($intro_pid) and the X server stopped
# and the folder removed at exit, wait_for, and start_xvfb.  The caller
# defines fail MESSAGE.

work=$(mktemp -d)
xvfb_pid=""
intro_pid=""
cleanup() {
  [ -n "$intro_pid" ] && kill "$intro_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
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

# start_xvfb LOG: a private 256 x 256 x 24 X server, its messages in LOG,
# made the DISPLAY of everything started after.  Sound never reaches a real
# server or device: SDL's dummy output, which opens everywhere.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 256x256x24 -nolisten tcp -noreset 3>"$work/display" 2>"$1" &
  xvfb_pid=$!
  wait_for 15 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
  unset SDL_VIDEODRIVER
  export PULSE_SERVER=unix:/nonexistent/vorn-pulse
  export SDL_AUDIODRIVER=dummy
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
}
