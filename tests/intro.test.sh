#!/usr/bin/env bash
# The intro as a person meets it: the built vorndemo, started in a copy of
# data/ on a private Xvfb server, steered with xdotool keys and watched with
# xwd.  The main run goes under gdb, whose breakpoints log each part as it
# starts, the frames each part ran, each skip, the strip's freezing and
# thawing, and photograph every part and the window before and after the
# fade; its standard output is checked against the scroll text, which
# vorndump tells, as it tells the parts' frame budgets.  With
# VORN_SDL=sdl12-compat every run goes on sdl12-compat (SDL 1.2 over SDL 2,
# its wait for the display off), otherwise on classic SDL 1.2 (skipped
# where the machine has none).  Screenshots
# and logs are kept in $VORN_BINARY_DIR/test-output/intro[-sdl12-compat]/.
set -euo pipefail

data="$VORN_SOURCE_DIR/data"
sdl=${VORN_SDL:-classic}
files=(VORN.ppm present.ppm kolmira.ppm 2008.ppm logotype0.ppm logotype1.ppm font32.pbm
       star16a.ppm star16b.ppm star16c.ppm star16d.ppm duSkal-20080501.xm)

# shellcheck source=script_test.sh
source "$VORN_SOURCE_DIR/tests/script_test.sh" "intro${VORN_SDL:+-$VORN_SDL}"
for f in "${files[@]}"; do
  if [ ! -f "$data/$f" ]; then
    echo "SKIP: data/ does not hold the intro's files yet ($f is missing)"
    exit 0
  fi
done

# ---- the X server -----------------------------------------------------------

# The no-sound run below replaces SDL's dummy sound output by one that
# cannot open.
start_xvfb "$out/xvfb.log"
case $sdl in
  classic) sdl12_classic_installed || skip "$no_classic_sdl" ;;
  sdl12-compat) use_sdl12_compat 0 ;;
  *) fail "VORN_SDL=$sdl: neither classic nor sdl12-compat" ;;
esac
# on_chosen_sdl PID: the process has the SDL 1.2 of this run mapped.
on_chosen_sdl() {
  if [ "$sdl" = sdl12-compat ]; then maps_sdl12_compat "$1"; else ! maps_sdl12_compat "$1"; fi
}

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

# shot NAME: the whole screen as $out/NAME.ppm and .png.
shot() {
  xwd -root -silent | xwdtopnm 2>/dev/null >"$out/$1.ppm"
  pnmtopng "$out/$1.ppm" >"$out/$1.png" 2>/dev/null
}

brightest() { pamsumm -max -brief "$out/$1.ppm"; }

# press KEY LIMIT CONDITION...: holds the key for 0.3 s, as a person
# presses it, and on until CONDITION... holds (at most LIMIT seconds), then
# lets it go; a key pressed and let go within one frame is never seen.
press() {
  local key=$1 limit=$2
  shift 2
  xdotool mousemove 128 128 keydown "$key"
  sleep 0.3
  local seen=0
  wait_for "$limit" "$@" || seen=1
  xdotool keyup "$key"
  return $seen
}


lines_in() { grep -c "$2" "$1" || true; }
# The image module's error line; the scroll text echoed on the same stream
# may stand before it on its line (the text has no lower-case letters).
img_errors() { { grep -o 'IMG error' "$1" || true; } | wc -l; }

# The three parts, in their order, with their frame budgets.
dump="$VORN_BINARY_DIR/capture/vorndump"
"$dump" --budgets >"$work/budgets" || fail "vorndump --budgets failed"
parts=() budgets=()
while read -r p n; do parts+=("$p") budgets+=("$n"); done <"$work/budgets"
[ "${parts[*]}" = "zoom rolls plasma" ] || fail "vorndump lists the parts ${parts[*]}, not zoom rolls plasma"
nm -C "$bin" >"$work/symbols"
for p in "${parts[@]}"; do
  grep -q " T demo_part_$p()" "$work/symbols" || fail "demo_part_$p is not in $bin"
done

# The scroll text, and the length of its echo after one whole visit of the
# rolls part: at speed 2 the first character leaves the strip after
# (256 + 32) / 2 frames, then one every 32 / 2 frames.
text="$work/scroll_text.txt"
"$dump" --scroll-text >"$text" || fail "vorndump --scroll-text failed"
[ "$(wc -c <"$text")" -gt 100 ] || fail "vorndump tells a scroll text of $(wc -c <"$text") characters"
rolls_echo=$(((${budgets[1]} - (256 + 32) / 2) / (32 / 2) + 1))

