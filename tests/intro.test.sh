#!/usr/bin/env bash
# The intro as a person meets it: the built vorndemo, started in a copy of
# data/ on a private Xvfb server, steered with xdotool keys and watched with
# xwd.  The main run goes under gdb, whose breakpoints log each part as it
# starts and photograph the window before and after the fade.  Screenshots
# and logs are kept in $VORN_BINARY_DIR/test-output/intro/.
set -euo pipefail

bin="$VORN_BINARY_DIR/vorndemo"
data="$VORN_SOURCE_DIR/data"
out="$VORN_BINARY_DIR/test-output/intro"
files=(VORN.ppm present.ppm kolmira.ppm 2008.ppm logotype0.ppm logotype1.ppm font32.pbm
       star16a.ppm star16b.ppm star16c.ppm star16d.ppm duSkal-20080501.xm)

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

[ -x "$bin" ] || fail "$bin was not built"
for f in "${files[@]}"; do
  if [ ! -f "$data/$f" ]; then
    echo "SKIP: data/ does not hold the intro's files yet ($f is missing)"
    exit 0
  fi
done

rm -rf "$out"
mkdir -p "$out"
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

# ---- the X server -----------------------------------------------------------

Xvfb -displayfd 3 -screen 0 256x256x24 -nolisten tcp -noreset 3>"$work/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
wait_for 15 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"
unset SDL_VIDEODRIVER
# Sound: never a real server or device.  SDL's dummy output opens everywhere;
# the no-sound run replaces it by one that cannot open.
export PULSE_SERVER=unix:/nonexistent/vorn-pulse
export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"

# ---- helpers ------------------------------------------------------------------

