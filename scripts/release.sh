#!/usr/bin/env bash
# Writes the release files into dist/, the same bytes from the same commit
# wherever the checkout lies:
#   bash scripts/release.sh            all of them (make release; make web first)
#   bash scripts/release.sh portable   the portable archive alone (make portable)
#   bash scripts/release.sh windows    the Windows program's folder alone, in
#                                      build-windows/ (make windows)
#   bash scripts/release.sh packages   the source, the package, the portable
#                                      archive and the Windows zip, without
#                                      the other processors' files, the site
#                                      or the sums
#   bash scripts/release.sh source     the source and the source package alone
#
# - vorndemo-VERSION.tar.gz: the source, git archive of HEAD
# - vorndemo_VERSION.orig.tar.gz, vorndemo_VERSION-1.debian.tar.xz and
#   vorndemo_VERSION-1.dsc: the Debian source package (3.0 (quilt)), the
#   source without debian/ and debian/ beside it
# - vorndemo_VERSION-1_ARCH.deb: dpkg-buildpackage -b in the source
#   package, unpacked into a folder of its own (nocheck: make test-debian
#   builds it with its unit tests)
# - vorndemo-VERSION-linux-MACHINE.tar.xz: the portable archive, one folder
#   with the launcher, lib/, data/ and the release texts
# - vorndemo-VERSION-windows-x64.zip: the Windows program's folder, the
#   program cross-built with mingw-w64 against classic SDL 1.2 and libmikmod
#   from Debian's source packages
# - vorndemo-VERSION-web.zip: the site of make web
# - vorndemo_VERSION-1_arm64.deb, vorndemo_VERSION-1_armhf.deb and
#   vorndemo-VERSION-linux-aarch64.tar.xz: the package and the archive for
#   the Raspberry Pi and other ARM machines, cross-built in fresh Debian 12
#   roots under ROOTS (build-roots by default) by scripts/ports.sh, which
#   builds each twice, from two folders, and compares them
# - SHA256SUMS over them all
# Every time stamp is the Debian changelog's date (SOURCE_DATE_EPOCH).
# It builds in build-release/, build-portable/ and build-windows/; JOBS sets
# the parallel jobs (2 by default).
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
  local output="$dist/$name-linux-${VORN_MACHINE:-$(uname -m)}.tar.xz"
  # Paths of this checkout stay out of the binaries.
  local flags="-ffile-prefix-map=$root=."
  # libmikmod from its Debian source, as the web build has it, built in.
  bash scripts/fetch-source.sh "$root/build-web/sources" libmikmod
  echo "release: building the portable archive in $build" >&2
  cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
    -DVORN_TESTS=OFF -DVORN_BENCH=OFF -DVORN_TOOLS=OFF \
    -DVORN_LAUNCHER_DIR=. -DVORN_PROGRAM_DIR=lib -DVORN_DATA_DIR=data -DVORN_TEXTS_DIR=. \
    -DVORN_CAPTURE_DIR= -DVORN_SHARE_DIR= \
    -DVORN_STATIC_MIKMOD=ON "-DMIKMOD_SOURCE=$root/build-web/sources/libmikmod" >/dev/null
  cmake --build "$build" -j "$jobs" --target vorndemo screensize >/dev/null
  rm -rf "$stage"
  cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null
  pack_tar "$stage" "$name" "$output" xz -6 -T1
  echo "release: wrote $output" >&2
}

# pack_zip FOLDER NAME OUTPUT: FOLDER/NAME as a zip with sorted names, the
# release's time stamp on every entry, folders 0755 and files 0644 (or
# 0755 where they are programs).
pack_zip() {
  local folder=$1 top=$2 output=$3
  find "$folder/$top" -type d -exec chmod 0755 {} +
  find "$folder/$top" -type f -exec chmod go-w,a+r {} +
  find "$folder/$top" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$output"
  (cd "$folder" && find "$top" -print | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$output.part")
  mv "$output.part" "$output"
}

# ---- the Windows program -----------------------------------------------------------

windows_name="$name-windows-x64"
windows() {
  local build="$root/build-windows"
  local flags="-ffile-prefix-map=$root=."
  bash scripts/fetch-source.sh "$build/sources" libmikmod libsdl1.2
  echo "release: building the Windows program in $build" >&2
  cmake --no-warn-unused-cli -S . -B "$build/build" --toolchain "$root/windows/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
    "-DMIKMOD_SOURCE=$build/sources/libmikmod" "-DSDL_SOURCE=$build/sources/libsdl1.2" >/dev/null
  cmake --build "$build/build" -j "$jobs" >/dev/null
  rm -rf "${build:?}/$windows_name"
  cmake --install "$build/build" --prefix "$build/$windows_name" --strip >/dev/null
  echo "release: the Windows program's folder is $build/$windows_name" >&2
}

windows_zip() {
  windows
  local stage="$root/build-windows/stage"
  rm -rf "$stage"
  mkdir -p "$stage"
  cp -r "$root/build-windows/$windows_name" "$stage/"
  pack_zip "$stage" "$windows_name" "$dist/$windows_name.zip"
  echo "release: wrote $dist/$windows_name.zip" >&2
}

case ${1:-} in
  portable) portable; exit 0 ;;
  windows) windows; exit 0 ;;
  "" | packages | source) ;;
  *) die "usage: bash scripts/release.sh [portable|windows|packages|source]" ;;
