#!/usr/bin/env bash
# The Windows program under Wine (make test-windows), as a person meets it,
# on a private 1920 x 1080 Xvfb with a private PulseAudio server:
#
# - the programs of its folder import no DLL but Windows' own and those
#   beside them (objdump -p);
# - vorndump.exe, the capture under Wine, gives the same digest of every
#   frame and of its sound as the Linux build's vorndump, and the same echo;
# - vorndemo.exe, started from elsewhere, out of a copy of the folder whose
#   path has a space, opens a 512 x 512 window and shows the intro;
# - SPACE, pressed once, leaves the raster-roll part: its scroll-text
#   echo, one character every 16 frames there, pauses for 20 characters' time and more;
# - ESC fades the picture (the exit comes 8 characters' time or more
#   later; the fade is 16) and the status is 1;
# - standard output is the start of the scroll text, standard error empty;
# - the sound server recorded the module's music as libmikmod renders it
#   (tests/sound_match.py --near: Wine may resample on its way, so the
#   samples are vorndump's to judge), silent from a second after ESC to the
#   exit.
#
#   bash tests/windows.sh BUILD WINBUILD
#   bash tests/windows.sh --imports FOLDER    the DLLs alone (tests/release.sh)
#
# BUILD holds the Linux vorndump and tools/xmrender, WINBUILD the Windows
# build (make windows).  The run makes its own Wine prefix in
# WINBUILD/wine-test and ends it with wineserver -k; logs and a screenshot
# stay in WINBUILD/test-output.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# check_imports FOLDER: every DLL that a program or DLL of FOLDER imports is
# Windows' own or lies in FOLDER.
check_imports() {
  local windows_own=" KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll WINMM.dll msvcrt.dll " imports=() file dll
  for file in "$1"/*.exe "$1"/*.dll; do
    [ -f "$file" ] || fail "no programs in $1"
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
      [[ "$windows_own" == *" $dll "* ]] || [ -f "$1/$dll" ] ||
        fail "$(basename "$file") imports $dll, neither Windows' own nor beside it"
      imports+=("$(basename "$file"): $dll")
    done
  done
  pass "the programs import only Windows' own DLLs and those beside them (${imports[*]})"
}
if [ "${1:-}" = --imports ] && [ $# -eq 2 ]; then
  check_imports "$2"
  exit 0
fi
[ $# -eq 2 ] || { echo "usage: bash tests/windows.sh BUILD WINBUILD | --imports FOLDER" >&2; exit 2; }
build=$(realpath "$1")
winbuild=$(realpath "$2")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(vorndemo VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
name="vorndemo-$version-windows-x64"
python=/usr/bin/python3  # Debian's, with numpy
[ -d "$winbuild/$name" ] || fail "$winbuild/$name was not built (make windows)"
for program in "$build/capture/vorndump" "$build/tools/xmrender" "$winbuild/build/vorndump.exe"; do
  [ -x "$program" ] || fail "$program was not built"
done

# Debian 12 keeps the 64-bit loader under /usr/lib/wine; later Wine has one
# loader for both kinds of program.
wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { wine=$candidate; break; }
done
[ -n "$wine" ] || fail "Wine is not installed (bash scripts/setup.sh wine installs it)"
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver) || fail "no wineserver beside $wine"

out="$winbuild/test-output"
rm -rf "$out"
mkdir -p "$out"
# shellcheck source=../scripts/xvfb-session.sh
source "$source_dir/scripts/xvfb-session.sh"
export WINEPREFIX="$winbuild/wine-test" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
end_wine() { [ ! -d "$WINEPREFIX" ] || "$wineserver" -k 2>/dev/null || true; }
trap 'end_wine; cleanup' EXIT
started=$SECONDS

# ---- the DLLs ---------------------------------------------------------------------

check_imports "$winbuild/$name"

# ---- Wine, the X server, the digests ------------------------------------------------

start_xvfb "$out/xvfb.log" 1920x1080x24
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >"$out/wineboot.log" 2>&1 || fail "wineboot: $(tail -n 3 "$out/wineboot.log")"
pass "a fresh Wine prefix ($("$wine" --version)) in $((SECONDS - started)) s"

data_copy "$work/data"
(cd "$work/data" && "$build/capture/vorndump" ../linux.dump >"$out/linux.echo") || fail "the Linux vorndump failed"
(cd "$work/data" && "$wine" "$winbuild/build/vorndump.exe" ../windows.dump >"$out/windows.echo" 2>"$out/vorndump.err") ||
  fail "vorndump.exe failed: $(head -c 300 "$out/vorndump.err")"
cmp -s "$work/linux.dump" "$work/windows.dump" ||
  fail "the digests differ from frame $(cmp "$work/linux.dump" "$work/windows.dump" | sed -n 's/.* line \([0-9]*\).*/\1/p')"
cmp -s "$out/linux.echo" "$out/windows.echo" || fail "vorndump.exe echoes other text than the Linux vorndump"
pass "vorndump: the $(wc -l <"$work/linux.dump") frames and their sound have the same digests on Linux and under Wine"

# ---- the intro, with its sound ---------------------------------------------------------

start_pulseaudio "$out/pulseaudio.log"
"$build/tools/xmrender" "$work/data/duSkal-20080501.xm" "$work/render.wav" 4 >"$out/xmrender.log" 2>&1 ||
  fail "xmrender: $(cat "$out/xmrender.log")"
rec="$out/recording.raw"
record_sink "$rec" 300

mkdir "$work/Vorn Demo"
cp -r "$winbuild/$name" "$work/Vorn Demo/"
start_intro "$out/intro" "$work" "$wine" "$work/Vorn Demo/$name/vorndemo.exe"
intro_shown "vorndemo.exe"
size=$(window_size)
[ "$size" = 512x512 ] || fail "the window is $size, not 512x512"
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/window.png" 2>/dev/null
pass "a 512 x 512 window on the 1920 x 1080 screen"

echoed() { stat -c %s "$out/intro.out"; }
echoed_past() { [ "$(echoed)" -gt "$1" ]; }
# char_time: seconds for the echo to grow by 2 characters, halved; the
# echo has started.
char_time() {
  local from to n
  n=$(echoed)
  wait_for 60 echoed_past "$n" || fail "the echo stopped"
  from=$EPOCHREALTIME n=$(echoed)
  wait_for 60 echoed_past $((n + 1)) || fail "the echo stopped"
  to=$EPOCHREALTIME
  awk -v a="$from" -v b="$to" 'BEGIN { printf "%.3f\n", (b - a) / 2 }'
}
wait_for 120 echoed_past 0 || fail "no scroll text was echoed"

# SPACE pressed once in the raster-roll part moves on to the plasma: the
# echo pauses.
unit=$(char_time)
id=$(intro_window)
xdotool mousemove --window "$id" 10 10 windowfocus "$id" keydown space sleep 0.2 keyup space
n=$(echoed)
sleep "$(awk -v u="$unit" 'BEGIN { print 20 * u }')"
[ "$(echoed)" -eq "$n" ] || fail "SPACE did not leave the raster-roll part: the echo went on"
pass "SPACE left the raster-roll part: the echo paused for 20 characters' time"

at_escape=$(stat -c %s "$rec")
pressed=$EPOCHREALTIME
quit_intro "vorndemo.exe"
fade=$(awk -v a="$pressed" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
at_exit=$(stat -c %s "$rec")
awk -v f="$fade" -v u="$unit" 'BEGIN { exit !(f >= 8 * u) }' ||
  fail "the run ended $fade s after ESC, with a character every $unit s: no fade"
pass "ESC: the run ended $fade s later (a character every $unit s), status 1"

text="$work/scroll_text.txt"
"$build/capture/vorndump" --scroll-text >"$text" || fail "vorndump --scroll-text failed"
size=$(echoed)
cmp -s -n "$size" "$out/intro.out" "$text" || fail "standard output is not the start of the scroll text: $(head -c 200 "$out/intro.out")"
[ ! -s "$out/intro.err" ] || fail "standard error: $(head -c 400 "$out/intro.err")"
pass "standard output: the first $size characters of the scroll text; standard error: nothing"

# judged: the recording up to ESC against libmikmod's render (--near: Wine
# may resample on its way), silent from the fade's end on; the report in
# match.log.
judged() {
  kill "$recorder_pid" 2>/dev/null || true
  wait "$recorder_pid" || true
  "$python" "$source_dir/tests/sound_match.py" --near "$rec" "$work/render.wav" $((at_escape + 44100 * 4)) "$at_exit" \
    >"$out/match.log" 2>&1
}
if ! judged; then
  # Wine's DirectSound now and then falls behind for a whole run and garbles
  # most of it (seen once in four runs of an idle machine): the intro is
  # recorded once more, alone, and that recording is judged.
  sed 's/^/  first recording: /' "$out/match.log"
  rec="$out/recording-again.raw"
  record_sink "$rec" 300
  start_intro "$out/again" "$work" "$wine" "$work/Vorn Demo/$name/vorndemo.exe"
  intro_shown "vorndemo.exe, run again"
  sleep 20
  at_escape=$(stat -c %s "$rec")
  quit_intro "vorndemo.exe, run again"
  at_exit=$(stat -c %s "$rec")
  judged || fail "$(cat "$out/match.log")"
fi
sed 's/^/  /' "$out/match.log"
pass "the sound server recorded the module's music, silent after ESC"

echo "windows: every check passed in $((SECONDS - started)) s"
