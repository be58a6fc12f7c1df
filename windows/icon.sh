#!/usr/bin/env bash
# Writes a Windows icon file holding square PNG pictures of 256 pixels or
# fewer, each an entry of its own (as Windows reads icons since Vista):
#   bash windows/icon.sh OUTPUT PNG...
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OUTPUT PNG..." >&2; exit 2; }
output=$1
shift

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

{
  le16 0; le16 1; le16 $#  # reserved, an icon, the entries
  offset=$((6 + 16 * $#))
  for png; do
    read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0))
    height=$(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0))
    [ "$width" -eq "$height" ] && [ "$width" -ge 1 ] && [ "$width" -le 256 ] ||
      { echo "icon.sh: $png is $width x $height, not square up to 256" >&2; exit 1; }
    bytes=$(stat -c %s "$png")
    byte "$width"; byte "$height"; byte 0; byte 0  # 256 is written 0; no palette
    le16 1; le16 32; le32 "$bytes"; le32 "$offset"  # planes, bits, size, where
    offset=$((offset + bytes))
  done
  cat "$@"
} >"$output.part"
mv "$output.part" "$output"
