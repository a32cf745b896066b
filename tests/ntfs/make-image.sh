#!/usr/bin/env bash
# Makes an NTFS image that holds every case the MFT reader must get right, by
# mkntfs and an ntfs-3g mount (root, FUSE). Usage: make-image.sh IMAGE SECTOR
# (SECTOR 512 gives 1024-byte MFT records, 4096 gives 4096-byte ones).
# Exits 77 when the tools or the mount are not available.
set -euo pipefail
image=$1
sector=${2:-512}
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && command -v setfattr >/dev/null || exit 77
[ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ] || exit 77

mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT
rm -f "$image"
truncate -s 48M "$image"
mkntfs -q -F -f -s "$sector" "$image"
ntfs-3g "$image" "$mnt" || exit 77
cd "$mnt"
M=1048576
big() { mkdir -p "$(dirname "$1")"; truncate -s "$2" "$1"; }

big top.bin $((2 * M))
printf 'small' > small.txt
big exact.bin $M
big under.bin $((M - 1))
# The three names, exactly, at any depth and as files; other cases are searched.
big '$Recycle.Bin/S-1-5/bin.bin' $((3 * M))
big '$RECYCLE.BIN/found.bin' $((3 * M))
big 'Recovery/r.bin' $((2 * M))
big 'recovery/found.bin' $((2 * M))
big 'System Volume Information/s.bin' $((2 * M))
big 'docs/Recovery' $((2 * M))
big 'docs/System Volume Information' $((2 * M))
# Deeper than the walk goes: a file in each of 34 nested folders.
path=deep
for i in $(seq 1 34); do path="$path/d$i"; big "$path/f$i.bin" $((2 * M)); done
# Hard links in two folders, and hundreds of names for one file (an attribute list).
big links/a/linked.bin $((4 * M))
mkdir -p links/b
ln links/a/linked.bin links/b/other-name.bin
big many/target.bin $((2 * M))
for i in $(seq 1 400); do ln many/target.bin "many/link-with-a-long-name-to-fill-the-record-$i.bin"; done
# Sparse files of several GB.
big sparse/five.bin 5G
big sparse/huge.bin 3G
# Named streams never count: a small file with a large stream, a big one with a stream.
mkdir -p streams
printf x > streams/small-with-stream.bin
setfattr -n user.big -v "0x$(head -c 60000 /dev/zero | od -An -v -tx1 | tr -d ' \n')" streams/small-with-stream.bin
big streams/big-with-stream.bin $((2 * M))
setfattr -n user.note -v "hello" streams/big-with-stream.bin
# Names outside ASCII, names that differ only in case.
big '中文目录/大文件.bin' $((2 * M))
big 'emoji/😀 smile.bin' $((2 * M))
big 'emoji/𠀋.bin' $((2 * M))
big case/abc.bin $((2 * M))
big case/ABD.bin $((2 * M))
big case/Abc.bin $((2 * M))
big case/é.bin $((2 * M))
big case/É2.bin $((2 * M))
big case/z.bin $((2 * M))
big case/_.bin $((2 * M))
big case/ab $((2 * M))
big case/sub/in-sub.bin $((2 * M))
big case/Sub/in-Sub.bin $((2 * M))
# A path past 259 units: found (the walk on Windows cannot list its folder) and cut to 259.
big "long/$(printf 'n%.0s' $(seq 1 200))/$(printf 'm%.0s' $(seq 1 80)).bin" $((2 * M))
# A junction with a large file behind it, and a file with a reparse point that is no link.
big target/behind.bin $((2 * M))
mkdir junction
substitute='\??\C:\target'
printname='C:\target'
hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n'; }
sub=$(hex "$substitute"); pri=$(hex "$printname")
sublen=$(( ${#sub} / 2 )); prilen=$(( ${#pri} / 2 ))
le16() { printf '%02x%02x' $(( $1 & 255 )) $(( $1 >> 8 )); }
datalen=$(( 8 + sublen + 2 + prilen + 2 ))
buffer="030000a0$(le16 $datalen)0000$(le16 0)$(le16 $sublen)$(le16 $((sublen + 2)))$(le16 $prilen)${sub}0000${pri}0000"
setfattr -n system.ntfs_reparse_data -v "0x$buffer" junction
big reparse-file.bin $((2 * M))
setfattr -n system.ntfs_reparse_data -v "0x1300008004000000deadbeef" reparse-file.bin  # a deduplicated file
# Enough small files that the MFT grows past its first extent.
mkdir -p many-small
for i in $(seq 1 3000); do : > "many-small/f$i"; done
cd /
