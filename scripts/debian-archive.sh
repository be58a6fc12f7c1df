# Sourced by scripts/fetch-source.sh and scripts/fresh-root.sh.
# debian_archive CODENAME: the archives this machine's apt sources use for
# the release CODENAME itself (not its -updates or -security suites), one
# "URI KEYRING" line each, the keyring possibly empty; nothing when none.
debian_archive() {
  local codename=$1 f
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
