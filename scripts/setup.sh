#!/usr/bin/env bash
# Installs the Debian packages that the named purposes need, only those
# that are missing:
#
#   bash scripts/setup.sh PURPOSE...
#
#   build    compile the intro and watch it (make build, make run, make data)
#   fuzz     the libFuzzer targets, on top of build (make fuzz)
#   web      the WebAssembly build and its local server (make web, make serve)
#   video    the capture to a video file, on top of build (make video)
#   anim     the README's animated preview, on top of build (make anim)
#   bench    the benchmarks, on top of build (make bench)
#   fps      the measure of smoothness, scripts/fps.sh (make bench): Xvfb,
#            Weston, PulseAudio, PipeWire and its PulseAudio service
#   preview  the sheet of every picture (make preview)
#   test     everything make test runs: build, fuzz, web, bench, video and
#            the test tools (GoogleTest, Xvfb, gdb, the players, the sound
#            servers PulseAudio and PipeWire, Chromium)
#   root     fresh Debian roots (scripts/fresh-root.sh, make test-trixie)
#   release  the release files, on top of build and web (make release,
#            make portable): Debian's package tools and checkers, the
#            archivers
#   windows  the Windows program, cross-built (make windows): mingw-w64
#            and dpkg-dev, which unpacks the source packages of SDL 1.2
#            and libmikmod
#   wine     the Windows program's test under Wine (make test-windows):
#            Wine, Xvfb, xdotool, xwd, a sound server and its recorder
#   debian   Debian's gates (make test-debian): sbuild, autopkgtest,
#            piuparts, blhc, mmdebstrap and fresh roots; root is given
#            subordinate ids for sbuild's and autopkgtest's user namespaces
#
# Without a purpose: test.
# Debian 12 and 13 are served; where they differ, the choice follows what
# this machine's apt offers.  apt-get runs through sudo when not root, with
# one `apt-get update` at most, and none when nothing is missing.
set -euo pipefail

fail() { echo "setup: $*" >&2; exit 1; }
usage() {
  echo "usage: bash scripts/setup.sh build|fuzz|web|video|anim|bench|fps|preview|test|root|release|windows|wine|debian..." >&2
  exit 2
}
[ $# -ge 1 ] || set -- test

command -v apt-get >/dev/null && command -v dpkg-query >/dev/null ||
  fail "needs Debian's apt-get and dpkg, which this machine does not have"
release=$( (. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}") 2>/dev/null) || release=""
case $release in
  debian-12 | debian-13) ;;
  *) fail "serves Debian 12 and 13; this machine runs $( (. /etc/os-release && echo "${PRETTY_NAME:-$release}") 2>/dev/null ||
       echo "a system without /etc/os-release")" ;;
esac

as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "installing packages needs root or sudo"
  as_root=(sudo "${as_root[@]}")
fi

updated=0
apt_update() {
  [ "$updated" -eq 0 ] || return 0
  "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=900 update -q || fail "apt-get update failed"
  updated=1
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# known PACKAGE: dpkg or apt knows it; apt's package lists are fetched
# first when it does not (a fresh machine has none).
known() {
  installed "$1" || apt-cache show --no-all-versions "$1" >/dev/null 2>&1 || apt_update
}

# source_of PACKAGE: the source package PACKAGE is built from, the
# installed version's or else apt's candidate's.
source_of() {
  if installed "$1"; then
    dpkg-query -W -f='${source:Package}' "$1"
    return
  fi
  apt-cache show --no-all-versions "$1" 2>/dev/null |
    awk '/^Package:/ { p = $2 } /^Source:/ { s = $2 } END { if (p == "") exit 1; print (s != "" ? s : p) }'
}

wanted=()
want() { wanted+=("$@"); }

# sdl12-compat (SDL 1.2 over SDL 2), which the launcher runs the intro on:
# a package of its own where the release's SDL 1.2 is the classic one
# (Debian 12); nothing more where the release's SDL 1.2 is sdl12-compat.
want_sdl12_compat() {
  local source
  known libsdl1.2debian
  source=$(source_of libsdl1.2debian) || fail "apt offers no libsdl1.2debian"
  [ "$source" = sdl12-compat ] || want libsdl1.2-compat
}

add_purpose() {
  case $1 in
    build) want g++ cmake make pkg-config libsdl1.2-dev libmikmod-dev
           want_sdl12_compat ;;
    fuzz) add_purpose build; want clang libclang-rt-dev ;;
    # dpkg-dev unpacks libmikmod's source package; python3 serves the site.
    web) want cmake make emscripten dpkg-dev python3 ;;
    video | anim) add_purpose build; want ffmpeg ;;
    bench) add_purpose build; want libbenchmark-dev ffmpeg ;;
    fps) add_purpose build; want xvfb xdotool weston pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber \
                                 dbus-daemon python3-numpy ;;
    preview) want imagemagick ;;
    test) add_purpose fuzz; add_purpose web; add_purpose bench
          want libgtest-dev xvfb xdotool x11-apps x11-utils gdb netpbm openmpt123 xmp sox \
               pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon python3-numpy \
               chromium openbox ;;
    root) want mmdebstrap mount git ;;
    release) add_purpose build; add_purpose web
             want build-essential debhelper dpkg-dev lintian desktop-file-utils appstream \
                  git xz-utils zip unzip ;;
    windows) want cmake make dpkg-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix zip ;;
    debian) add_purpose root; want sbuild autopkgtest piuparts blhc uidmap dpkg-dev file ;;
    wine) want wine wine64 xvfb xdotool x11-apps netpbm pulseaudio pulseaudio-utils python3-numpy ;;
    *) echo "setup: no purpose '$1'" >&2; usage ;;
  esac
}
for purpose in "$@"; do add_purpose "$purpose"; done

# Subordinate ids for the user namespaces of sbuild and autopkgtest (unshare).
for purpose in "$@"; do
  [ "$purpose" = debian ] || continue
  for ids in /etc/subuid /etc/subgid; do
    grep -qs "^$(id -un):" "$ids" || echo "$(id -un):100000:65536" | "${as_root[@]}" tee -a "$ids" >/dev/null
  done
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup ($*): installing ${missing[*]}"
apt_update
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}" || fail "apt-get install failed"
