#!/usr/bin/env bash
# The music module as three independent players hear it: libmikmod
# (xmrender: its software mixer as the intro plays it), openmpt123 and xmp.
# Each must load it without an error or warning, play one pass of the same
# length (within 1 % of each other and of the length the order list
# gives), never go quiet (the RMS of every 5-second window above 0.01, about
# -40 dBFS) and never reach full scale (peak below 0.98).  The players'
# exit codes say nothing about loading, so their output is read instead.
set -euo pipefail

song="$VORN_SOURCE_DIR/data/duSkal-20080501.xm"
render="$VORN_BINARY_DIR/tools/xmrender"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

[ -f "$song" ] || { echo "FAIL: $song is missing"; exit 1; }

# ---- loading --------------------------------------------------------------
openmpt123 --info "$song" >"$tmp/openmpt.info" 2>&1 || true
if grep -qiE 'error|warning' "$tmp/openmpt.info"; then fail "openmpt123 reports: $(grep -iE 'error|warning' "$tmp/openmpt.info")"; fi
grep -q 'Subsongs...: 1$' "$tmp/openmpt.info" || fail "openmpt123 does not see exactly one subsong (a jump back?)"
grep -q 'Channels...: 4$' "$tmp/openmpt.info" || fail "openmpt123 does not see 4 channels"

xmp --load-only -v "$song" >"$tmp/xmp.info" 2>&1 || true
if grep -qiE 'error|unrecognized|warning' "$tmp/xmp.info"; then fail "xmp reports: $(grep -iE 'error|unrecognized|warning' "$tmp/xmp.info")"; fi
grep -qE '^Channels +: 4 ' "$tmp/xmp.info" || fail "xmp does not see 4 channels"

# ---- rendering ------------------------------------------------------------
if ! "$render" "$song" "$tmp/libmikmod.wav" 4 >"$tmp/libmikmod.info" 2>&1; then
  fail "libmikmod: $(cat "$tmp/libmikmod.info")"
fi
grep -q '^channels 4$' "$tmp/libmikmod.info" || fail "libmikmod does not see 4 channels"
openmpt123 --batch --quiet --force --no-float --samplerate 44100 -o "$tmp/openmpt123.wav" "$song" \
  >"$tmp/openmpt.log" 2>&1 || true
if grep -qiE 'error|warning' "$tmp/openmpt.log"; then fail "openmpt123 render: $(cat "$tmp/openmpt.log")"; fi
xmp -q -o "$tmp/xmp.wav" "$song" >"$tmp/xmp.log" 2>&1 || true
if grep -qiE 'error|warning' "$tmp/xmp.log"; then fail "xmp render: $(cat "$tmp/xmp.log")"; fi

nominal=$(awk '/^nominal seconds/ {print $3}' "$tmp/libmikmod.info")
[ -n "$nominal" ] || { echo "FAIL: no nominal length from libmikmod"; exit 1; }
echo "one pass of the order list: $nominal s"

# ---- measuring ------------------------------------------------------------
stat_of() {  # file, start, length -> "rms peak"
  sox "$1" -n trim "$2" "$3" stat 2>&1 |
    awk '/^RMS +amplitude/ {r = $3} /^Maximum amplitude/ {mx = $3} /^Minimum amplitude/ {mn = -$3}
         END {printf "%s %s\n", r, (mx > mn ? mx : mn)}'
}

durations=()
for player in libmikmod openmpt123 xmp; do
  wav="$tmp/$player.wav"
  if [ ! -s "$wav" ]; then fail "$player wrote no audio"; continue; fi
  length=$(soxi -D "$wav")
  durations+=("$length")
  read -r rms peak < <(stat_of "$wav" 0 "$length")
  # Every full 5-second window, plus the last five seconds.
  starts=$(awk -v d="$length" 'BEGIN { for (s = 0; s + 5 <= d; s += 5) print s; if (d >= 5) print d - 5 }')
  quietest=1
  quietest_at=0
  for s in $starts; do
    read -r w_rms _ < <(stat_of "$wav" "$s" 5)
    if awk -v a="$w_rms" -v b="$quietest" 'BEGIN { exit !(a < b) }'; then quietest=$w_rms; quietest_at=$s; fi
  done
  printf '%-10s length %8.3f s  RMS %.4f  peak %.4f  quietest 5 s window %.4f at %s s\n' \
    "$player" "$length" "$rms" "$peak" "$quietest" "$quietest_at"
  awk -v q="$quietest" 'BEGIN { exit !(q > 0.01) }' || fail "$player goes quiet: RMS $quietest at $quietest_at s"
  awk -v p="$peak" 'BEGIN { exit !(p < 0.98) }' || fail "$player clips: peak $peak"
  awk -v d="$length" -v n="$nominal" 'BEGIN { exit !(d > n * 0.99 && d < n * 1.01) }' ||
    fail "$player plays $length s, not the $nominal s of one pass"
done
if [ ${#durations[@]} -eq 3 ]; then
  awk -v a="${durations[0]}" -v b="${durations[1]}" -v c="${durations[2]}" 'BEGIN {
      lo = a; hi = a; if (b < lo) lo = b; if (c < lo) lo = c; if (b > hi) hi = b; if (c > hi) hi = c;
      exit !(hi <= lo * 1.01) }' || fail "the three lengths differ by more than 1 %: ${durations[*]}"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
pass "the module loads, lasts and sounds alike in libmikmod, openmpt123 and xmp"
