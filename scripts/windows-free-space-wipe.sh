#!/usr/bin/env bash
# The free-space wipe with the Windows services under Wine, on small drives only: Wine's C: is
# the host's own disk, which a wipe would fill. For each of FAT and ext4, a 48 MiB image is
# loop-mounted and linked to a free drive letter of the tests' Wine prefix; files full of a
# marker are written and deleted the ordinary way; then the WipeOnSmallDrive cases of the Windows
# tests run there (QUENVOR_WIPE_FOLDER names the folder). Checked from Linux afterwards: no byte
# of the marker left anywhere in the unmounted image, no trace of the fill in the folder, the free
# space back as it was, the filesystem clean (fsck); then the same after a run the user stops,
# and after a run killed with the disk full and the start-up clean-up that follows it.
#   windows-free-space-wipe.sh <wine prefix> <quenvor_windows_tests.exe>
# A filesystem the kernel cannot mount here (FAT in a container without the driver) is left out
# and said; FUSE's FAT is no stand-in, as it reports a full disk as "not permitted".
# Exit 0: passed, 77: not root, no loop device, no Wine, or no filesystem that could be mounted.
set -euo pipefail
prefix=$1
exe=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run=("$here/../cmake/wine-run.sh" --prefix "$prefix")
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "loop mounts need root"
command -v wine >/dev/null || skip "no Wine"
losetup -f >/dev/null 2>&1 || skip "no free loop device"

work=$(mktemp -d)
mnt=$work/mnt
link=""
mkdir -p "$mnt"
cleanup() {
  [ -n "$link" ] && rm -f "$link"
  if mountpoint -q "$mnt"; then umount "$mnt"; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM

"${wine_run[@]}" --start
[ -d "$prefix/dosdevices" ] || fail "the Wine prefix $prefix has no dosdevices folder"
for l in q r s t u v w x y; do
  if [ ! -e "$prefix/dosdevices/$l:" ] && [ ! -L "$prefix/dosdevices/$l:" ]; then
    letter=$l
    break
  fi
done
[ -n "${letter:-}" ] || skip "no free drive letter in $prefix"

# ext4 keeps back up to 2 % of its blocks for its own metadata, which no write of a file reaches
# (not root's either): whatever those blocks held stays, on any system. Given back here, so that
# what is checked is the wipe's reach, not that reserve.
mount_image() {
  mount -o loop "$image" "$mnt" 2>/dev/null || return 1
  if [ "$fs" = ext4 ]; then
    local dev
    dev=$(findmnt -n -o SOURCE "$mnt")
    echo 0 >"/sys/fs/ext4/${dev#/dev/}/reserved_clusters" || fail "cannot give back ext4's reserve on $dev"
  fi
}
available() { stat -f -c '%a %S' "$mnt" | awk '{ print $1 * $2 }'; }
block() { stat -f -c '%S' "$mnt"; }

# Runs the $2 cases matching $1 on drive $letter; passes only when they ran (never skipped).
run_cases() {
  local out rc=0
  out=$(QUENVOR_WIPE_FOLDER="$letter:\\papers" "${wine_run[@]}" "$exe" --gtest_filter="WipeOnSmallDrive.$1" 2>&1) ||
    rc=$?
  echo "$out"
  [ $rc -eq 0 ] || fail "the Windows test ended with $rc"
  grep -q "^\[  PASSED  \] $2 test" <<<"$out" || fail "the cases $1 did not run"
  if grep -q '^\[  SKIPPED \]' <<<"$out"; then fail "the case $1 skipped"; fi
}

# The folder holds nothing of the wipe and the free space is back within a few blocks of $1,
# besides the blocks the folder grew by for the names written in it ($2: its size before).
check_after() {
  local left now grown
  left=$(ls -A "$mnt/papers")
  [ -z "$left" ] || fail "left in the folder: $left"
  now=$(available)
  grown=$(($(stat -c %s "$mnt/papers") - $2))
  echo "free space $now, was $1; the folder grew by $grown"
  [ $((now + grown + 16 * $(block))) -ge "$1" ] || fail "free space $now, was $1"
}

ran=""
for fs in vfat ext4; do
  case $fs in
    vfat) mkfs=(mkfs.vfat) fsck=(fsck.vfat -n) ;;
    # No reserve for root (Wine runs as root here). 4 KiB blocks, as on any ext4 past 512 MiB, so
    # the fill's extents fit in its inode: on 1 KiB blocks the fill needs an extent block of
    # ext4's own, which goes to the journal only and is freed with the fill before it reaches its
    # place, and the old data under it stays (under Linux as well, unless the filesystem is synced
    # before the fill goes).
    ext4) mkfs=(mkfs.ext4 -q -F -m 0 -b 4096) fsck=(e2fsck -f -n) ;;
  esac
  if ! command -v "${mkfs[0]}" >/dev/null; then
    echo "== $fs left out: no ${mkfs[0]}"
    continue
  fi
  image=$work/$fs.img
  truncate -s 48M "$image"
  "${mkfs[@]}" "$image" >/dev/null
  if ! mount_image; then
    echo "== $fs left out: this kernel cannot mount it"
    rm -f "$image"
    continue
  fi
  mkdir "$mnt/papers"
  marker="QUENVOR-WINE-WIPE-$RANDOM$RANDOM-$$|"
  chunk=$(printf "%.0s$marker" $(seq 1 2048))
  for i in $(seq 1 16); do
    for _ in $(seq 1 16); do printf '%s' "$chunk"; done >"$mnt/papers/doc$i.txt"
  done
  sync
  rm "$mnt"/papers/doc*.txt
  sync
  grep -a -q -F -- "$marker" "$image" || fail "$fs: the deleted files' blocks do not hold the marker before the wipe"
  before=$(available)
  folder=$(stat -c %s "$mnt/papers")
  ln -s "$mnt" "$prefix/dosdevices/$letter:"
  link=$prefix/dosdevices/$letter:

  echo "== $fs on $letter: ($before bytes free)"
  run_cases 'FillsToTheEnd*' 1
  umount "$mnt"
  if grep -a -q -F -- "$marker" "$image"; then fail "$fs: a deleted file's bytes are left in the free space"; fi
  out=$("${fsck[@]}" "$image" 2>&1) || fail "$fs: the filesystem is not clean after the wipe: $out"
  mount_image
  check_after "$before" "$folder"

  echo "== $fs: a run stopped by the user; a run killed with the disk full, then the next start"
  run_cases 'AStopMidFill*:*AFillLeftByAKilledRun*' 2
  check_after "$before" "$folder"
  umount "$mnt"
  out=$("${fsck[@]}" "$image" 2>&1) || fail "$fs: the filesystem is not clean after the clean-up: $out"
  rm -f "$link" "$image"
  link=""
  ran="$ran $fs"
done
[ -n "$ran" ] || skip "no filesystem could be mounted"
echo "passed on$ran"
