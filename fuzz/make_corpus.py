#!/usr/bin/env python3
"""Builds the fuzzer's seed corpus from the test kit's fixture cabinets: each cabinet alone, the
sets joined with the split mark, and the data blocks of MSZIP folders as raw decoder input."""
import os
import struct
import sys

SPLIT_MARK = b"\n--cab--\n"


def mszip_blocks(cab):
    """The compressed blocks of every MSZIP folder of a cabinet without reserves, or []."""
    if len(cab) < 36 or cab[:4] != b"MSCF":
        return []
    folders, files, flags = struct.unpack_from("<HHH", cab, 26)
    if flags & 4:
        return []
    pos = 36
    for _ in range(((flags & 1) + ((flags >> 1) & 1)) * 2):
        pos = cab.index(b"\0", pos) + 1
    blocks = []
    for i in range(folders):
        offset, count, kind = struct.unpack_from("<IHH", cab, pos + 8 * i)
        if kind & 15 != 1:
            continue
        at = offset
        for _ in range(count):
            if at + 8 > len(cab):
                break
            size = struct.unpack_from("<H", cab, at + 4)[0]
            blocks.append(cab[at + 8:at + 8 + size])
            at += 8 + size
    return blocks


def main():
    fixtures, corpus = sys.argv[1], sys.argv[2]
    os.makedirs(corpus, exist_ok=True)
    cabs = {}
    for name in sorted(os.listdir(fixtures)):
        if name.endswith(".cab"):
            with open(os.path.join(fixtures, name), "rb") as f:
                cabs[name] = f.read()

    def put(name, data):
        with open(os.path.join(corpus, name), "wb") as f:
            f.write(data)

    for name, data in cabs.items():
        put("single-" + name, b"\x00" + data)
        put("decrypt-" + name, b"\x0c" + data)
        blocks = mszip_blocks(data)
        if blocks:
            put("mszip-" + name, b"\x02" + b"".join(struct.pack("<H", len(b)) + b for b in blocks))
    for name in cabs:
        if name.endswith("1.cab"):
            stem = name[:-5]
            parts = [cabs.get("%s%d.cab" % (stem, i)) for i in (1, 2, 3)]
            if all(parts):
                put("set-" + stem, b"\x01" + SPLIT_MARK.join(parts))
                put("set-skip-" + stem, b"\x05" + SPLIT_MARK.join(parts))


if __name__ == "__main__":
    main()