# A fresh copy of data/ for one run, without the files named.
fresh_data() {
  local dir="$work/$1"
  shift
  mkdir -p "$dir"
  cp "$data"/* "$dir"/
  for f in "$@"; do rm -f "$dir/$f"; done
  echo "$dir"
}

window_shown() { xdotool search --onlyvisible --class vorndemo >/dev/null 2>&1; }

# shot NAME: the whole screen as $out/NAME.ppm and .png.
shot() {
  xwd -root -silent | xwdtopnm 2>/dev/null >"$out/$1.ppm"
  pnmtopng "$out/$1.ppm" >"$out/$1.png" 2>/dev/null
}

brightest() { pamsumm -max -brief "$out/$1.ppm"; }

# press KEY: holds the key until CONDITION... holds (at most 10 s), then
# lets it go.  Held keys act in every frame, so a fixed short tap could fall
# between two frames and never be seen.
press() {
  local key=$1
  shift
  xdotool mousemove 128 128 keydown "$key"
  local seen=0
  wait_for 10 "$@" || seen=1
  xdotool keyup "$key"
  return $seen
}

exited() { ! kill -0 "$intro_pid" 2>/dev/null; }

lines_in() { grep -c "$2" "$1" || true; }
# The image module's error line; the scroll text echoed on the same stream
# may stand before it on its line (the text has no lower-case letters).
img_errors() { { grep -o 'IMG error' "$1" || true; } | wc -l; }

# The parts in this build, in their order, and the stand-in used without any.
parts=()
for p in zoom rolls plasma; do
  if nm -C "$bin" | grep -q " T demo_part_$p()"; then parts+=("$p"); fi
done
[ ${#parts[@]} -gt 0 ] || parts=(hold)
echo "parts in this build: ${parts[*]}"

# ---- run 1: keys, parts, fade and exit, under gdb ---------------------------

dir=$(fresh_data full)
log="$out/full.gdb.log"
{
  echo "set pagination off"
  echo "set confirm off"
  echo "set breakpoint pending off"
  for p in "${parts[@]}"; do
    printf 'break demo_part_%s\ncommands\nsilent\nprintf "part %s\\n"\ncontinue\nend\n' "$p" "$p"
  done
  printf 'break demo_fade_out\ncommands\nsilent\nprintf "fade\\n"\nshell %s\ncontinue\nend\n' \
    "xwd -root -silent | xwdtopnm 2>/dev/null > '$out/fade-start.ppm'"
  printf 'break screen_keys_destroy\ncommands\nsilent\nshell %s\ncontinue\nend\n' \
    "xwd -root -silent | xwdtopnm 2>/dev/null > '$out/fade-end.ppm'"
  echo "run > '$out/full.out' 2> '$out/full.err'"
  echo 'printf "exit status %d\n", $_exitcode'
} >"$work/full.gdb"
(cd "$dir" && ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" exec gdb -q -batch -x "$work/full.gdb" "$bin" >"$log" 2>&1) &
intro_pid=$!

parts_started() { lines_in "$log" '^part '; }
more_parts_than() { [ "$(parts_started)" -gt "$1" ]; }
last_part() { grep '^part ' "$log" | tail -n 1 | cut -d' ' -f2; }
# successor PART: the part the sequence runs after PART.
successor() {
  local i
  for ((i = 0; i < ${#parts[@]}; i++)); do
    [ "${parts[$i]}" = "$1" ] && echo "${parts[$(((i + 1) % ${#parts[@]}))]}"
  done
}
# Waits until no part has started for 0.2 s (a released key may still end
# the part that saw it last).
settle() {
  local n i
  for ((i = 0; i < 50; i++)); do
    n=$(parts_started)
    sleep 0.2
    [ "$(parts_started)" = "$n" ] && return 0
  done
  return 1
}
start_shown() { shot start && [ "$(brightest start)" -gt 0 ]; }

wait_for 30 window_shown || fail "no window appeared (see $log)"
wait_for 10 more_parts_than 0 || fail "no part started"
[ "$(last_part)" = "${parts[0]}" ] || fail "the run began with part $(last_part), not ${parts[0]}"
wait_for 10 start_shown || fail "the first part shows nothing"
pass "the window opens with part ${parts[0]}"

# SPACE: the part that starts next is the following one in the sequence.
for ((i = 1; i <= ${#parts[@]} + 1; i++)); do
  settle || fail "the parts do not stop changing"
  current=$(last_part)
  before=$(parts_started)
  press space more_parts_than "$before" || fail "SPACE in part $current started no new part"
  got=$(grep '^part ' "$log" | sed -n "$((before + 1))p" | cut -d' ' -f2)
  [ "$got" = "$(successor "$current")" ] ||
    fail "SPACE in part $current started part $got, not $(successor "$current")"
  shot "after-space-$i"
done
pass "SPACE moves on to the next part"

press Escape exited || fail "ESC did not end the run"
wait "$intro_pid" || true
intro_pid=""
grep -q '^exit status 1$' "$log" || fail "the run did not exit with status 1 ($(grep '^exit status' "$log" || echo none))"
grep -q '^fade$' "$log" || fail "no fade-out"
pnmtopng "$out/fade-start.ppm" >"$out/fade-start.png" 2>/dev/null
pnmtopng "$out/fade-end.ppm" >"$out/fade-end.png" 2>/dev/null
[ "$(brightest fade-start)" -gt 0 ] || fail "the fade started from a black picture"
[ "$(brightest fade-end)" -eq 0 ] || fail "the picture did not fade to black"
[ ! -s "$out/full.err" ] || fail "unexpected lines on standard error: $(head -c 400 "$out/full.err")"
[ "$(img_errors "$out/full.out")" -eq 0 ] || fail "IMG error with every file present"
pass "ESC fades the picture to black and exits with status 1, silently on standard error"

# ---- run 2: no audio output ---------------------------------------------------

dir=$(fresh_data nosound)
(cd "$dir" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/no-such-folder/audio.raw" \
  exec "$bin" >"$out/nosound.out" 2>"$out/nosound.err") &
intro_pid=$!
wait_for 30 window_shown || fail "no window without sound"
press Escape exited || fail "ESC did not end the silent run"
status=0
wait "$intro_pid" || status=$?
intro_pid=""
[ "$status" -eq 1 ] || fail "the silent run exited with $status"
printf 'Could not initialize sound\nReason: Could not open sound device\n' >"$work/nosound.expected"
diff "$work/nosound.expected" "$out/nosound.err" >/dev/null ||
  fail "standard error without sound: $(cat "$out/nosound.err")"
pass "without audio output: the two lines on standard error, pictures as usual, status 1"

# ---- run 3: "VORN.ppm" missing ------------------------------------------------

dir=$(fresh_data novorn VORN.ppm)
# Line-buffered, so that what was printed before ESC is in the file by then.
(cd "$dir" && exec stdbuf -oL "$bin" >"$out/novorn.out" 2>"$out/novorn.err") &
intro_pid=$!
wait_for 30 window_shown || fail "no window without VORN.ppm"
shot novorn
before=$(img_errors "$out/novorn.out")
press Escape exited || fail "ESC did not end the run without VORN.ppm"
status=0
wait "$intro_pid" || status=$?
intro_pid=""
[ "$status" -eq 1 ] || fail "the run without VORN.ppm exited with $status"
after=$(img_errors "$out/novorn.out")
[ $((after - before)) -eq 1 ] || fail "$((after - before)) IMG error lines at exit without VORN.ppm, not 1"
[ ! -s "$out/novorn.err" ] || fail "unexpected lines on standard error: $(head -c 400 "$out/novorn.err")"
pass "without VORN.ppm the run goes on and its exit prints one IMG error"

# ---- run 4: no display ----------------------------------------------------------

dir=$(fresh_data novideo)
status=0
(cd "$dir" && SDL_VIDEODRIVER=x11 DISPLAY=:nonexistent timeout 20 "$bin" >"$out/novideo.out" 2>"$out/novideo.err") ||
  status=$?
[ "$status" -eq 2 ] || fail "without a display the program exited with $status, not 2"
[ "$(wc -l <"$out/novideo.err")" -eq 1 ] && grep -q '^Could not set video mode: ..*$' "$out/novideo.err" ||
  fail "without a display standard error reads: $(cat "$out/novideo.err")"
[ ! -s "$out/novideo.out" ] || fail "without a display standard output reads: $(cat "$out/novideo.out")"
pass "without a display: one line with SDL's reason, status 2 ($(cat "$out/novideo.err"))"

echo "intro: every check passed"
