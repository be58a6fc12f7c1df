# Sourced by scripts/play.sh and the whole-program tests.
# sdl12-compat is SDL 1.2 over SDL 2: it loads libSDL2 at run time, which
# classic SDL 1.2 never names.  Debian 12 keeps it apart from classic SDL
# 1.2, in the sdl12-compat folder under the multiarch triplet; where it is
# the only SDL 1.2 (Debian 13), it is the ordinary libSDL-1.2.so.0.

# sdl12_lib_dir: the multiarch library folder.
sdl12_lib_dir() {
  local triplet
  triplet=$(gcc -print-multiarch 2>/dev/null || true)
  [ -n "$triplet" ] || triplet="$(uname -m)-linux-gnu"
  echo "/usr/lib/$triplet"
}

# sdl12_is_compat FILE: FILE is sdl12-compat's SDL 1.2.
sdl12_is_compat() { [ -e "$1" ] && grep -qa 'libSDL2-2\.0\.so' "$1"; }

# sdl12_classic_installed: the ordinary libSDL-1.2.so.0 is classic SDL 1.2.
sdl12_classic_installed() {
  local lib
  lib="$(sdl12_lib_dir)/libSDL-1.2.so.0"
  [ -e "$lib" ] && ! sdl12_is_compat "$lib"
}

# sdl12_compat_dir: prints the folder that holds sdl12-compat's
# libSDL-1.2.so.0, or fails when it is not installed.
sdl12_compat_dir() {
  local dir
  for dir in "$(sdl12_lib_dir)" "$(sdl12_lib_dir)/sdl12-compat"; do
    if sdl12_is_compat "$dir/libSDL-1.2.so.0"; then
      echo "$dir"
      return 0
    fi
  done
  return 1
}
