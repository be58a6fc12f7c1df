#!/usr/bin/env bash
# The intro on other processors, each built with Debian's cross compilers
# in a fresh Debian root of its own (scripts/fresh-root.sh: Debian 12, or
# Debian 13 for riscv64, which Debian 12 does not have), whose foreign
# development packages (dpkg --add-architecture) cannot share one root:
# Debian 12's libsdl1.2-dev is installed for one architecture at a time.
#
#   bash scripts/ports.sh test ROOTS BUILD ARCH...
#       (make test-ports) cross-builds the program, its tools and its unit
#       tests, runs the unit tests under qemu-user (ctest, through CMake's
#       CMAKE_CROSSCOMPILING_EMULATOR; the whole-program checks and the
#       screen's checks on an X server are left to this machine's build) and
#       compares vorndump's digests of a whole pass and its echo with those
#       of BUILD's vorndump, run here.
#   bash scripts/ports.sh release ROOTS DIST SOURCE ARCH...
#       (make release) the Debian package of each ARCH (dpkg-buildpackage
#       -a ARCH in the unpacked source archive SOURCE) and, for arm64, the
#       portable archive, written into DIST.
#
# ROOTS is the fresh-root helper's folder (tarballs and apt's downloads are
# kept there for the next run).  Foreign programs run as `qemu-CPU -L /`
# inside the root, from the root's own qemu-user(-static): nothing is
# registered with the kernel's binfmt_misc, which is checked, and nothing
# is installed on this machine.  Every step's time is printed per
# architecture at the end.
# Inside a root the same file runs as `ports.sh --inside test|release ARCH
# OUT`, from the clone of the checkout.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# The Debian release of each architecture's root, and qemu's name of its
# processor.
release_of() { case $1 in riscv64) echo trixie ;; *) echo bookworm ;; esac; }
qemu_cpu() {
  case $1 in
    amd64) echo x86_64 ;; arm64) echo aarch64 ;; armel | armhf) echo arm ;; i386) echo i386 ;;
    ppc64el) echo ppc64le ;; riscv64) echo riscv64 ;; s390x) echo s390x ;; mips64el) echo mips64el ;;
    *) return 1 ;;
  esac
}

# ---- inside the root ---------------------------------------------------------------

# qemu's static programs: Debian 12's qemu-user-static, Debian 13's
# qemu-user (whose qemu-user-static would bring qemu-user-binfmt); and the
# one for the architecture.
qemu_package() { case $(. /etc/os-release && echo "$VERSION_CODENAME") in bookworm) echo qemu-user-static ;; *) echo qemu-user ;; esac; }
qemu_program() { command -v "qemu-$(qemu_cpu "$arch")-static" || command -v "qemu-$(qemu_cpu "$arch")"; }

# step NAME COMMAND...: runs COMMAND and writes its time in seconds to
# OUT/ARCH.times.
step() {
  local step_name=$1 step_from=$SECONDS
  shift
  "$@"
  echo "$step_name $((SECONDS - step_from))" >>"$out/$arch.times"
}

# The cross toolchain: Debian's compilers for the architecture, its
# pkg-config files, qemu for its programs.
install_toolchain() {
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture "$arch"
  apt-get update -qq
  local tools=(crossbuild-essential-"$arch")
  [ "$arch" != "$(dpkg --print-architecture)" ] || tools=(build-essential)
  apt-get install -y -qq --no-install-recommends "${tools[@]}" dpkg-dev cmake pkg-config "$(qemu_package)" "$@" \
    >"$out/$arch.apt.log" 2>&1 || { tail -n 20 "$out/$arch.apt.log" >&2; fail "$arch: apt-get install failed"; }
  # Installing qemu must not have taught the kernel to run
  # foreign programs by itself.
  ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-* || fail "$arch: a binfmt_misc registration for qemu exists"
  local triplet cpu
  triplet=$(dpkg-architecture -a "$arch" -q DEB_HOST_MULTIARCH 2>/dev/null)
  cpu=$(dpkg-architecture -a "$arch" -q DEB_HOST_GNU_CPU 2>/dev/null)
  local emulator=""
  [ "$arch" = "$(dpkg --print-architecture)" ] || emulator="$(qemu_program);-L;/" || fail "$arch: no qemu"
  cat >/root/cross.cmake <<EOF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR $cpu)
