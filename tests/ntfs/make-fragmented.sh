#!/usr/bin/env bash
# Makes a small NTFS image whose MFT is scattered over the volume, so that
# record 0 needs an attribute list and its $DATA continues in other records:
# the volume is filled with one-cluster files, every other one is deleted,
# and then thousands of empty files make the MFT grow into the holes.
# Usage: make-fragmented.sh IMAGE. Exits 77 without the tools or FUSE.
set -euo pipefail
image=$1
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null || exit 77
[ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ] || exit 77
mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT
rm -f "$image"
truncate -s 24M "$image"
mkntfs -q -F -f -z 1 "$image"
ntfs-3g "$image" "$mnt" || exit 77
cd "$mnt"
mkdir fill empty
truncate -s 3G sparse-large.bin
i=0
while [ $i -lt 6000 ] && head -c 4096 /dev/zero > "fill/$i" 2>/dev/null; do i=$((i + 1)); done
for j in $(seq 0 2 $i); do rm -f "fill/$j"; done
n=0
while [ $n -lt 9000 ] && : > "empty/$n" 2>/dev/null; do n=$((n + 1)); done
cd /
