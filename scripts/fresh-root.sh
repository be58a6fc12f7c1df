#!/usr/bin/env bash
# Runs one command as root in a fresh minimal Debian root, then removes it:
#
#   bash scripts/fresh-root.sh --work DIR [--apt-cache] [--put SOURCE DEST]...
#       [--clone CHECKOUT DEST]... [--share FOLDER DEST]...
#       bookworm|trixie COMMAND [ARGUMENT]...
#
# The root is unpacked under DIR from DIR/RELEASE.tar, which mmdebstrap
# makes when it is missing (--variant=apt with ca-certificates, git and make,
# from the Debian mirror this machine's apt uses).  /proc, /sys, /dev,
# /dev/pts, a /dev/shm of its own and the machine's resolv.conf are mounted
# into it.  --put copies a file or folder to DEST inside the root, --clone
# clones the committed HEAD of a git checkout to DEST, --share mounts a
# folder of the machine at DEST, so that what the command writes there
# stays after the root has gone; --apt-cache keeps
# the packages apt downloads in DIR/apt-RELEASE for the next root of that
# release.  COMMAND runs with a clean environment (PATH, HOME=/root, LANG,
# TERM) and its exit status is this script's; the script's own failures
# say so in one line, with status 125.
#
# Everything happens in a mount namespace of the script's own, so nothing
# is ever mounted on the machine outside it.  At the end, also after a
# failure, SIGINT or SIGTERM: every process whose root lies inside the root
# is ended by its id, the mounts come off in reverse order, and the folder
# is removed (rm --one-file-system) once /proc/self/mounts shows nothing
# under it.
set -euo pipefail

fail() { echo "fresh-root: $*" >&2; exit 125; }
usage() {
  echo "usage: bash scripts/fresh-root.sh --work DIR [--apt-cache] [--put SOURCE DEST]..." \
    "[--clone CHECKOUT DEST]... [--share FOLDER DEST]... bookworm|trixie COMMAND [ARGUMENT]..." >&2
  exit 125
}

