#!/usr/bin/env python3
"""Builds the fuzzers' seed corpora.

usage: make_corpus.py FIXTURES QUANTUM_CABINETS CAB_SEEDS QUANTUM_SEEDS

For the cabinet fuzzer (CAB_SEEDS), from the test kit's fixture cabinets: each cabinet alone, the
sets joined with the split mark, and the data blocks of MSZIP folders as raw decoder input; from the
encoder-made Quantum cabinets: each with the memory window and with the paged window (several page
buffer counts, a failing work file), most with their block checksums cleared so that changed bytes
reach the decoder. For the Quantum decoder fuzzer (QUANTUM_SEEDS): the blocks of every Quantum folder
with the memory window and with the paged window."""
import os
import struct
import sys

SPLIT_MARK = b"\n--cab--\n"


def folder_blocks(cab):
    """For every folder of a cabinet without reserves, (compression type, [(block header offset,
    compressed bytes, uncompressed size)]); [] for any other cabinet."""
    if len(cab) < 36 or cab[:4] != b"MSCF":
        return []
    folders, files, flags = struct.unpack_from("<HHH", cab, 26)
    if flags & 4:
        return []
    pos = 36
    for _ in range(((flags & 1) + ((flags >> 1) & 1)) * 2):
        pos = cab.index(b"\0", pos) + 1
    result = []
    for i in range(folders):
        offset, count, kind = struct.unpack_from("<IHH", cab, pos + 8 * i)
        blocks = []
        at = offset
        for _ in range(count):
            if at + 8 > len(cab):
                break
            csize, usize = struct.unpack_from("<HH", cab, at + 4)
            blocks.append((at, cab[at + 8:at + 8 + csize], usize))
            at += 8 + csize
        result.append((kind, blocks))
    return result


def mszip_blocks(cab):
    """The compressed blocks of every MSZIP folder of a cabinet without reserves, or []."""
    return [block for kind, blocks in folder_blocks(cab) if kind & 15 == 1 for _, block, _ in blocks]


def without_checksums(cab):
    """The cabinet with every block checksum 0 (not checked)."""
    out = bytearray(cab)
    for _, blocks in folder_blocks(cab):
        for at, _, _ in blocks:
            out[at:at + 4] = b"\0\0\0\0"
    return bytes(out)


# Mode bytes of the cabinet fuzzer: 0x10 pages the Quantum window, bits 5 and 6 pick the page
# buffers (all, 3, 4, 6), 0x80 makes one work-file call fail.
QUANTUM_CAB_MODES = [
    ("q-mem-", 0x00, False),
    ("q-mem-nosum-", 0x00, True),
    ("q-paged-", 0x10, True),
    ("q-paged3-", 0x30, True),
    ("q-paged6-", 0x70, True),
    ("q-fault-", 0xB0, True),
]

# First byte of the Quantum decoder fuzzer: window bits - 10, plus 12 for the paged window, plus 24
# times (page buffers - 3).
QUANTUM_DECODER_MODES = [("mem-", 0), ("paged3-", 12), ("paged6-", 12 + 24 * 3)]


def quantum_decoder_seeds(cab):
    """Per Quantum folder: (window bits, its blocks in the decoder fuzzer's block format)."""
    seeds = []
    for kind, blocks in folder_blocks(cab):
        if kind & 15 != 2 or not blocks:
            continue
        data = b"".join(struct.pack("<HH", usize, len(block)) + block for _, block, usize in blocks)
        seeds.append(((kind >> 8) & 0x1F, data))
    return seeds


def read_cabinets(folder):
    cabs = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".cab"):
            with open(os.path.join(folder, name), "rb") as f:
                cabs[name] = f.read()
    return cabs


def main():
    fixtures, quantum, corpus, quantum_corpus = sys.argv[1:5]
    os.makedirs(corpus, exist_ok=True)
    os.makedirs(quantum_corpus, exist_ok=True)
    cabs = read_cabinets(fixtures)
    quantum_cabs = read_cabinets(quantum)

    def put(name, data, folder=corpus):
        with open(os.path.join(folder, name), "wb") as f:
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
    for name, data in quantum_cabs.items():
        for prefix, mode, clear in QUANTUM_CAB_MODES:
            put(prefix + name, bytes([mode]) + (without_checksums(data) if clear else data))
        for index, (bits, blocks) in enumerate(quantum_decoder_seeds(data)):
            if not 10 <= bits <= 21:
                continue
            for prefix, mode in QUANTUM_DECODER_MODES:
                put("%s%s-%d" % (prefix, name, index), bytes([bits - 10 + mode]) + blocks, quantum_corpus)


if __name__ == "__main__":
    main()