esac

# ---- the source --------------------------------------------------------------

git diff --quiet HEAD -- ||
  echo "release: tracked files have uncommitted changes, which the source archive and the package leave out" >&2
source_archive="$dist/$name.tar.gz"
git archive --format=tar --prefix="$name/" HEAD | gzip -9 -n >"$source_archive.part"
mv "$source_archive.part" "$source_archive"
echo "release: wrote $source_archive" >&2

# ---- the Debian source package, and the package built in it ---------------------

work="$root/build-release"
rm -rf "$work"
mkdir -p "$work"
orig="vorndemo_$version.orig.tar.gz"
git archive --format=tar --prefix="$name/" HEAD -- . ':(exclude)debian' | gzip -9 -n >"$dist/$orig.part"
mv "$dist/$orig.part" "$dist/$orig"
cp "$dist/$orig" "$work/"
tar -C "$work" -xzf "$dist/$orig"
tar -C "$work" -xzf "$source_archive" "$name/debian"
(cd "$work" && dpkg-source -b "$name" >"$work/source.log" 2>&1) ||
  { cat "$work/source.log" >&2; die "dpkg-source -b failed"; }
dsc="vorndemo_$debian_version.dsc"
cp "$work/$dsc" "$work/vorndemo_$debian_version.debian.tar.xz" "$dist/"
echo "release: wrote $dist/$orig, $dsc and vorndemo_$debian_version.debian.tar.xz" >&2
[ "${1:-}" != source ] || exit 0

echo "release: building the Debian package in $work/$name" >&2
(cd "$work/$name" && DEB_BUILD_OPTIONS="nocheck parallel=$jobs" dpkg-buildpackage -b -us -uc >"$work/build.log" 2>&1) ||
  { tail -n 30 "$work/build.log" >&2; die "dpkg-buildpackage failed; its whole output is in $work/build.log"; }
deb="vorndemo_${debian_version}_$(dpkg --print-architecture).deb"
cp "$work/$deb" "$dist/$deb"
echo "release: wrote $dist/$deb" >&2

portable
windows_zip
[ "${1:-}" != packages ] || exit 0

# ---- other processors -----------------------------------------------------------

ports=(arm64 armhf)
bash scripts/ports.sh release "${ROOTS:-$root/build-roots}" "$dist" "$source_archive" "${ports[@]}" ||
  die "the packages of ${ports[*]}"
ported=("$name-linux-aarch64.tar.xz")
for arch in "${ports[@]}"; do ported+=("vorndemo_${debian_version}_$arch.deb"); done

# ---- the web site ---------------------------------------------------------------

site="$root/build-web/site"
[ -f "$site/index.html" ] || die "no web site in $site (make web builds it)"
rm -rf "$work/web"
mkdir -p "$work/web"
cp -r "$site" "$work/web/$name-web"
find "$work/web" -type f -exec chmod 0644 {} +
pack_zip "$work/web" "$name-web" "$dist/$name-web.zip"
echo "release: wrote $dist/$name-web.zip" >&2

# ---- checksums ----------------------------------------------------------------------

(cd "$dist" && sha256sum "$deb" "$orig" "$dsc" "vorndemo_$debian_version.debian.tar.xz" "$name-linux-$(uname -m).tar.xz" "$name.tar.gz" "$windows_name.zip" "$name-web.zip" "${ported[@]}" >SHA256SUMS)
echo "release: wrote $dist/SHA256SUMS" >&2