arguments=("$@")
work=""
apt_cache=0
puts=()
clones=()
shares=()
while [ $# -gt 0 ]; do
  case $1 in
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    --apt-cache) apt_cache=1; shift ;;
    --put) [ $# -ge 3 ] || usage; puts+=("$2" "$3"); shift 3 ;;
    --clone) [ $# -ge 3 ] || usage; clones+=("$2" "$3"); shift 3 ;;
    --share) [ $# -ge 3 ] && [ -d "$2" ] || usage; shares+=("$(cd "$2" && pwd)" "$3"); shift 3 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ -n "$work" ] && [ $# -ge 2 ] || usage
release=$1
shift
case $release in bookworm | trixie) ;; *) fail "makes bookworm and trixie roots, not '$release'" ;; esac
[ "$(id -u)" -eq 0 ] || fail "needs root: it mounts and changes root"
for ((i = 1; i < ${#puts[@]}; i += 2)); do [[ "${puts[$i]}" == /* ]] || fail "--put: '${puts[$i]}' is not an absolute path"; done
for ((i = 1; i < ${#clones[@]}; i += 2)); do [[ "${clones[$i]}" == /* ]] || fail "--clone: '${clones[$i]}' is not an absolute path"; done
for ((i = 1; i < ${#shares[@]}; i += 2)); do [[ "${shares[$i]}" == /* ]] || fail "--share: '${shares[$i]}' is not an absolute path"; done

# The rest runs in a private mount namespace: the same process, re-executed,
# with SIGINT's default action (a shell that started it in the background
# may have had it ignored, and bash cannot trap a signal ignored at entry).
if [ "${FRESH_ROOT_NAMESPACE:-}" != "$$" ]; then
  command -v unshare >/dev/null || fail "needs unshare (util-linux)"
  FRESH_ROOT_NAMESPACE=$$ exec env --default-signal=INT,QUIT \
    unshare --mount --propagation private bash "$0" "${arguments[@]}"
fi
unset FRESH_ROOT_NAMESPACE
for tool in mmdebstrap mount umount chroot git; do
  command -v "$tool" >/dev/null || fail "needs $tool (bash scripts/setup.sh root installs it)"
done

mkdir -p "$work"
work=$(cd "$work" && pwd)
[[ "$work" != *[$'\t\n\\']* ]] || fail "the work folder's path has a tab, line break or backslash: $work"

root=""
partial=""
making_pid=""
command_pid=""
status=125

# ---- clean-up -------------------------------------------------------------------

# A path as /proc/self/mounts writes it (the work folder has no tab, line
# break or backslash), and back.
escaped() { echo "${1// /\\040}"; }
unescaped() { echo "${1//\\040/ }"; }

# Mount points at or under the root, the latest first.
mounts_inside() {
  local point
  awk -v root="$(escaped "$root")" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts |
    tac | while read -r point; do unescaped "$point"; done
}

# Ids of the processes whose root folder is the root or lies inside it.
pids_inside() {
  find /proc -mindepth 2 -maxdepth 2 -name root -type l -printf '%l\t%h\n' 2>/dev/null |
    awk -F '\t' -v root="$root" '$1 == root || index($1, root "/") == 1 { sub("^/proc/", "", $2); print $2 }'
}

# Ends every process inside: SIGTERM, repeated every second for 20 s (time
# for a fresh root made inside to be removed by its own clean-up), then
# SIGKILL for 5 s; fails when one is left.
end_processes() {
  local signal try tries pids
  for signal in TERM KILL; do
    tries=$([ "$signal" = TERM ] && echo 200 || echo 50)
    for ((try = 0; try < tries; try++)); do
      pids=$(pids_inside)
      [ -n "$pids" ] || return 0
      # shellcheck disable=SC2086 # one word per id
      [ $((try % 10)) -ne 0 ] || kill -s "$signal" $pids 2>/dev/null || true
      sleep 0.1
    done
  done
  [ -z "$(pids_inside)" ]
}

unmount_all() {
  local round point
  for round in 1 2 3; do
    while read -r point; do
      [ -n "$point" ] || continue
      umount "$point" 2>/dev/null || [ "$round" -lt 3 ] || umount -l "$point" 2>/dev/null || true
    done < <(mounts_inside)
    [ -n "$(mounts_inside)" ] || return 0
  done
  return 1
}

finish() {
  trap '' INT TERM HUP
  set +e
  if [ -n "$making_pid" ]; then
    kill "$making_pid" 2>/dev/null
    wait "$making_pid"
  fi
  [ -z "$partial" ] || rm -f "$partial"
  if [ -n "$root" ]; then
    if ! end_processes; then
      echo "fresh-root: processes $(pids_inside | paste -sd ' ') in $root do not end" >&2
      status=125
    fi
    [ -z "$command_pid" ] || wait "$command_pid" 2>/dev/null
    if unmount_all; then
      rm -rf --one-file-system "$root" ||
        { echo "fresh-root: could not remove $root" >&2; status=125; }
    else
      echo "fresh-root: $root keeps mounts ($(mounts_inside | paste -sd ' ')); it is left in place" >&2
      status=125
    fi
  fi
  exit "$status"
}
trap finish EXIT
trap 'status=129; exit' HUP
trap 'status=130; exit' INT
trap 'status=143; exit' TERM

# ---- the tarball ------------------------------------------------------------------

# shellcheck source=debian-archive.sh
source "$(dirname "$0")/debian-archive.sh"

tarball="$work/$release.tar"
if [ ! -f "$tarball" ]; then
  uri=""
  read -r uri _ < <(debian_archive "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")") || true
  [ -n "$uri" ] || fail "no Debian mirror for this machine's release in its apt sources"
  echo "fresh-root: making $tarball from $uri" >&2
  partial=$(mktemp "$tarball.XXXXXX")
  started=$SECONDS
  mmdebstrap --variant=apt --include=ca-certificates,git,make --format=tar \
    "$release" "$partial" "$uri" >"$work/$release.log" 2>&1 &
  making_pid=$!
  made=0
  wait "$making_pid" || made=$?
  making_pid=""
  if [ "$made" -ne 0 ]; then
    tail -n 5 "$work/$release.log" >&2
    fail "mmdebstrap could not make the $release tarball (log: $work/$release.log)"
  fi
  chmod 644 "$partial"
  mv "$partial" "$tarball"
  partial=""
  echo "fresh-root: $tarball made in $((SECONDS - started)) s" >&2
fi

# ---- the root ---------------------------------------------------------------------

root=$(mktemp -d "$work/root-$release.XXXXXX")
chmod 755 "$root"
tar --numeric-owner -xpf "$tarball" -C "$root" || fail "could not unpack $tarball"

# The root is a mount point of its own, so that unshare and mmdebstrap work
# inside it as on a machine.
mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o nosuid,nodev,mode=1777 shm "$root/dev/shm"
if [ -f /etc/resolv.conf ]; then
  rm -f "$root/etc/resolv.conf"
  touch "$root/etc/resolv.conf"
  mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
fi
if [ "$apt_cache" -eq 1 ]; then
  mkdir -p "$work/apt-$release/partial"
  mount --bind "$work/apt-$release" "$root/var/cache/apt/archives"
fi

# inside DEST: DEST's path in the root, whose folder must lie inside it.
inside() {
  local folder
  folder=$(realpath -m "$root$(dirname "$1")")
  [[ "$folder/" == "$root/"* ]] || fail "$1 leads out of the root"
  echo "$folder/$(basename "$1")"
}
for ((i = 0; i < ${#puts[@]}; i += 2)); do
  target=$(inside "${puts[$((i + 1))]}")
  mkdir -p "$(dirname "$target")"
  cp -a -- "${puts[$i]}" "$target" || fail "could not copy ${puts[$i]} into the root"
done
for ((i = 0; i < ${#clones[@]}; i += 2)); do
  target=$(inside "${clones[$((i + 1))]}")
  git clone -q --no-hardlinks -- "${clones[$i]}" "$target" || fail "could not clone ${clones[$i]} into the root"
done
for ((i = 0; i < ${#shares[@]}; i += 2)); do
  target=$(inside "${shares[$((i + 1))]}")
  mkdir -p "$target"
  mount --bind "${shares[$i]}" "$target" || fail "could not mount ${shares[$i]} into the root"
done

# ---- the command --------------------------------------------------------------------

echo "fresh-root: $release root $root: $*" >&2
environment=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8)
[ -z "${TERM:-}" ] || environment+=("TERM=$TERM")
# Run in the background so that a signal reaches the traps at once; the
# command gets this script's standard input and the default actions of
# SIGINT and SIGQUIT, which bash would otherwise have it ignore.
exec 3<&0
env --default-signal=INT,QUIT chroot "$root" /usr/bin/env -i "${environment[@]}" "$@" <&3 3<&- &
command_pid=$!
exec 3<&-
status=0
wait "$command_pid" || status=$?
echo "fresh-root: the command ended with status $status; removing the root" >&2
