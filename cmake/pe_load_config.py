#!/usr/bin/env python3
"""Points a PE image's load configuration directory at the record that
app/load_config.cpp puts right after its 16-byte marker.

The GNU linker of this toolchain leaves that directory empty whatever the
objects define, and the loader finds the record only through it. The marker
is found in the file (it survives stripping), its file offset turned into a
relative address through the section table, and data directory 10 set to
that address and the record's own Size field. Run after every link.
"""
import struct
import sys

MARKER = b"NorvaleLoadCfg\x00\x01"
LOAD_CONFIG = 10


def main(path):
    data = bytearray(open(path, "rb").read())
    at = data.find(MARKER)
    if at < 0 or data.find(MARKER, at + 1) >= 0:
        sys.exit(f"{path}: the load configuration marker is missing or not unique")
    record = at + len(MARKER)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        sys.exit(f"{path}: not a 64-bit image")
    directories = optional + 112
    table = optional + optional_size
    rva = None
    for i in range(sections):
        entry = table + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        if raw_offset <= record < raw_offset + raw_size:
            rva = virtual_address + record - raw_offset
    if rva is None:
        sys.exit(f"{path}: the record lies in no section")
    size = struct.unpack_from("<I", data, record)[0]
    struct.pack_into("<II", data, directories + 8 * LOAD_CONFIG, rva, size)
    open(path, "wb").write(bytes(data))


if __name__ == "__main__":
    main(sys.argv[1])
