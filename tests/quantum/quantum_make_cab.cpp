// Writes a Quantum cabinet made by the test encoder, for the benchmark and for trying tools by hand.
//
// quantum_make_cab OUT.cab BYTES WINDOW_BITS [FILES] [SEED]
// The folder's data is pseudo-random text-like bytes with near and far repeats, split into FILES
// files (default 4) named part0.bin, part1.bin, ...; the same arguments always give the same cabinet.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/kit/quantum_cab.h"
#include "tests/quantum/quantum_test_platform.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: quantum_make_cab OUT.cab BYTES WINDOW_BITS [FILES] [SEED]\n");
        return 2;
    }
    const size_t size = strtoull(argv[2], nullptr, 10);
    const int bits = atoi(argv[3]);
    const size_t files = argc > 4 ? strtoull(argv[4], nullptr, 10) : 4;
    const uint32_t seed = argc > 5 ? uint32_t(strtoul(argv[5], nullptr, 10)) : 1;
    if (bits < QUANTUM_MIN_WINDOW_BITS || bits > QUANTUM_MAX_WINDOW_BITS || files == 0) {
        fprintf(stderr, "window bits must be 10 to 21 and files at least 1\n");
        return 2;
    }
    const std::vector<uint8_t> data = MixedData(size, seed, 1u << bits);
    QuantumCabFolder folder{bits, {}, {}};
    for (size_t i = 0; i < files; ++i) {
        const size_t begin = size * i / files;
        const size_t end = size * (i + 1) / files;
        folder.files.push_back({"part" + std::to_string(i) + ".bin", {data.begin() + begin, data.begin() + end}});
    }
    const std::vector<uint8_t> cabinet = MakeQuantumCabinet({folder});
    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(cabinet.data(), 1, cabinet.size(), out) != cabinet.size() || fclose(out) != 0) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    printf("%s: %zu bytes in %zu files, cabinet of %zu bytes\n", argv[1], size, files, cabinet.size());
    return 0;
}
