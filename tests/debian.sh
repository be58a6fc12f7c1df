#!/usr/bin/env bash
# Debian's gates on the source package in dist/ (make test-debian, after
# scripts/release.sh source), for Debian 13 (trixie) or 12 (bookworm):
#
# - sbuild in unshare mode from a mmdebstrap tarball of the release builds
#   it for amd64, running its unit tests, and cross for arm64;
# - lintian --pedantic -I -E, the release's own, run in a fresh root of it,
#   shows no tag on the .dsc, the amd64 .buildinfo and each .deb (the
#   debug symbols' too);
# - blhc --all finds nothing in either build log;
# - autopkgtest runs debian/tests on the amd64 package, with its unshare
#   virtualisation server on the sbuild tarball;
# - piuparts, from a minimal mmdebstrap tarball of the release, installs and
#   purges the package, and upgrades to it from 1.0.0-1, built by sbuild
#   from the commit that first made 1.0.0-1 (a flat repository of it given
#   to piuparts' apt).
#
#   bash tests/debian.sh ROOTS trixie|bookworm
#
# ROOTS keeps the tarballs (made when missing) and the fresh-root helper's
# roots; the builds and logs go to ROOTS/debian-RELEASE, made anew unless
# REUSE=1 is set, which keeps the builds found there (to run the later
# gates again).  Each gate's time is printed as it passes.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

[ $# -eq 2 ] || { echo "usage: bash tests/debian.sh ROOTS trixie|bookworm" >&2; exit 2; }
roots=$(realpath -m "$1")
suite=$2
case $suite in trixie | bookworm) ;; *) fail "gates for trixie and bookworm, not '$suite'" ;; esac
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$source_dir"
debian_version=$(dpkg-parsechangelog -S Version)
dsc="$source_dir/dist/vorndemo_$debian_version.dsc"
[ -f "$dsc" ] || fail "no $dsc (bash scripts/release.sh source writes it)"
for tool in sbuild mmdebstrap piuparts blhc autopkgtest newuidmap; do
  command -v "$tool" >/dev/null || fail "needs $tool (bash scripts/setup.sh debian installs it)"
done
grep -q "^$(id -un):" /etc/subuid || fail "$(id -un) has no subordinate ids in /etc/subuid (bash scripts/setup.sh debian)"
# shellcheck source=../scripts/debian-archive.sh
source scripts/debian-archive.sh
read -r mirror _ < <(debian_archive "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")") ||
  fail "no Debian mirror in this machine's apt sources"

work="$roots/debian-$suite"
[ "${REUSE:-0}" = 1 ] || rm -rf --one-file-system "$work"
mkdir -p "$work"
export PULSE_SERVER=unix:/nonexistent/vorn-pulse

gate_start=$SECONDS
# passed GATE MESSAGE: the gate's time since the last one.
passed() {
  pass "$1 ($((SECONDS - gate_start)) s): $2"
  gate_start=$SECONDS
}

# tarball FILE VARIANT [OPTION]...: FILE made by mmdebstrap when missing.
tarball() {
  [ -f "$1" ] && return 0
  echo "debian: making $1" >&2
  # The partial file's name ends as the tarball's, which tells mmdebstrap
  # the format and the compression.
  local partial="${1%%.tar*}.part.tar${1#*.tar}"
  rm -rf "$partial"
  mmdebstrap --variant="$2" "${@:3}" "$suite" "$partial" "$mirror" >"$1.log" 2>&1 ||
    { tail -n 5 "$1.log" >&2; rm -rf "$partial"; fail "mmdebstrap could not make $1"; }
  mv "$partial" "$1"
}
build_tar="$roots/sbuild-$suite.tar"
base_tar="$roots/piuparts-$suite.tar.gz"
# apt-utils: apt's own solver of the release, which sbuild's cross
# resolver calls (else it copies in the machine's, which may not run there).
tarball "$build_tar" buildd --include=apt-utils
tarball "$base_tar" minbase
passed tarballs "$(basename "$build_tar") and $(basename "$base_tar")"