# ---- run 1: parts, keys, fade and exit, under gdb ---------------------------

# gdb logs "part NAME" as each part starts, preceded by "frames N", the
# frames the part before it polled; "skip" each time SPACE is acted on;
# "tick" every 30 frames; "frozen" at the first frame of the rolls part that
# draws no letter into the strip after one that did, and "strip CODE" at the
# first frame that draws one after one that did not, with CODE the first
# letter's code (both note the length of the echo so far); and "fade".  It
# photographs each part at its shot_frame-th frame the first
# time it runs, the screen as the fade starts (a one-time breakpoint: where
# the fade is inlined, its location may lie inside the loop) and as it
# ends, and notes the length of the echo when the plasma part first starts.
shot_frame=200
grab() { echo "shell xwd -root -silent | xwdtopnm 2>/dev/null > '$out/$1.ppm'"; }
dir=$(fresh_data full)
log="$out/full.gdb.log"
{
  echo "set pagination off"
  echo "set confirm off"
  echo "set breakpoint pending off"
  echo 'set $frames = 0'
  echo 'set $all = 0'
  echo 'set $drawn = -1'
  echo 'set $frozen = 0'
  echo 'set $part = -1'
  echo 'set $echo_noted = 0'
  for i in "${!parts[@]}"; do
    p=${parts[$i]}
    echo "set \$shot_$p = 0"
    printf 'break demo_part_%s\ncommands\nsilent\nprintf "frames %%d\\npart %s\\n", $frames\n' "$p" "$p"
    printf 'set $frames = 0\nset $part = %d\n' "$i"
    if [ "$p" = plasma ]; then
      printf 'if $echo_noted == 0\nset $echo_noted = 1\nshell stat -c %%s %s > %s\nend\n' \
        "'$out/full.out'" "'$work/echo-at-plasma'"
    fi
    printf 'continue\nend\n'
  done
  printf 'break font_blit_glyph if $drawn != $all\ncommands\nsilent\n'
  printf 'if $drawn != $all - 1\nprintf "strip %%d\\n", code\nset $frozen = 0\nshell stat -c %%s %s > %s\nend\n' \
    "'$out/full.out'" "'$work/echo-at-strip'"
  printf 'set $drawn = $all\ncontinue\nend\n'
  printf 'break screen_poll_keys\ncommands\nsilent\n'
  printf 'if $part == 1 && $drawn != $all && $frozen == 0\nset $frozen = 1\nprintf "frozen\\n"\nshell stat -c %%s %s > %s\nend\n' \
    "'$out/full.out'" "'$work/echo-at-freeze'"
  printf 'set $all = $all + 1\nif $all %% 30 == 0\nprintf "tick\\n"\nend\n'
  printf 'set $frames = $frames + 1\nif $frames == %d\n' "$shot_frame"
  for i in "${!parts[@]}"; do
    p=${parts[$i]}
    printf 'if $part == %d && $shot_%s == 0\nset $shot_%s = 1\n%s\nend\n' "$i" "$p" "$p" "$(grab "part-$p")"
  done
  printf 'end\ncontinue\nend\n'
  printf 'break demo_skip_part\ncommands\nsilent\nprintf "skip\\n"\ncontinue\nend\n'
  printf 'tbreak demo_fade_out\ncommands\nsilent\nprintf "fade\\n"\n%s\ncontinue\nend\n' "$(grab fade-start)"
  printf 'break screen_keys_destroy\ncommands\nsilent\n%s\ncontinue\nend\n' "$(grab fade-end)"
  echo "run > '$out/full.out' 2> '$out/full.err'"
  echo 'printf "exit status %d\n", $_exitcode'
} >"$work/full.gdb"
(cd "$dir" && ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" exec gdb -q -batch -x "$work/full.gdb" "$bin" >"$log" 2>&1) &
intro_pid=$!

parts_started() { lines_in "$log" '^part '; }
more_parts_than() { [ "$(parts_started)" -gt "$1" ]; }
last_part() { grep '^part ' "$log" | tail -n 1 | cut -d' ' -f2; }
running() { [ "$(last_part)" = "$1" ]; }
# successor PART: the part the sequence runs after PART.
successor() {
  local i
  for ((i = 0; i < ${#parts[@]}; i++)); do
    [ "${parts[$i]}" = "$1" ] && echo "${parts[$(((i + 1) % ${#parts[@]}))]}"
  done
}
# The lines after line N of the log that match PATTERN, counted; whether
# there are any; K ticks after line N; the parts started after line N.
count_after() { awk -v n="$1" -v re="$2" 'NR > n && $0 ~ re { c++ } END { print c + 0 }' "$log"; }
seen_after() { [ "$(count_after "$1" "$2")" -gt 0 ]; }
ticks_after() { [ "$(count_after "$1" '^tick$')" -ge "$2" ]; }
parts_after() { awk -v n="$1" 'NR > n && /^part / { print $2 }' "$log" | paste -sd' '; }
lines() { wc -l <"$log"; }
# held_once KEY PATTERN WHAT: KEY held 0.3 s, and on until the log shows
# PATTERN, then let go; 60 frames later it has been acted on once.
held_once() {
  local key=$1 pattern=$2 what=$3 mark up
  mark=$(lines)
  press "$key" 60 seen_after "$mark" "$pattern" || fail "$what: not acted on"
  up=$(lines)
  wait_for 120 ticks_after "$up" 2 || fail "$what: the frames did not go on"
  acted=$mark
}
# space_in PART: SPACE held in PART lands on the part after it.
space_in() {
  running "$1" || fail "part $(last_part) runs where $1 was expected"
  held_once space '^skip$' "SPACE in part $1"
  local skips started
  skips=$(count_after "$acted" '^skip$')
  started=$(parts_after "$acted")
  [ "$skips" -eq 1 ] || fail "SPACE held in part $1 was acted on $skips times"
  [ "$started" = "$(successor "$1")" ] || fail "SPACE held in part $1 started the parts $started, not $(successor "$1") alone"
  shot "after-space-$1"
}
start_shown() { shot start && [ "$(brightest start)" -gt 0 ]; }

wait_for 120 window_shown || fail "no window appeared (see $log)"
wait_for 60 more_parts_than 0 || fail "no part started"
[ "$(last_part)" = "${parts[0]}" ] || fail "the run began with part $(last_part), not ${parts[0]}"
wait_for 60 start_shown || fail "the first part shows nothing"
pass "the window opens with part ${parts[0]}"

# Untouched, the parts follow each other with their whole budgets.
wait_for 600 more_parts_than ${#parts[@]} || fail "the first pass of the sequence did not end (see $log)"
for i in "${!parts[@]}"; do echo "${parts[$i]} ${budgets[$i]}"; done >"$work/budgets.expected"
awk -v parts=${#parts[@]} '/^frames / { n = $2 } /^part / { if (p != "" && seen++ < parts) print p, n; p = $2 }' \
  "$log" >"$work/budgets.seen"
diff "$work/budgets.expected" "$work/budgets.seen" >/dev/null ||
  fail "parts and frames of the first pass: $(paste -sd, "$work/budgets.seen"), not $(paste -sd, "$work/budgets.expected")"
next=$(grep '^part ' "$log" | sed -n "$((${#parts[@]} + 1))p" | cut -d' ' -f2)
[ "$next" = "${parts[0]}" ] || fail "after the last part the sequence went on with part $next, not ${parts[0]}"
[ "$(lines_in "$log" '^skip$')" -eq 0 ] || fail "a part was skipped with no key pressed"
pass "untouched, the parts run ${budgets[*]} frames each and the sequence starts again"

# Each part, photographed in its first visit: something to see, and three
# different pictures.
for p in "${parts[@]}"; do
  [ -s "$out/part-$p.ppm" ] || fail "no picture of part $p"
  pnmtopng "$out/part-$p.ppm" >"$out/part-$p.png" 2>/dev/null
  [ "$(brightest "part-$p")" -gt 0 ] || fail "part $p shows a black picture"
done
for ((i = 0; i < ${#parts[@]}; i++)); do
  for ((j = i + 1; j < ${#parts[@]}; j++)); do
    ! cmp -s "$out/part-${parts[$i]}.ppm" "$out/part-${parts[$j]}.ppm" ||
      fail "parts ${parts[$i]} and ${parts[$j]} show the same picture"
  done
done
pass "each part shows a picture of its own"

# The echo of one whole visit of the rolls part: the start of the text.
[ -s "$work/echo-at-plasma" ] || fail "the length of the echo was not noted"
[ "$(cat "$work/echo-at-plasma")" -eq "$rolls_echo" ] ||
  fail "$(cat "$work/echo-at-plasma") characters were echoed in the rolls part's ${budgets[1]} frames, not $rolls_echo"
cmp -s -n "$rolls_echo" "$out/full.out" "$text" ||
  fail "the echo does not begin with the scroll text: $(head -c 200 "$out/full.out")"
pass "the rolls part echoes the first $rolls_echo characters of the scroll text"

# One press, one action: SPACE held in each part lands on the next; key 1
# held in the rolls part freezes the strip while the echo goes on, and a
# second press lets it follow the text again.
wait_for 300 running "${parts[0]}" || fail "part ${parts[0]} did not come round again"
space_in "${parts[0]}"
held_once 1 '^frozen$' "key 1 in part $(last_part)"
wait_for 120 ticks_after "$(lines)" 2 || fail "the frames did not go on with the strip frozen"
frozen_at=$(cat "$work/echo-at-freeze")
echoed=$(wc -c <"$out/full.out")
[ "$(count_after "$acted" '^frozen$')" -eq 1 ] && [ "$(count_after "$acted" '^strip ')" -eq 0 ] ||
  fail "key 1 held flipped the scroller more than once: $(awk -v n="$acted" 'NR > n && /^(frozen|strip )/' "$log" | paste -sd,)"
[ "$echoed" -ge $((frozen_at + 2)) ] || fail "the echo stopped with the strip: $frozen_at characters when it froze, $echoed now"
held_once 1 '^strip ' "the second key 1"
[ "$(count_after "$acted" '^strip ')" -eq 1 ] && [ "$(count_after "$acted" '^frozen$')" -eq 0 ] ||
  fail "the second key 1 flipped the scroller more than once: $(awk -v n="$acted" 'NR > n && /^(frozen|strip )/' "$log" | paste -sd,)"
code=$(awk -v n="$acted" 'NR > n && /^strip / { print $2; exit }' "$log")
at=$(cat "$work/echo-at-strip")
want=$(od -An -tu1 -j "$at" -N1 "$text" | tr -d ' ')
[ "$code" = "$want" ] || fail "the strip came back with the code $code in front, not $want, the text's after the $at characters echoed"
pass "key 1 freezes the strip while the echo goes on ($frozen_at to $echoed characters); again, the strip follows the text"
space_in "${parts[1]}"
space_in "${parts[2]}"
pass "SPACE held 0.3 s in each part lands on the next part"

press Escape 300 intro_gone || fail "ESC did not end the run"
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
# Everything on standard output, later visits of the rolls part included,
# is the text from its start on.
size=$(wc -c <"$out/full.out")
[ "$size" -gt 2 ] && cmp -s -n "$size" "$out/full.out" "$text" ||
  fail "standard output is not the start of the scroll text: $(head -c 200 "$out/full.out")"
pass "ESC fades the picture to black and exits with status 1, silently on standard error"

# ---- run 2: no audio output ---------------------------------------------------

dir=$(fresh_data nosound)
(cd "$dir" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/no-such-folder/audio.raw" \
  exec "$bin" >"$out/nosound.out" 2>"$out/nosound.err") &
intro_pid=$!
wait_for 120 window_shown || fail "no window without sound"
on_chosen_sdl "$intro_pid" || fail "the run does not have the SDL 1.2 of $sdl mapped"
press Escape 300 intro_gone || fail "ESC did not end the silent run"
status=0
wait "$intro_pid" || status=$?
intro_pid=""
[ "$status" -eq 1 ] || fail "the silent run exited with $status"
printf 'Could not initialize sound\nReason: Could not open sound device\n' >"$work/nosound.expected"
diff "$work/nosound.expected" "$out/nosound.err" >/dev/null ||
  fail "standard error without sound: $(cat "$out/nosound.err")"
pass "without audio output: the two lines on standard error, pictures as usual, status 1, on $sdl"

# ---- run 3: "VORN.ppm" missing ------------------------------------------------

dir=$(fresh_data novorn VORN.ppm)
# Line-buffered, so that what was printed before ESC is in the file by then.
(cd "$dir" && exec stdbuf -oL "$bin" >"$out/novorn.out" 2>"$out/novorn.err") &
intro_pid=$!
wait_for 120 window_shown || fail "no window without VORN.ppm"
# Start-up has loaded every file once the first picture shows.
wait_for 120 picture_shown || fail "no picture without VORN.ppm"
shot novorn
before=$(img_errors "$out/novorn.out")
press Escape 300 intro_gone || fail "ESC did not end the run without VORN.ppm"
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

echo "intro: every check passed on $sdl"