set(CMAKE_C_COMPILER $triplet-gcc)
set(CMAKE_CXX_COMPILER $triplet-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR "$emulator")
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/$triplet/pkgconfig:/usr/share/pkgconfig)
EOF
}

inside_test() {
  # The unit tests' own tools, this machine's: netpbm, ffmpeg.
  step root install_toolchain libsdl1.2-dev:"$arch" libmikmod-dev:"$arch" libgtest-dev:"$arch" netpbm ffmpeg
  local build=/root/build
  build_all() {
    cmake -S . -B "$build" --toolchain /root/cross.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_TESTS=ON \
      >"$out/$arch.cmake.log" 2>&1 || { tail -n 20 "$out/$arch.cmake.log" >&2; fail "$arch: cmake failed"; }
    cmake --build "$build" -j 2 >"$out/$arch.build.log" 2>&1 ||
      { grep -m 20 -E 'error|Error' "$out/$arch.build.log" >&2; fail "$arch: the cross build failed"; }
  }
  step build build_all
  dump() {
    local qemu=()
    [ "$arch" = "$(dpkg --print-architecture)" ] || qemu=("$(qemu_program)" -L /)
    rm -rf /root/dump && mkdir /root/dump && cp -r data /root/dump/data
    (cd /root/dump/data && "${qemu[@]}" "$build/capture/vorndump" "$out/$arch.dump" >"$out/$arch.echo") ||
      fail "$arch: vorndump failed under qemu"
  }
  step vorndump dump
  # Left to this machine's build: the whole-program checks and the screen's
  # checks on an X server (ScreenX11).
  unit_tests() {
    count() { (cd "$build" && ctest -N "$@" | sed -n 's/^Total Tests: //p'); }
    (cd "$build" && ctest -LE whole-program -E '^ScreenX11[.]' -j 2 --output-on-failure >"$out/$arch.ctest.log" 2>&1) ||
      { tail -n 40 "$out/$arch.ctest.log" >&2; fail "$arch: unit tests failed under qemu"; }
    count -LE whole-program -E '^ScreenX11[.]' >"$out/$arch.run"
    echo $(($(count) - $(cat "$out/$arch.run"))) >"$out/$arch.left"
  }
  step tests unit_tests
}

# Each file is built twice, from two folders, and must come out the same.
inside_release() {
  local source=$1
  step root install_toolchain debhelper dpkg-dev xz-utils git
  local name
  name=$(tar -tzf "$source" | sed -n '1s|/.*||p')
  mkdir -p /root/needs && tar -C /root/needs -xzf "$source" "$name/debian"
  (cd "/root/needs/$name" && apt-get build-dep -y -qq -a "$arch" ./ >"$out/$arch.build-dep.log" 2>&1) ||
    { tail -n 20 "$out/$arch.build-dep.log" >&2; fail "$arch: the package's build dependencies"; }
  build_package() {
    local folder
    for folder in /root/package /root/elsewhere/package; do
      rm -rf "$folder" && mkdir -p "$folder" && tar -C "$folder" -xzf "$source"
      (cd "$folder/$name" && DEB_BUILD_OPTIONS="parallel=2 nocheck noautodbgsym" dpkg-buildpackage -a "$arch" -b -us -uc \
        >"$out/$arch.deb.log" 2>&1) || { tail -n 30 "$out/$arch.deb.log" >&2; fail "$arch: dpkg-buildpackage failed"; }
    done
    local deb
    deb=$(cd /root/package && ls -- vorndemo_*_"$arch".deb)
    cmp "/root/package/$deb" "/root/elsewhere/package/$deb" || fail "$arch: $deb differs when built in another folder"
    cp "/root/package/$deb" "$out/"
  }
  step package build_package
  # The portable archive of the aarch64 Linux machines (Raspberry Pi OS 64-bit).
  if [ "$arch" = arm64 ]; then
    portable() {
      local clone archive
      git clone -q --no-hardlinks . /root/elsewhere/vorndemo
      bash scripts/fetch-source.sh build-web/sources libmikmod 2>"$out/$arch.portable.log" ||
        { cat "$out/$arch.portable.log" >&2; fail "$arch: libmikmod's source"; }
      cp -r build-web /root/elsewhere/vorndemo/
      for clone in . /root/elsewhere/vorndemo; do
        (cd "$clone" && CMAKE_TOOLCHAIN_FILE=/root/cross.cmake VORN_MACHINE=aarch64 bash scripts/release.sh portable \
          >"$out/$arch.portable.log" 2>&1) || { tail -n 20 "$out/$arch.portable.log" >&2; fail "$arch: the portable archive"; }
      done
      archive=$(cd dist && ls -- *-linux-aarch64.tar.xz)
      cmp "dist/$archive" "/root/elsewhere/vorndemo/dist/$archive" || fail "$arch: $archive differs when built in another folder"
      cp "dist/$archive" "$out/"
    }
    step portable portable
  fi
}

