#!/usr/bin/env bash
# Fetches libmikmod's Debian source package of this machine's release and
# unpacks it, Debian's patches applied, into DIR/source, whatever its
# version:
#   web/fetch-libmikmod.sh DIR
# Where the archive does not serve that release's source package, Debian
# 12's ("bookworm") is taken instead, and a line says so.
# apt works from a private sources list and private package lists under DIR,
# made from the archive this machine already uses (same mirror, same signing
# keys), so the machine's own apt configuration and lists stay as they are.
# apt checks the files against the signed source index; dpkg-source checks
# them against the .dsc again while unpacking.
set -euo pipefail

fallback=bookworm
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
dir=$(realpath -m "$1")
tree="$dir/source"
[ -f "$tree/.unpacked" ] && exit 0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "fetch-libmikmod: no Debian release name in /etc/os-release" >&2; exit 1; }

# shellcheck source=../scripts/debian-archive.sh
source "$(dirname "$0")/../scripts/debian-archive.sh"
read -r uri keyring < <(debian_archive "$codename" | head -n 1) || true
[ -n "${uri:-}" ] || { echo "fetch-libmikmod: no Debian archive for $codename in /etc/apt/sources*" >&2; exit 1; }

apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$dir/apt/sources.list.d"
  -o Dir::State::Lists="$dir/apt/lists"
  -o Debug::NoLocking=1
  -o APT::Sandbox::User=root
)

# download SUITE: libmikmod's source package of SUITE into $dir/download,
# through a source index of that suite alone; fails when it is not served.
download() {
  rm -rf "$dir/apt" "$dir/download"
  mkdir -p "$dir/apt/lists/partial" "$dir/apt/sources.list.d" "$dir/download"
  {
    echo "Types: deb-src"
    echo "URIs: $uri"
    echo "Suites: $1"
    echo "Components: main"
    [ -n "${keyring:-}" ] && echo "Signed-By: $keyring"
  } >"$dir/apt/sources.list.d/debian-src.sources"
  apt-get "${apt_options[@]}" -qq update &&
    (cd "$dir/download" && apt-get "${apt_options[@]}" -qq --download-only source libmikmod >/dev/null)
}

echo "fetch-libmikmod: source index of $codename from $uri"
mkdir -p "$dir"
if ! download "$codename" 2>"$dir/download.log"; then
  [ "$codename" != "$fallback" ] || { cat "$dir/download.log" >&2; exit 1; }
  echo "fetch-libmikmod: $uri serves no libmikmod source of $codename; taking Debian 12's ($fallback) instead"
  download "$fallback"
fi
rm -rf "$tree"

dsc=$(ls "$dir"/download/libmikmod_*.dsc 2>/dev/null | head -n 1)
[ -n "$dsc" ] || { echo "fetch-libmikmod: the archive gave no libmikmod .dsc:" >&2; ls "$dir/download" >&2; exit 1; }
# The .dsc's own signature cannot be checked without the maintainers'
# keyring; the index apt fetched it by is signed, and that suffices.
if ! dpkg-source --require-strong-checksums -x "$dsc" "$tree" >"$dir/unpack.log" 2>&1; then
  cat "$dir/unpack.log" >&2
  exit 1
fi
touch "$tree/.unpacked"
echo "fetch-libmikmod: $(basename "$dsc") unpacked into $tree"
