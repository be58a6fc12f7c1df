#!/usr/bin/env bash
# Fetches Debian source packages of this machine's release and unpacks each,
# Debian's patches applied, into DIR/PACKAGE, whatever its version:
#   scripts/fetch-source.sh DIR PACKAGE...
# A package already unpacked there is left as it is.  Where the archive
# does not serve a package's source for this release, Debian 12's
# ("bookworm") is taken instead, and a line says so.
# apt works from a private sources list and private package lists under
# DIR/apt, made from the archive this machine already uses (same mirror,
# same signing keys), so the machine's own apt configuration and lists stay
# as they are.  apt checks the files against the signed source index;
# dpkg-source checks them against the .dsc again while unpacking.
set -euo pipefail

fallback=bookworm
[ $# -ge 2 ] || { echo "usage: $0 DIR PACKAGE..." >&2; exit 2; }
dir=$(realpath -m "$1")
shift
say() { echo "fetch-source: $*" >&2; }

wanted=()
for package in "$@"; do
  [ -f "$dir/$package/.unpacked" ] || wanted+=("$package")
done
[ ${#wanted[@]} -gt 0 ] || exit 0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { say "no Debian release name in /etc/os-release"; exit 1; }

# shellcheck source=debian-archive.sh
source "$(dirname "$0")/debian-archive.sh"
read -r uri keyring < <(debian_archive "$codename" | head -n 1) || true
[ -n "${uri:-}" ] || { say "no Debian archive for $codename in /etc/apt/sources*"; exit 1; }

# apt_in SUITE ARGUMENTS...: apt-get with the private lists of SUITE's
# source index alone, fetched first when there are none yet.
apt_in() {
  local suite=$1 lists="$dir/apt/$1"
  shift
  local options=(
    -o Dir::Etc::SourceList=/dev/null
    -o Dir::Etc::SourceParts="$lists/sources.list.d"
    -o Dir::State::Lists="$lists/lists"
    -o Debug::NoLocking=1
    -o APT::Sandbox::User=root
  )
  if [ ! -f "$lists/.updated" ]; then
    rm -rf "$lists"
    mkdir -p "$lists/lists/partial" "$lists/sources.list.d"
    {
      echo "Types: deb-src"
      echo "URIs: $uri"
      echo "Suites: $suite"
      echo "Components: main"
      [ -n "${keyring:-}" ] && echo "Signed-By: $keyring"
    } >"$lists/sources.list.d/debian-src.sources"
    say "source index of $suite from $uri"
    apt-get "${options[@]}" -qq update || return 1
    touch "$lists/.updated"
  fi
  apt-get "${options[@]}" "$@"
}

# download PACKAGE SUITE: the package's source files of SUITE into
# $dir/download/PACKAGE; fails when SUITE does not serve it.
download() {
  local into="$dir/download/$1"
  rm -rf "$into"
  mkdir -p "$into"
  (cd "$into" && apt_in "$2" -qq --download-only source "$1" >/dev/null)
}

for package in "${wanted[@]}"; do
  log="$dir/download-$package.log"
  mkdir -p "$dir"
  if ! download "$package" "$codename" 2>"$log"; then
    [ "$codename" != "$fallback" ] || { cat "$log" >&2; exit 1; }
    say "$uri serves no $package source of $codename; taking Debian 12's ($fallback) instead"
    download "$package" "$fallback"
  fi
  dsc=$(ls "$dir/download/$package/${package}"_*.dsc 2>/dev/null | head -n 1)
  [ -n "$dsc" ] || { say "the archive gave no $package .dsc:"; ls "$dir/download/$package" >&2; exit 1; }
  tree="$dir/$package"
  rm -rf "$tree"
  # The .dsc's own signature cannot be checked without the maintainers'
  # keyring; the index apt fetched it by is signed, and that suffices.
  if ! dpkg-source --require-strong-checksums -x "$dsc" "$tree" >"$dir/unpack-$package.log" 2>&1; then
    cat "$dir/unpack-$package.log" >&2
    exit 1
  fi
  touch "$tree/.unpacked"
  say "$(basename "$dsc") unpacked into $tree"
done
