#!/usr/bin/env bash
# Renders icon.svg into the seven sizes of the icon group with ImageMagick
# and packs them into app.ico, every image a 32-bit PNG (16 to 256 pixels).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes="16 24 32 48 64 128 256"
for s in $sizes; do
  convert -background none -density 384 icon.svg -resize "${s}x${s}" -strip "PNG32:$work/$s.png"
done
# ICONDIR, then one ICONDIRENTRY per image, then the PNG streams as they are.
python3 - "$work" $sizes <<'PY'
import struct, sys
work, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
images = [open(f"{work}/{s}.png", "rb").read() for s in sizes]
offset = 6 + 16 * len(images)
out = struct.pack("<HHH", 0, 1, len(images))
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(images)
open("app.ico", "wb").write(out)
PY
echo "wrote $(pwd)/app.ico"
