#!/usr/bin/env bash
# The version is stated once, in CMake's project(), and its date once, in
# the Debian changelog's latest entry: the launchers, the manual pages, the
# AppStream metadata and the release texts made from them say the same, and
# no other version.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
for launcher in "$VORN_BINARY_DIR/play" "$VORN_BINARY_DIR/launcher/vorndemo"; do
  said=$(bash "$launcher" --version)
  [ "$said" = "vorndemo $VORN_VERSION" ] || fail "$launcher --version says '$said', not 'vorndemo $VORN_VERSION'"
done
changelog="$VORN_SOURCE_DIR/debian/changelog"
entry=$(head -n 1 "$changelog")
[[ "$entry" == "vorndemo ($VORN_VERSION-"*")"* ]] || fail "debian/changelog begins '$entry', not version $VORN_VERSION"
date=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)" +%F)

for page in vorndemo vorncapture; do
  header=$(head -n 1 "$VORN_BINARY_DIR/share/$page.6")
  [ "$header" = ".TH ${page^^} 6 $date \"vorndemo $VORN_VERSION\" \"Games\"" ] ||
    fail "$page.6 begins '$header', not with $date and $VORN_VERSION"
done
grep -qF "<release version=\"$VORN_VERSION\" date=\"$date\"/>" "$VORN_BINARY_DIR"/share/*.metainfo.xml ||
  fail "the AppStream metadata names no release $VORN_VERSION of $date"
spaced=$(sed 's/./& /g; s/ $//' <<<"$VORN_VERSION")
for text in README.txt windows/README.txt vorndemo.nfo file_id.diz; do
  file="$VORN_BINARY_DIR/release/$text"
  grep -qF "$date" "$file" || fail "$text does not give the date $date"
  named=$(grep -oE "vorndemo[-_ ][0-9][0-9.]*[0-9]|v o r n d e m o   [0-9]( . [0-9])*" "$file" |
    sed -E 's/^v o r n d e m o   //; s/^vorndemo[-_ ]//; s/ //g' | sort -u | paste -sd ' ')
  [ "$named" = "$VORN_VERSION" ] || fail "$text names the versions '$named', not $VORN_VERSION alone"
done
grep -qF "v o r n d e m o   $spaced" "$VORN_BINARY_DIR/release/vorndemo.nfo" || fail "the nfo's title is not $spaced"
echo "ok: version $VORN_VERSION of $date everywhere"
