#!/usr/bin/env bash
# Fetches libmikmod's Debian source package and unpacks it, Debian's patches
# applied, into DIR/libmikmod-3.3.11.1:
#   web/fetch-libmikmod.sh DIR
# apt works from a private sources list and private package lists under DIR,
# made from the archive this machine already uses (same mirror, same signing
# key), so the machine's own apt configuration and lists stay as they are.
# apt checks the files against the signed source index; dpkg-source checks
# them against the .dsc again while unpacking.
set -euo pipefail

version=3.3.11.1
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
dir=$(realpath -m "$1")
tree="$dir/libmikmod-$version"
[ -f "$tree/.unpacked" ] && exit 0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "fetch-libmikmod: no Debian release name in /etc/os-release" >&2; exit 1; }

# The first archive the machine's apt sources use for the release itself
# (not its -updates or -security suites): "URI KEYRING", keyring may be empty.
machine_archive() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uri != "") { print uri, key; found = 1; exit }
        types = ""; suites = ""; uri = ""; key = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^URIs:/ { uri = $2 }
      /^Signed-By:/ { key = $2 }
      END { if (!found) flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n -E "s/^deb[ \t]+(\[[^]]*\][ \t]+)?([^ \t]+)[ \t]+$codename[ \t].*/\2/p" "$f" | sed 's/$/ /'
  done
}
read -r uri keyring < <(machine_archive | head -n 1) || true
[ -n "${uri:-}" ] || { echo "fetch-libmikmod: no Debian archive for $codename in /etc/apt/sources*" >&2; exit 1; }

mkdir -p "$dir/apt/lists/partial" "$dir/apt/sources.list.d"
{
  echo "Types: deb-src"
  echo "URIs: $uri"
  echo "Suites: $codename"
  echo "Components: main"
  [ -n "${keyring:-}" ] && echo "Signed-By: $keyring"
} > "$dir/apt/sources.list.d/debian-src.sources"

apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$dir/apt/sources.list.d"
  -o Dir::State::Lists="$dir/apt/lists"
  -o Debug::NoLocking=1
  -o APT::Sandbox::User=root
)
echo "fetch-libmikmod: source index of $codename from $uri"
apt-get "${apt_options[@]}" -qq update
rm -rf "$dir/download" "$tree"
mkdir -p "$dir/download"
(cd "$dir/download" && apt-get "${apt_options[@]}" -qq --download-only source libmikmod >/dev/null)

dsc=$(ls "$dir"/download/libmikmod_"$version"-*.dsc 2>/dev/null | head -n 1)
[ -n "$dsc" ] || { echo "fetch-libmikmod: the archive has no libmikmod $version:" >&2; ls "$dir/download" >&2; exit 1; }
# The .dsc's own signature cannot be checked without the maintainers'
# keyring; the index apt fetched it by is signed, and that suffices.
if ! dpkg-source --require-strong-checksums -x "$dsc" "$tree" >"$dir/unpack.log" 2>&1; then
  cat "$dir/unpack.log" >&2
  exit 1
fi
touch "$tree/.unpacked"
echo "fetch-libmikmod: $(basename "$dsc") unpacked into $tree"