if [ "${1:-}" = --inside ]; then
  [ $# -ge 4 ] || fail "usage: ports.sh --inside test|release ARCH OUT [SOURCE]"
  mode=$2 arch=$3 out=$4
  cd "$(dirname "$0")/.."
  case $mode in
    test) inside_test ;;
    release) inside_release "$5" ;;
    *) fail "no mode '$mode'" ;;
  esac
  exit 0
fi

# ---- on this machine -------------------------------------------------------------

usage() {
  echo "usage: bash scripts/ports.sh test ROOTS BUILD ARCH... | release ROOTS DIST SOURCE ARCH..." >&2
  exit 2
}
[ $# -ge 4 ] || usage
mode=$1 roots=$2
shift 2
case $mode in
  test) build=$(realpath "$1"); shift ;;
  release) [ $# -ge 3 ] || usage; dist=$(realpath "$1") source=$(realpath "$2"); shift 2 ;;
  *) usage ;;
esac
for arch in "$@"; do qemu_cpu "$arch" >/dev/null || fail "no architecture '$arch'"; done
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d "${TMPDIR:-/tmp}/vorn-ports.XXXXXX")
passed=0
trap '[ "$passed" -eq 1 ] && rm -rf "$out" || echo "ports: the logs are in $out" >&2' EXIT
binfmt_before=$(ls /proc/sys/fs/binfmt_misc 2>/dev/null || true)

if [ "$mode" = test ]; then
  [ -x "$build/capture/vorndump" ] || fail "no vorndump in $build"
  mkdir "$out/amd64-data"
  cp -r "$here/data" "$out/amd64-data/data"
  (cd "$out/amd64-data/data" && "$build/capture/vorndump" "$out/here.dump" >"$out/here.echo") ||
    fail "this machine's vorndump failed"
fi

for arch in "$@"; do
  release=$(release_of "$arch")
  echo "ports: $arch in a fresh Debian $release root" >&2
  shares=(--share "$out" /root/out)
  [ "$mode" = test ] || shares+=(--put "$source" /root/source.tar.gz)
  from=$SECONDS
  status=0
  bash "$here/scripts/fresh-root.sh" --work "$roots" --apt-cache "${shares[@]}" --clone "$here" /root/vorndemo \
    "$release" bash /root/vorndemo/scripts/ports.sh --inside "$mode" "$arch" /root/out /root/source.tar.gz || status=$?
  [ "$status" -eq 0 ] || fail "$arch: the $release root ended with status $status"
  echo "all $((SECONDS - from))" >>"$out/$arch.times"
  if [ "$mode" = test ]; then
    cmp -s "$out/here.dump" "$out/$arch.dump" ||
      fail "$arch: the digests differ from line $(cmp "$out/here.dump" "$out/$arch.dump" | sed -n 's/.* line \([0-9]*\).*/\1/p')"
    cmp -s "$out/here.echo" "$out/$arch.echo" || fail "$arch: vorndump echoes other text than this machine's"
    pass "$arch: $(cat "$out/$arch.run") unit tests passed under qemu ($(cat "$out/$arch.left") left to this machine);" \
      "the $(wc -l <"$out/$arch.dump") digests and the echo are this machine's"
  else
    cp "$out"/*_"$arch".deb "$dist/"
    [ "$arch" != arm64 ] || cp "$out"/*-linux-aarch64.tar.xz "$dist/"
    pass "$arch: $(cd "$out" && ls -- *_"$arch".deb $([ "$arch" != arm64 ] || echo ./*-linux-aarch64.tar.xz))"
  fi
done
[ "$(ls /proc/sys/fs/binfmt_misc 2>/dev/null || true)" = "$binfmt_before" ] || fail "binfmt_misc changed"

passed=1
echo "ports: seconds per step"
for arch in "$@"; do echo "  $arch: $(paste -sd ' ' "$out/$arch.times")"; done
