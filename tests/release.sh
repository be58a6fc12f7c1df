#!/usr/bin/env bash
# The release as people get it (make test-release, after make release):
#
# - dist/ holds the release files and SHA256SUMS, which checks them;
# - lintian finds no error and no warning in the package, and its desktop
#   entry and AppStream metadata pass desktop-file-validate and
#   appstreamcli;
# - the portable program's NEEDED entries are exactly those README.txt names;
# - the Windows zip's programs import only Windows' own DLLs and those
#   beside them (tests/windows.sh --imports);
# - a clone of the committed HEAD in another folder builds the same source
#   package, the same package, the same portable archive and the same
#   Windows zip, byte for byte;
# - in fresh Debian 12 and 13 roots, `apt-get install ./PACKAGE` pulls what
#   it needs, and `vorndemo` opens a 512 x 512 window on a 1920 x 1080 Xvfb
#   and ESC ends it after the fade with status 1 (its purge is piuparts' to
#   prove, in make test-debian);
# - in a fresh Debian 13 root with SDL 1.2 and libpulse but no libmikmod, the
#   portable archive unpacked into a folder whose path has a space does the
#   same;
# - the arm64 and armhf packages pass lintian too, and in a fresh Debian 13
#   root with arm64's SDL 1.2, the aarch64 archive's program, run by
#   qemu-aarch64 as the launcher would run it, does the same (scripts/ports.sh
#   built those three twice, from two folders, and found them the same).
#
#   bash tests/release.sh ROOTS     (ROOTS: the fresh-root helper's folder)
#
# Inside a root the same file runs as `release.sh --inside package|archive
# FILE VERSION`, with scripts/ beside it.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# ---- inside a fresh root --------------------------------------------------------

# Xvfb at 1920 x 1080 and Mesa's GL, which a desktop has and which lets
# sdl12-compat wait for the display's refresh; the program's window 512 x
# 512; ESC held until it has gone: after a fade paced by the display (256
# frames at 120 Hz or less take 2 s or more), status 1.
run_intro() {
  local label=$1
  shift
  start_xvfb "$work/xvfb.log" 1920x1080x24
  start_intro "$work/intro" . "$@"
  intro_shown "$label ($(head -c 300 "$work/intro.err"))"
  sleep 2
  local size
  size=$(window_size)
  [ "$size" = 512x512 ] || fail "$label: the window is $size, not 512x512 ($(head -n 1 "$work/intro.err"))"
  local pressed=$EPOCHREALTIME
  quit_intro "$label"
  local fade
  fade=$(awk -v a="$pressed" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
  awk -v f="$fade" 'BEGIN { exit !(f >= 2) }' || fail "$label: it ended $fade s after ESC: no paced fade"
  pass "$label: a 512 x 512 window on a 1920 x 1080 screen ($(head -n 1 "$work/intro.err")); ESC, a fade of $fade s, status 1"
}

inside() {
  local what=$1 file=$2
  local release
  release=$(. /etc/os-release && echo "Debian $VERSION_ID")
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # The test's own tools, not the program's: the X server, its keys, Mesa.
  local tools=(xvfb xdotool x11-apps netpbm libgl1-mesa-dri)
  case $what in
    package)
      apt-get install -y -q "$file" >$work/install.log 2>&1 ||
        { tail -n 20 $work/install.log >&2; fail "$release: apt-get install $file failed"; }
      pass "$release: apt-get install $(basename "$file"): $(grep -c '^Setting up' $work/install.log) packages set up"
      apt-get install -y -q --no-install-recommends "${tools[@]}" >/dev/null
      # A user's PATH has /usr/games; root's has not.
      PATH="$PATH:/usr/games" run_intro "$release, the package" vorndemo
      ;;
    archive)
      apt-get install -y -q --no-install-recommends libsdl1.2debian libpulse0 xz-utils "${tools[@]}" >/dev/null
      ! dpkg-query -W libmikmod3 >/dev/null 2>&1 || fail "$release: libmikmod is installed"
      ! ldconfig -p | grep -q libmikmod || fail "$release: the loader finds a libmikmod"
      local folder="/opt/with space"
      mkdir -p "$folder"
      tar -C "$folder" -xJf "$file"
      run_intro "$release without libmikmod, the archive in '$folder'" "$folder/vorndemo-$VERSION/vorndemo"
      ;;
    aarch64)
      dpkg --add-architecture arm64
      apt-get update -qq
      apt-get install -y -q --no-install-recommends libsdl1.2debian:arm64 libpulse0:arm64 libgl1-mesa-dri:arm64 \
        qemu-user xz-utils "${tools[@]}" >/dev/null
      ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-* || fail "$release: a binfmt_misc registration for qemu exists"
      mkdir -p /opt/pi
      tar -C /opt/pi -xJf "$file"
      # What the launcher sets for sdl12-compat on a 1920 x 1080 screen; the
      # launcher's own programs cannot run without binfmt_misc.
      cd "/opt/pi/vorndemo-$VERSION/data"
      export SDL12COMPAT_WINDOW_SCALING=2 SDL12COMPAT_SYNC_TO_VBLANK=1 SDL12COMPAT_SCALE_METHOD=nearest
      PULSE_SERVER=unix:/nonexistent/vorn-pulse run_intro "$release, the aarch64 archive under qemu-aarch64" \
        qemu-aarch64 -L / ../lib/vorndemo
      ;;
  esac
}

