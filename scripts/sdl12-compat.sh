# Sourced by scripts/play.sh and the whole-program tests.
# sdl12_compat_dir: prints the folder that holds sdl12-compat's
# libSDL-1.2.so.0 (Debian's libsdl1.2-compat keeps it apart from classic
# SDL 1.2, under the multiarch triplet), or fails when it is not installed.
sdl12_compat_dir() {
  local triplet dir
  triplet=$(gcc -print-multiarch 2>/dev/null || true)
  [ -n "$triplet" ] || triplet="$(uname -m)-linux-gnu"
  dir="/usr/lib/$triplet/sdl12-compat"
  [ -e "$dir/libSDL-1.2.so.0" ] || return 1
  echo "$dir"
}
