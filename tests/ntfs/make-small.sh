#!/usr/bin/env bash
# Makes a 2 MiB NTFS image with one of each kind of entry: the fuzzer's base
# volume. Usage: make-small.sh IMAGE. Exits 77 without the tools or FUSE.
set -euo pipefail
image=$1
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && command -v setfattr >/dev/null || exit 77
[ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ] || exit 77
mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT
rm -f "$image"
truncate -s 2M "$image"
mkntfs -q -F -f "$image"
ntfs-3g "$image" "$mnt" || exit 77
cd "$mnt"
mkdir -p a/b 'Recovery' 中文 j
truncate -s 3G a/b/big.bin
truncate -s 2M a/mid.bin
ln a/mid.bin 中文/链接.bin
printf x > a/small.txt
setfattr -n user.s -v 0x00112233 a/mid.bin
truncate -s 2M Recovery/r.bin
setfattr -n system.ntfs_reparse_data -v "0x1300008004000000deadbeef" a/small.txt
for i in $(seq 1 20); do : > "a/f$i"; done
cd /
