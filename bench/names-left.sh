#!/bin/sh
# How many file and folder names a folder shred leaves on a raw ext4 image: makes a 64 MiB
# image, fills a folder with uniquely named files, shreds it with the given tool, unmounts and
# searches the raw image for every name. Needs root (loop mount).
#   bench/names-left.sh SHRED_TOOL [mount options]
set -eu
tool=$1
opts=${2:-}
img=$(mktemp /var/tmp/quenvor-names.XXXXXX)
mnt=$(mktemp -d /var/tmp/quenvor-mnt.XXXXXX)
names=$(mktemp /var/tmp/quenvor-list.XXXXXX)
cleanup() { umount "$mnt" 2>/dev/null || true; rm -rf "$img" "$mnt" "$names"; }
trap cleanup EXIT
truncate -s 64M "$img"
mkfs.ext4 -q -F ${MKFS_OPTS:-} "$img"
mount -o loop${opts:+,$opts} "$img" "$mnt"
root="$mnt/qvchoiceroot"
echo qvchoiceroot >"$names"
for d in qvfolderalpha qvfolderbravo; do
    mkdir -p "$root/$d"
    echo "$d" >>"$names"
    for i in 01 02 03 04 05 06 07 08 09 10; do
        n="qvfile${d#qvfolder}${i}secret.txt"
        head -c 4096 /dev/zero | tr '\0' 'Q' >"$root/$d/$n"
        echo "$n" >>"$names"
    done
done
sync
"$tool" "$root" 1
sync
umount "$mnt"
found=0 copies=0 total=0
while read -r n; do
    total=$((total + 1))
    c=$(grep -a -o -F "$n" "$img" | wc -l)
    [ "$c" -gt 0 ] && found=$((found + 1))
    copies=$((copies + c))
done <"$names"
echo "NAMES $found of $total names found, $copies copies in all"