if [ "${1:-}" = --inside ]; then
  VERSION=$4
  # shellcheck source=../scripts/xvfb-session.sh
  source "$(dirname "$0")/scripts/xvfb-session.sh"
  inside "$2" "$3"
  exit 0
fi

# ---- on the machine ---------------------------------------------------------------

[ $# -eq 1 ] || { echo "usage: bash tests/release.sh ROOTS" >&2; exit 2; }
roots=$(realpath -m "$1")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$source_dir"
version=$(sed -n 's/^project(vorndemo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb="vorndemo_$version-1_$(dpkg --print-architecture).deb"
source_package=("vorndemo_$version.orig.tar.gz" "vorndemo_$version-1.debian.tar.xz" "vorndemo_$version-1.dsc")
archive="vorndemo-$version-linux-$(uname -m).tar.xz"
ported=("vorndemo_$version-1_arm64.deb" "vorndemo_$version-1_armhf.deb" "vorndemo-$version-linux-aarch64.tar.xz")
windows="vorndemo-$version-windows-x64"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- the files, their sums, the checkers ----

(cd dist && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match dist/"
listed=$(awk '{ print $2 }' dist/SHA256SUMS | sort | paste -sd ' ')
[ "$listed" = "$(printf '%s\n' "$deb" "${source_package[@]}" "$archive" "vorndemo-$version.tar.gz" "$windows.zip" "vorndemo-$version-web.zip" "${ported[@]}" | sort | paste -sd ' ')" ] ||
  fail "SHA256SUMS lists $listed"
pass "SHA256SUMS checks $listed"

for package in "$deb" "${ported[@]:0:2}"; do
  lintian --fail-on error,warning "dist/$package" >"$work/lintian" 2>&1 || { cat "$work/lintian" >&2; fail "lintian $package"; }
  ! grep -q '^[EW]:' "$work/lintian" || { cat "$work/lintian" >&2; fail "lintian reports errors or warnings in $package"; }
done
pass "lintian: no errors, no warnings in $deb ${ported[*]:0:2}"

dpkg-deb -x "dist/$deb" "$work/deb"
desktop-file-validate "$work"/deb/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$work"/deb/usr/share/metainfo/*.xml >"$work/appstream" 2>&1 ||
  { cat "$work/appstream" >&2; fail "appstreamcli validate"; }
! grep -q '^[EW]:' "$work/appstream" || { cat "$work/appstream" >&2; fail "appstreamcli reports errors or warnings"; }
pass "desktop-file-validate and appstreamcli: $(tail -n 1 "$work/appstream")"

# README.txt names the libraries, then the loader of each machine.
for file in "$archive" "${ported[2]}"; do
  rm -rf "$work/archive" && mkdir "$work/archive"
  tar -C "$work/archive" -xJf "dist/$file"
  top="$work/archive/vorndemo-$version"
  loader=$(readelf -l "$top/lib/vorndemo" | sed -n 's|.*interpreter: .*/\([^/]*\)\]|\1|p')
  needed=$(readelf -d "$top/lib/vorndemo" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -vxF "$loader" | sort | paste -sd ' ')
  named=$(awk '/^    lib[^ ]*\.so\.[0-9]+$/ { print $1 }' "$top/README.txt" | sort | paste -sd ' ')
  [ -n "$needed" ] && [ "$needed" = "$named" ] && [ -n "$loader" ] && grep -Eq "^    $loader +on " "$top/README.txt" ||
    fail "$file: the program needs '$needed' and $loader; README.txt names '$named'"
  pass "$file: the program needs what README.txt names: $needed"
done

mkdir "$work/windows"
(cd "$work/windows" && unzip -q "$source_dir/dist/$windows.zip")
bash tests/windows.sh --imports "$work/windows/$windows"

# ---- the same bytes from another folder ----

git clone -q --no-hardlinks . "$work/elsewhere/vorndemo"
JOBS=${JOBS:-2} bash "$work/elsewhere/vorndemo/scripts/release.sh" packages >"$work/elsewhere.log" 2>&1 ||
  { tail -n 30 "$work/elsewhere.log" >&2; fail "scripts/release.sh packages in a second clone"; }
for file in "${source_package[@]}" "$deb" "$archive" "$windows.zip"; do
  cmp "dist/$file" "$work/elsewhere/vorndemo/dist/$file" || fail "$file differs when built in another folder"
done
pass "a clone in another folder builds the same ${source_package[*]}, $deb, $archive and $windows.zip"
rm -rf "$work/elsewhere"

# ---- fresh roots ----

in_root() {
  local release=$1 what=$2 file=$3
  bash scripts/fresh-root.sh --work "$roots" --apt-cache --put "$source_dir/tests/release.sh" /root/test/release.sh \
    --put "$source_dir/scripts" /root/test/scripts --put "$source_dir/dist/$file" "/root/$file" \
    "$release" bash /root/test/release.sh --inside "$what" "/root/$file" "$version" ||
    fail "$release: the $what"
}
in_root bookworm package "$deb"
in_root trixie package "$deb"
in_root trixie archive "$archive"
in_root trixie aarch64 "${ported[2]}"
echo "release: every check passed"
