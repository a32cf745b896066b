#!/usr/bin/env bash
# Remakes the committed fixture images and what the walk finds on them.
# Usage: make-fixtures.sh NORVALE_SCAN_BENCH (root, FUSE, mkntfs, ntfs-3g).
# For each image: NAME.img.xz and NAME.expected, the walk's results over the
# mounted volume (SIZE<TAB>PATH with the mount point written as "C:\",
# sorted), with the minimum the test uses (1 MiB; 1 byte for fragmented).
# The mount point, /nt, is as long as "C:\", so paths are cut where the
# reader cuts them.
set -euo pipefail
bench=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
mnt=/nt
[ ! -e "$mnt" ] || { echo "$mnt exists" >&2; exit 1; }
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$mnt"
make() {  # NAME MINIMUM SCRIPT [SECTOR]
  local name=$1 minimum=$2 script=$3
  bash "$here/$script" "$work/$name.img" ${4:-} >/dev/null 2>&1
  ntfs-3g -o ro "$work/$name.img" "$mnt"
  "$bench" scan "$mnt" "$minimum" --list | grep -v '^found ' |
    awk -v mnt="$mnt" 'BEGIN { FS = OFS = "\t" } { sub("^" mnt, "C:\\", $2); print }' | LC_ALL=C sort > "$here/$name.expected"
  umount "$mnt"
  xz -9e -T1 -c "$work/$name.img" > "$here/$name.img.xz"
}
make scenario-1024 1048576 make-image.sh 512
make scenario-4096 1048576 make-image.sh 4096
make fragmented-1024 1 make-fragmented.sh
