#!/usr/bin/env bash
# The version is stated once, in CMake's project(); the launchers made from
# it and the Debian changelog's latest entry say the same.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
for launcher in "$VORN_BINARY_DIR/play" "$VORN_BINARY_DIR/launcher/vorndemo"; do
  said=$(bash "$launcher" --version)
  [ "$said" = "vorndemo $VORN_VERSION" ] || fail "$launcher --version says '$said', not 'vorndemo $VORN_VERSION'"
done
entry=$(head -n 1 "$VORN_SOURCE_DIR/debian/changelog")
[[ "$entry" == "vorndemo ($VORN_VERSION-"*")"* ]] || fail "debian/changelog begins '$entry', not version $VORN_VERSION"
echo "ok: version $VORN_VERSION everywhere"
