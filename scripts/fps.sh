#!/usr/bin/env bash
# Frames per second of each part: runs BUILD_DIR/vorndemo in a copy of data/
# on a private 256 x 256 Xvfb server, under gdb, whose only breakpoints are
# the entries of the three parts; each logs the part's name and the time.
# No key is pressed for two whole passes of the sequence, then ESC ends the
# run.  A part's rate is its frame budget over the time from its entry to
# the next part's entry.
#
#   bash scripts/fps.sh build
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: bash scripts/fps.sh BUILD_DIR" >&2; exit 2; }
[ -d "$1" ] || { echo "fps: no build folder $1" >&2; exit 1; }
bin="$(cd "$1" && pwd)/vorndemo"
loops=2
parts=(zoom rolls plasma)
budgets=(1004 1500 750)  # frames: four logos of 251, the rolls, the plasma

fail() { echo "fps: $*" >&2; exit 1; }

[ -x "$bin" ] || fail "$bin was not built"
command -v Xvfb >/dev/null && command -v gdb >/dev/null && command -v xdotool >/dev/null ||
  fail "needs Xvfb, gdb and xdotool (bash scripts/setup.sh installs them)"

# shellcheck source=xvfb-session.sh
source "$root/scripts/xvfb-session.sh"
start_xvfb "$work/xvfb.log"
export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"

mkdir "$work/data"
cp "$root"/data/* "$work/data"/

# One line per part entry, "NAME SECONDS.NANOSECONDS", from a single date
# run: the program stands still only while that runs.
log="$work/gdb.log"
{
  echo "set pagination off"
  echo "set confirm off"
  echo "set breakpoint pending off"
  for p in "${parts[@]}"; do
    printf 'break demo_part_%s\ncommands\nsilent\nshell date "+%s %%s.%%N"\ncontinue\nend\n' "$p" "$p"
  done
  echo "run > /dev/null 2> '$work/stderr'"
} >"$work/fps.gdb"
(cd "$work/data" && exec gdb -q -batch -x "$work/fps.gdb" "$bin" >"$log" 2>&1) &
intro_pid=$!

entries() { grep -cE '^(zoom|rolls|plasma) [0-9]' "$log" || true; }
# The entry that ends the last measured part: the zoom of the next pass.
wanted=$((loops * ${#parts[@]} + 1))
measured_or_gone() { [ "$(entries)" -ge "$wanted" ] || [ ! -e "/proc/$intro_pid" ]; }
# Generous: a sanitizer build runs the sequence at a fraction of the speed.
wait_for 600 measured_or_gone ||
  fail "the run stalled after $(entries) part entries (gdb says: $(tail -n 3 "$log"))"
[ "$(entries)" -ge "$wanted" ] || fail "the run ended early: $(tail -n 5 "$log")"

# ESC, held until the program has gone (it reads the held key every frame).
xdotool mousemove 128 128 keydown Escape
gone() { [ ! -e "/proc/$intro_pid" ]; }
wait_for 60 gone || true
xdotool keyup Escape
wait "$intro_pid" || true
intro_pid=""

awk -v wanted="$wanted" -v names="${parts[*]}" -v budgets="${budgets[*]}" '
  BEGIN { n = split(names, name, " "); split(budgets, frames, " ") }
  /^(zoom|rolls|plasma) [0-9]/ && m < wanted { ++m; part[m] = $1; t[m] = $2 }
  END {
    for (i = 1; i < m; ++i) {
      k = (i - 1) % n + 1
      if (part[i] != name[k]) { printf "fps: entry %d is part %s, not %s\n", i, part[i], name[k]; exit 1 }
      s = t[i + 1] - t[i]
      printf "loop %d %-6s %4d frames %6.2f s %6.0f fps\n", int((i - 1) / n) + 1, part[i], frames[k], s, frames[k] / s
    }
  }' "$log"
