#!/bin/sh
# The free-space wipe on a raw ext4 image against `dd if=/dev/urandom ...; sync; rm` and, when
# installed, `sfill -l -l` (secure-delete, one random pass): each tool gets its own copy of one
# image holding files deleted the ordinary way, and after it the raw image is searched for their
# contents and their names. Prints RATIO lines (ours, theirs, ratio) like the other benches,
# PEAK (MiB of the fill's process) and LEFT (markers and names found). Needs root (loop mount).
#   bench/wipe-free.sh QUENVOR_WIPE_FREE [SIZE_MIB]
set -eu
tool=$1
size=${2:-2048}
work=$(mktemp -d /var/tmp/quenvor-wipe.XXXXXX)
mnt="$work/mnt"
mkdir "$mnt"
cleanup() { umount "$mnt" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT INT TERM
marker="QUENVOR-WIPE-BENCH-$$-$(date +%s)|"

# The template: a quarter of the image in files of a marker, with names of their own, deleted.
truncate -s "${size}M" "$work/template"
mkfs.ext4 -q -F "$work/template"
mount -o loop "$work/template" "$mnt"
mkdir "$mnt/chosen"
head -c 1048576 /dev/zero | tr '\0' '.' | sed "s/\.\{${#marker}\}/$marker/g" >"$work/block"
files=$((size / 4))
i=0
while [ $i -lt "$files" ]; do
    cp "$work/block" "$mnt/chosen/qvbenchname$(printf %05d $i)secret.txt"
    i=$((i + 1))
done
sync
rm -f "$mnt"/chosen/qvbench*
sync
umount "$mnt"

count() { grep -a -o -F "$1" "$2" | wc -l; }
# Distinct deleted names still somewhere in the image, in one pass.
names_left() { grep -a -o "qvbenchname[0-9]\{5\}secret" "$1" | sort -u | wc -l; }

# run NAME COMMAND...: time of COMMAND on a fresh copy of the template, then what is left.
run() {
    name=$1
    shift
    cp --sparse=always "$work/template" "$work/img"
    mount -o loop "$work/img" "$mnt"
    start=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$work/peak" "$@" >"$work/out" 2>"$work/err" || true
    end=$(date +%s.%N)
    umount "$mnt"
    secs=$(echo "$end - $start" | bc)
    eval "t_$name=$secs"
    echo "LEFT $name markers $(count "$marker" "$work/img") names $(names_left "$work/img") of $files"
    echo "PEAK $name $(echo "scale=1; $(cat "$work/peak") / 1024" | bc)"
    [ "$name" = ours ] && sed "s/^/OURS /" "$work/out"
    rm -f "$work/img"
}

run ours "$tool" "$mnt/chosen"
run dd sh -c "dd if=/dev/urandom of='$mnt/chosen/fill' bs=1M 2>/dev/null; sync; rm -f '$mnt/chosen/fill'; sync"
ratio() { echo "RATIO $1 $2 $3 $(echo "scale=2; $2 / $3" | bc)"; }
ratio wipe-free-vs-dd "$t_ours" "$t_dd"
if command -v sfill >/dev/null; then
    run sfill sfill -l -l "$mnt/chosen"
    ratio wipe-free-vs-sfill "$t_ours" "$t_sfill"
else
    echo "sfill not installed (package secure-delete): no comparison"
fi