# build FOLDER DSC [SBUILD OPTION]...: sbuild's result in FOLDER, its log
# FOLDER/build.log.
build() {
  local folder=$1 source=$2
  shift 2
  if [ "${REUSE:-0}" = 1 ] && [ -f "$folder/build.log" ]; then return 0; fi
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && sbuild --chroot-mode=unshare --chroot="$build_tar" --dist="$suite" --jobs=2 \
     --no-run-lintian --no-run-piuparts --no-run-autopkgtest --no-apt-upgrade --no-apt-distupgrade \
     "$@" "$source" >sbuild.out 2>&1) ||
    { tail -n 30 "$folder"/*.build >&2 || true; fail "sbuild $* $(basename "$source") failed (log in $folder)"; }
  local log
  for log in "$folder"/vorndemo_*.build; do [ ! -L "$log" ] || cp "$log" "$folder/build.log"; done
}

build "$work/amd64" "$dsc" --arch=amd64
deb="$work/amd64/vorndemo_${debian_version}_amd64.deb"
[ -f "$deb" ] || fail "sbuild made no $(basename "$deb")"
tests=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$work/amd64/build.log" | tail -n 1)
[ -n "$tests" ] || fail "the amd64 build ran no unit tests"
passed "sbuild amd64" "$(basename "$deb"); ctest -L unit: $tests"

build "$work/arm64" "$dsc" --host=arm64
arm64_deb="$work/arm64/vorndemo_${debian_version}_arm64.deb"
[ -f "$arm64_deb" ] || fail "sbuild made no $(basename "$arm64_deb")"
file=$(dpkg-deb --fsys-tarfile "$arm64_deb" | tar -xOf - ./usr/lib/games/vorndemo/vorndemo | file -b -)
[[ "$file" == *"ARM aarch64"* ]] || fail "the arm64 package's program is $file"
passed "sbuild --host=arm64" "$(basename "$arm64_deb"), its program ${file%%,*}, ARM aarch64"

# ---- lintian, the release's own ----

lint="$work/lintian"
mkdir -p "$lint"
cp "$dsc" "$source_dir"/dist/vorndemo_"${debian_version%-*}".orig.tar.gz \
  "$source_dir"/dist/vorndemo_"$debian_version".debian.tar.xz \
  "$work/amd64/vorndemo_${debian_version}_amd64.buildinfo" "$work"/amd64/*.deb "$work"/arm64/*.deb "$lint/"
# Debian 12's lintian knows Standards-Version 4.6.2 at most.
suppress=$([ "$suite" = bookworm ] && echo "--suppress-tags newer-standards-version" || true)
bash scripts/fresh-root.sh --work "$roots" --apt-cache --put "$lint" /root/lintian "$suite" bash -c "
  apt-get update -qq && apt-get install -y -q --no-install-recommends lintian >/dev/null &&
  cd /root/lintian && lintian --version && lintian --pedantic -I -E $suppress *.dsc *.buildinfo *.deb >tags
  status=\$?; cat tags; [ \$status -eq 0 ] && [ ! -s tags ]" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian --pedantic -I -E left tags"; }
passed lintian "$(grep -m 1 '^Lintian v' "$work/lintian.log"): no tag on $(cd "$lint" && ls ./*.dsc ./*.buildinfo ./*.deb | xargs -n 1 basename | paste -sd ' ')"

# ---- blhc ----

for arch in amd64 arm64; do
  blhc --all "$work/$arch/build.log" >"$work/blhc-$arch" 2>&1 || { cat "$work/blhc-$arch" >&2; fail "blhc --all on the $arch build"; }
  [ ! -s "$work/blhc-$arch" ] || { cat "$work/blhc-$arch" >&2; fail "blhc --all reports on the $arch build"; }
done
passed blhc "silent on the amd64 and arm64 build logs"

# ---- autopkgtest ----

rm -rf "$work/autopkgtest"
# The tarball has no package lists (mmdebstrap leaves none).
autopkgtest --output-dir "$work/autopkgtest" --setup-commands="apt-get update -q" "$deb" "$dsc" -- \
  unshare --release "$suite" --arch amd64 --tarball "$build_tar" >"$work/autopkgtest.log" 2>&1 ||
  { tail -n 40 "$work/autopkgtest.log" >&2; fail "autopkgtest"; }
passed autopkgtest "$(awk '$2 == "PASS" { print $1 }' "$work/autopkgtest/summary" | paste -sd ' ') PASS"

# ---- piuparts: install, purge, and the upgrade from 1.0.0-1 ----

first=$(git log --reverse --format=%H -S'vorndemo (1.0.0-1)' -- debian/changelog | head -n 1)
[ -n "$first" ] || fail "no commit makes vorndemo 1.0.0-1"
old="$work/old"
rm -rf "$old/source" "$old/repo"
mkdir -p "$old/source"
git archive --format=tar --prefix=vorndemo-1.0.0/ "$first" -- . ':(exclude)debian' | gzip -n >"$old/source/vorndemo_1.0.0.orig.tar.gz"
tar -C "$old/source" -xzf "$old/source/vorndemo_1.0.0.orig.tar.gz"
git archive --format=tar --prefix=vorndemo-1.0.0/ "$first" debian | tar -C "$old/source" -xf -
(cd "$old/source" && dpkg-source -b vorndemo-1.0.0 >/dev/null) || fail "dpkg-source -b on $first"
build "$old/build" "$old/source/vorndemo_1.0.0-1.dsc" --arch=amd64
mkdir -p "$old/repo"
cp "$old/build/vorndemo_1.0.0-1_amd64.deb" "$old/repo/"
(cd "$old/repo" && dpkg-scanpackages . >Packages 2>/dev/null)
passed "1.0.0-1" "built by sbuild from ${first:0:7}"

# /var/cache/debconf/tmp.ci/ is debconf's own scratch folder, which Debian
# 13's piuparts ignores and Debian 12's does not know yet.
piuparts --basetgz="$base_tar" --distribution="$suite" --mirror="$mirror" \
  --ignore=/var/cache/debconf/tmp.ci/ \
  --bindmount="$old/repo" --extra-repo="deb [trusted=yes] file://$old/repo ./" \
  --log-file="$work/piuparts.log" "$deb" >/dev/null 2>&1 ||
  { tail -n 40 "$work/piuparts.log" >&2; fail "piuparts"; }
grep -q 'PASS: Installation and purging test' "$work/piuparts.log" || fail "piuparts did not install and purge"
grep -q 'PASS: Installation, upgrade and purging tests' "$work/piuparts.log" || fail "piuparts did not upgrade from 1.0.0-1"
passed piuparts "install and purge; upgrade from 1.0.0-1 to $debian_version and purge"
echo "debian: every gate passed for $suite"
