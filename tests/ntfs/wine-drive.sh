#!/usr/bin/env bash
# End to end under Wine: the drive search of norvale_scan_bench.exe on an
# NTFS volume. Y: is the mounted volume (ntfs-3g) and Y:: its image file, which
# Wine opens as \\.\Y:. The search must go through the MFT, a cancelled one
# must publish nothing, and without Y:: it must walk and find the same files.
# Usage: wine-drive.sh SOURCE_DIR BENCH_EXE (WINEPREFIX set). Exits 77 without
# root, FUSE, ntfs-3g or xz.
set -euo pipefail
src=$1 bench=$2
[ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ] && command -v ntfs-3g >/dev/null && command -v xz >/dev/null || {
  echo "needs root, FUSE, ntfs-3g and xz: skipped"; exit 77; }
dos="$WINEPREFIX/dosdevices"
if [ -e "$dos/y:" ] || [ -L "$dos/y:" ] || [ -L "$dos/y::" ]; then echo "y: is taken in $dos" >&2; exit 1; fi
work=$(mktemp -d)
cleanup() { rm -f "$dos/y:" "$dos/y::"; umount "$work/mnt" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/mnt"
xz -dc "$src/tests/ntfs/scenario-1024.img.xz" > "$work/y.img"
ntfs-3g -o ro "$work/y.img" "$work/mnt"
ln -s "$work/y.img" "$dos/y::"
ln -s "$work/mnt" "$dos/y:"
fail() { echo "FAIL: $*" >&2; exit 1; }

WINEDEBUG=-all wine "$bench" drive Y: 1048576 --list --cancel | tr -d '\r' > "$work/mft.txt"
sed -n '1,2p;$p' "$work/mft.txt"
[ "$(sed -n 1p "$work/mft.txt")" = "cancelled: result 0, 0 files" ] || fail "a cancelled search published files"
[ "$(sed -n 2p "$work/mft.txt")" = "route: mft" ] || fail "the search did not read the MFT"

# Wine shows the root of a mounted volume as a mount point, which a walk
# through held folders does not enter: it walks a copy (hard links, sparse
# files and links kept), as the tree below does.
rm "$dos/y::" "$dos/y:"
cp -a --sparse=always "$work/mnt" "$work/copy"
ln -s "$work/copy" "$dos/y:"
WINEDEBUG=-all wine "$bench" drive Y: 1048576 --list | tr -d '\r' > "$work/walk.txt"
sed -n '1p;$p' "$work/walk.txt"
case "$(sed -n 1p "$work/walk.txt")" in "route: walk ("*) ;; *) fail "without the device it did not walk" ;; esac

grep -v '^route\|^found\|^cancelled' "$work/mft.txt" | LC_ALL=C sort > "$work/a"
grep -v '^route\|^found' "$work/walk.txt" | LC_ALL=C sort > "$work/b"
[ -s "$work/a" ] || fail "nothing found"
diff "$work/a" "$work/b" >&2 || fail "the MFT and the walk found different files"
echo "the same $(wc -l < "$work/a") files both ways"

# The space view's tree of the same volume both ways: through the MFT, and
# walked through Win32 listings (no link counts there: ids count a file once).
rm "$dos/y:"
ln -s "$work/mnt" "$dos/y:"
ln -s "$work/y.img" "$dos/y::"
WINEDEBUG=-all wine "$bench" tree-drive Y: --list | tr -d '\r' > "$work/tree-mft.txt"
rm "$dos/y::" "$dos/y:"
ln -s "$work/copy" "$dos/y:"
WINEDEBUG=-all wine "$bench" tree-drive Y: --list | tr -d '\r' > "$work/tree-walk.txt"
[ "$(sed -n 1p "$work/tree-mft.txt")" = "route: mft" ] || fail "the tree did not read the MFT"
case "$(sed -n 1p "$work/tree-walk.txt")" in "route: walk ("*) ;; *) fail "the tree did not walk without the device" ;; esac
# links\a\linked.bin is links\b\other-name.bin: each way counts it once under
# the name it meets first, so only their parent must agree. The root holds
# reparse-file.bin, a deduplicated file the MFT counts and ntfs-3g shows as a
# symbolic link: the root's own line is left out.
folders() { grep -P '^\d+\t' "$1" | grep -v -P '\t\\links\\|\t\\$' | LC_ALL=C sort -t$'\t' -k5; }
folders "$work/tree-mft.txt" > "$work/c"
folders "$work/tree-walk.txt" > "$work/d"
[ "$(wc -l < "$work/c")" -gt 50 ] || fail "the tree is too small: $(wc -l < "$work/c") folders"
diff "$work/c" "$work/d" >&2 || fail "the MFT and the walk built different trees"
echo "the same tree both ways: $(wc -l < "$work/c") folders; $(tail -n 1 "$work/tree-mft.txt")"
