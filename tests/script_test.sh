# Sourced first by the whole-program tests (tests/*.test.sh):
#   source "$VORN_SOURCE_DIR/tests/script_test.sh" NAME
# fail MESSAGE, pass MESSAGE and skip MESSAGE (status 77, which ctest
# counts as skipped); $bin, the built vorndemo (the test fails
# when it is missing); $out, the test's own empty folder for what it keeps,
# $VORN_BINARY_DIR/test-output/NAME; and the Xvfb session with its clean-up
# (scripts/xvfb-session.sh).

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
skip() { echo "SKIP: $*"; exit 77; }
no_classic_sdl="classic SDL 1.2 is not installed (the ordinary libSDL-1.2.so.0 is sdl12-compat)"

bin="$VORN_BINARY_DIR/vorndemo"
out="$VORN_BINARY_DIR/test-output/$1"
[ -x "$bin" ] || fail "$bin was not built"
rm -rf "$out"
mkdir -p "$out"
# shellcheck source=../scripts/xvfb-session.sh
source "$VORN_SOURCE_DIR/scripts/xvfb-session.sh"
