#!/usr/bin/env bash
# SIGINT and SIGTERM end the intro as ESC does.  On sdl12-compat, whose
# wait for the display's refresh makes the 256-frame fade last seconds
# even on Xvfb: SIGINT and SIGTERM each end a run with status 1 once the
# fade has run, and a second SIGTERM while the picture fades ends the
# process at once by the signal's default action.  On classic SDL, which
# would otherwise turn both signals into its quit event: SIGINT ends the
# run with status 1 (without classic SDL 1.2 that run is left out and the
# test counts as skipped after the rest).  Each run starts in a copy of
# data/ on a private Xvfb server, and a signal is sent only once the first
# picture shows.
set -euo pipefail

# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" signals
start_xvfb "$out/xvfb.log"
data_copy "$work/data"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# start NAME: the intro in the data copy, its output in $out/NAME.*, once
# its first picture shows.
start() {
  start_intro "$out/$1" "$work/data" "$bin"
  intro_shown "$1"
}

# finish NAME: waits for the intro to end; sets status and the seconds
# since $sent.
finish() {
  end_intro "$1"
  took=$(elapsed "$sent" "$(now)")
}

# ---- classic SDL, where the machine has it --------------------------------------

classic=0
if sdl12_classic_installed; then
  classic=1
  start classic-int
  sent=$(now)
  kill -INT "$intro_pid"
  finish classic-int
  [ "$status" -eq 1 ] || fail "classic SDL: SIGINT ended the run with status $status, not 1"
  pass "classic SDL: SIGINT ends the run with status 1 (${took} s)"
fi

# ---- sdl12-compat, the fade paced by the display --------------------------------

use_sdl12_compat 1
for sig in INT TERM; do
  start "compat-$sig"
  maps_sdl12_compat "$intro_pid" || fail "the run does not have sdl12-compat's SDL mapped"
  sent=$(now)
  kill -"$sig" "$intro_pid"
  sleep 1
  ! intro_gone || fail "SIG$sig ended the process within 1 s: no fade"
  finish "compat-$sig"
  [ "$status" -eq 1 ] || fail "SIG$sig ended the run with status $status, not 1"
  awk -v t="$took" 'BEGIN { exit !(t >= 2) }' || fail "SIG$sig ended the run after $took s: the fade was cut short"
  pass "SIG$sig ends the run with status 1 after the fade (${took} s)"
done

start compat-term-twice
kill -TERM "$intro_pid"
sleep 0.5
! intro_gone || fail "the first SIGTERM ended the process at once"
sent=$(now)
kill -TERM "$intro_pid"
finish compat-term-twice
[ "$status" -eq $((128 + 15)) ] || fail "a second SIGTERM during the fade gave status $status, not $((128 + 15))"
pass "a second SIGTERM during the fade ends the process at once (${took} s, status $status)"

[ "$classic" -eq 1 ] || skip "$no_classic_sdl: its SIGINT run was left out, the rest passed"
echo "signals: every check passed"
