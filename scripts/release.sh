#!/usr/bin/env bash
# Writes the release files into dist/, the same bytes from the same commit
# wherever the checkout lies:
#   bash scripts/release.sh            all of them (make release; make web first)
#   bash scripts/release.sh portable   the portable archive alone (make portable)
#   bash scripts/release.sh packages   the source, the package and the portable
#                                      archive, without the site or the sums
#
# - vorndemo-VERSION.tar.gz: the source, git archive of HEAD
# - vorndemo_VERSION-1_ARCH.deb: dpkg-buildpackage -b in that source,
#   unpacked into a folder of its own
# - vorndemo-VERSION-linux-MACHINE.tar.xz: the portable archive, one folder
#   with the launcher, lib/, data/ and the release texts
# - vorndemo-VERSION-web.zip: the site of make web
# - SHA256SUMS over the four
# Every time stamp is the Debian changelog's date (SOURCE_DATE_EPOCH).
# It builds in build-release/ and build-portable/; JOBS sets the parallel
# jobs (2 by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

die() {
  echo "release: $*" >&2
  exit 1
}

jobs=${JOBS:-2}
version=$(sed -n 's/^project(vorndemo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
debian_version=$(dpkg-parsechangelog -S Version)
[ "${debian_version%-*}" = "$version" ] ||
  die "debian/changelog's latest entry is $debian_version, not $version-N"
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -S Timestamp)
export SOURCE_DATE_EPOCH
name="vorndemo-$version"
dist="$root/dist"
mkdir -p "$dist"

# pack_tar FOLDER NAME OUTPUT COMPRESSOR...: FOLDER/NAME as a tar stream
# with sorted names, the release's time stamp and no owner, compressed.
pack_tar() {
  local folder=$1 top=$2 output=$3
  shift 3
  tar -C "$folder" --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" \
    --owner=0 --group=0 --numeric-owner --mode='u+rwX,go+rX,go-w' -cf - "$top" | "$@" >"$output.part"
  mv "$output.part" "$output"
}

# ---- the portable archive ----------------------------------------------------

portable() {
  local build="$root/build-portable" stage="$root/build-portable/stage"
  local output="$dist/$name-linux-$(uname -m).tar.xz"
  # Paths of this checkout stay out of the binaries.
  local flags="-ffile-prefix-map=$root=."
  # libmikmod from its Debian source, as the web build has it, built in.
  bash web/fetch-libmikmod.sh "$root/build-web/libmikmod" >&2
  echo "release: building the portable archive in $build" >&2
  cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
    -DVORN_TESTS=OFF -DVORN_BENCH=OFF -DVORN_TOOLS=OFF \
    -DVORN_LAUNCHER_DIR=. -DVORN_PROGRAM_DIR=lib -DVORN_DATA_DIR=data -DVORN_TEXTS_DIR=. \
    -DVORN_CAPTURE_DIR= -DVORN_SHARE_DIR= \
    -DVORN_STATIC_MIKMOD=ON "-DMIKMOD_SOURCE=$root/build-web/libmikmod/source" >/dev/null
  cmake --build "$build" -j "$jobs" --target vorndemo screensize >/dev/null
  rm -rf "$stage"
  cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null
  pack_tar "$stage" "$name" "$output" xz -6 -T1
  echo "release: wrote $output" >&2
}

if [ "${1:-}" = portable ]; then
  portable
  exit 0
fi
[ $# -eq 0 ] || [ "$1" = packages ] || die "usage: bash scripts/release.sh [portable|packages]"

# ---- the source --------------------------------------------------------------

git diff --quiet HEAD -- ||
  echo "release: tracked files have uncommitted changes, which the source archive and the package leave out" >&2
source_archive="$dist/$name.tar.gz"
git archive --format=tar --prefix="$name/" HEAD | gzip -9 -n >"$source_archive.part"
mv "$source_archive.part" "$source_archive"
echo "release: wrote $source_archive" >&2

# ---- the Debian package, built in the unpacked source ---------------------------

work="$root/build-release"
rm -rf "$work"
mkdir -p "$work"
tar -C "$work" -xzf "$source_archive"
echo "release: building the Debian package in $work/$name" >&2
(cd "$work/$name" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -b -us -uc >"$work/build.log" 2>&1) ||
  { tail -n 30 "$work/build.log" >&2; die "dpkg-buildpackage failed; its whole output is in $work/build.log"; }
deb="vorndemo_${debian_version}_$(dpkg --print-architecture).deb"
cp "$work/$deb" "$dist/$deb"
echo "release: wrote $dist/$deb" >&2

portable
[ "${1:-}" != packages ] || exit 0

# ---- the web site ---------------------------------------------------------------

site="$root/build-web/site"
[ -f "$site/index.html" ] || die "no web site in $site (make web builds it)"
rm -rf "$work/web"
mkdir -p "$work/web"
cp -r "$site" "$work/web/$name-web"
find "$work/web" -type d -exec chmod 0755 {} +
find "$work/web" -type f -exec chmod 0644 {} +
find "$work/web" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip_file="$dist/$name-web.zip"
rm -f "$zip_file"
(cd "$work/web" && find "$name-web" -print | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$zip_file")
echo "release: wrote $zip_file" >&2

# ---- checksums ----------------------------------------------------------------------

(cd "$dist" && sha256sum "$deb" "$name-linux-$(uname -m).tar.xz" "$name.tar.gz" "$name-web.zip" >SHA256SUMS)
echo "release: wrote $dist/SHA256SUMS" >&2
