#!/usr/bin/env python3
"""Makes the crafted MFT fixtures from scenario-1024.img.xz (run from this
folder; commits the .img.xz it writes):

  crafted-hang.img.xz       the boot sector claims 2^40 sectors and $MFT's data
                            ends in a sparse run of 2^36 clusters that its
                            sizes cover: a reader that fills holes reads zeros
                            for hours. It is no MFT to trust.
  crafted-collision.img.xz  the record of case\\ABD.bin is damaged to claim the
                            name of its neighbour case\\Abc.bin: one folder, one
                            name, two records. Neither can be vouched for.
                            And the record of exact.bin (1 MiB) claims the name
                            of its small neighbour under.bin (1 MiB - 1): a
                            search that counts only the names at or above its
                            minimum would list a false under.bin at 1 MiB.
  crafted-overclaim.img.xz  $MFT's data maps its own clusters and then the whole
                            volume again, every run inside the volume, its sizes
                            covering both: more records than the volume has room
                            for. It is no MFT to trust.
  crafted-overlong.img.xz   the boot sector claims 2^40 sectors and $MFT's data
                            goes on in an allocated run of 2^36 clusters past
                            the image's end: records no disk here holds, which
                            the sinks would take room for before the first
                            read failed. It is no MFT to trust.
"""
import lzma
import struct

def load():
    return bytearray(lzma.open("scenario-1024.img.xz").read())

def geometry(d):
    bps = struct.unpack_from("<H", d, 0x0B)[0]
    cluster = bps * d[0x0D]
    mft = struct.unpack_from("<Q", d, 0x30)[0] * cluster
    cpr = struct.unpack_from("<b", d, 0x40)[0]
    record = cluster * cpr if cpr > 0 else 1 << -cpr
    return bps, cluster, mft, record

def unfix(d, at, record, bps):
    """Puts the sector ends back from the update sequence array."""
    usa = struct.unpack_from("<H", d, at + 4)[0]
    for i in range(record // bps):
        d[at + (i + 1) * bps - 2: at + (i + 1) * bps] = d[at + usa + 2 + 2 * i: at + usa + 4 + 2 * i]

def fix(d, at, record, bps):
    usa = struct.unpack_from("<H", d, at + 4)[0]
    usn = d[at + usa: at + usa + 2]
    for i in range(record // bps):
        end = at + (i + 1) * bps
        d[at + usa + 2 + 2 * i: at + usa + 4 + 2 * i] = d[end - 2: end]
        d[end - 2: end] = usn

def attributes(d, at):
    off = struct.unpack_from("<H", d, at + 0x14)[0]
    while True:
        kind, length = struct.unpack_from("<II", d, at + off)
        if kind == 0xFFFFFFFF:
            return
        yield kind, off, length
        off += length

def longer(header):
    """The boot sector claims 2^40 sectors and $MFT's data goes on in a run of
    2^36 clusters that its sizes cover: header 0x05 a hole, 0x15 allocated
    (one offset byte of 0: on from the first run's LCN)."""
    d = load()
    bps, cluster, mft, record = geometry(d)
    struct.pack_into("<Q", d, 0x28, 1 << 40)
    unfix(d, mft, record, bps)
    for kind, off, length in attributes(d, mft):
        if kind == 0x80:
            a = mft + off
            pairs = a + struct.unpack_from("<H", d, a + 0x20)[0]
            first = bytes(d[pairs: pairs + 1 + (d[pairs] & 15) + (d[pairs] >> 4)])
            used = struct.unpack_from("<I", d, mft + 0x18)[0]
            # Room for the longer mapping pairs: the attributes after it move up.
            grow = 8
            tail = bytes(d[a + length: mft + used])
            d[a + length + grow: a + length + grow + len(tail)] = tail
            struct.pack_into("<I", d, a + 4, length + grow)
            struct.pack_into("<I", d, mft + 0x18, used + grow)
            more = 1 << 36
            runs = first + bytes([header]) + more.to_bytes(5, "little") + bytes(header >> 4) + b"\0"
            d[pairs: pairs + len(runs)] = runs
            clusters = (first[1] | first[2] << 8) + more
            struct.pack_into("<Q", d, a + 0x18, clusters - 1)          # last VCN
            for field in (0x28, 0x30, 0x38):                           # allocated, data, initialized
                struct.pack_into("<Q", d, a + field, clusters * cluster)
            break
    fix(d, mft, record, bps)
    return d

def hang():
    return longer(0x05)

def overlong():
    return longer(0x15)

def rename(d, old, new):
    """Makes the record that names `old` claim `new` (of the same length)."""
    bps, cluster, mft, record = geometry(d)
    wanted = old.encode("utf-16-le")
    for n in range(16, 4096):
        at = mft + n * record
        if d[at: at + 4] != b"FILE":
            continue
        unfix(d, at, record, bps)
        changed = False
        for kind, off, length in attributes(d, at):
            if kind == 0x30:
                value = at + off + struct.unpack_from("<H", d, at + off + 0x14)[0]
                name = bytes(d[value + 0x42: value + 0x42 + 2 * d[value + 0x40]])
                if name == wanted:
                    d[value + 0x42: value + 0x42 + len(wanted)] = new.encode("utf-16-le")
                    changed = True
        fix(d, at, record, bps)
        if changed:
            return d
    raise SystemExit("no record names " + old)

def collision():
    d = load()
    rename(d, "ABD.bin", "Abc.bin")
    rename(d, "exact.bin", "under.bin")
    return d

def signed(value):
    """The shortest little-endian two's complement bytes of value."""
    for size in range(1, 9):
        if -(1 << (8 * size - 1)) <= value < (1 << (8 * size - 1)):
            return (value & ((1 << (8 * size)) - 1)).to_bytes(size, "little")

def unsigned(value):
    return value.to_bytes(max(1, (value.bit_length() + 7) // 8), "little")

def overclaim():
    d = load()
    bps, cluster, mft, record = geometry(d)
    volume = struct.unpack_from("<Q", d, 0x28)[0] * bps // cluster
    unfix(d, mft, record, bps)
    for kind, off, length in attributes(d, mft):
        if kind == 0x80:
            a = mft + off
            pairs = a + struct.unpack_from("<H", d, a + 0x20)[0]
            first = bytes(d[pairs: pairs + 1 + (d[pairs] & 15) + (d[pairs] >> 4)])
            own = int.from_bytes(first[1: 1 + (first[0] & 15)], "little")
            lcn = mft // cluster
            back, count = signed(-lcn), unsigned(volume)
            runs = first + bytes([len(count) | len(back) << 4]) + count + back + b"\0"
            grow = max(0, (pairs - a + len(runs) + 7) // 8 * 8 - length)
            used = struct.unpack_from("<I", d, mft + 0x18)[0]
            tail = bytes(d[a + length: mft + used])
            d[a + length + grow: a + length + grow + len(tail)] = tail
            struct.pack_into("<I", d, a + 4, length + grow)
            struct.pack_into("<I", d, mft + 0x18, used + grow)
            d[pairs: pairs + len(runs)] = runs
            clusters = own + volume
            struct.pack_into("<Q", d, a + 0x18, clusters - 1)          # last VCN
            for field in (0x28, 0x30, 0x38):                           # allocated, data, initialized
                struct.pack_into("<Q", d, a + field, clusters * cluster)
            break
    fix(d, mft, record, bps)
    return d

for name, image in (("crafted-hang", hang()), ("crafted-collision", collision()), ("crafted-overclaim", overclaim()),
                    ("crafted-overlong", overlong())):
    with lzma.open(name + ".img.xz", "wb", preset=9) as out:
        out.write(image)
