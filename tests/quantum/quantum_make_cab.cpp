// Writes a Quantum cabinet made by the test encoder, for the benchmark and for trying tools by hand.
//
// quantum_make_cab OUT.cab BYTES WINDOW_BITS [FILES] [SEED] [KIND]
// The folder's data is split into FILES files (default 4) named part0.bin, part1.bin, ...; KIND
// "text" (default) is prose-like words of a skewed vocabulary with some binary runs, compressing
// about as ordinary files do; "mixed" is the tests' data with long near and far repeats. The same
// arguments always give the same cabinet.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>

#include "tests/kit/quantum_cab.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

std::vector<uint8_t> TextLike(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string word;
        const int length = 2 + int(random() % 9);
        for (int k = 0; k < length; ++k)
            word += char('a' + random() % 26);
        words.push_back(word);
    }
    static const char* const separators[] = {" ", " ", " ", " ", ", ", ". ", ".\r\n", "\t", "; "};
    std::vector<uint8_t> data;
    data.reserve(size + 64);
    while (data.size() < size) {
        if (random() % 400 == 0) {  // a short binary run, as in mixed files
            for (int k = 0, n = 64 + int(random() % 512); k < n; ++k)
                data.push_back(uint8_t(random()));
            continue;
        }
        // Skewed choice: small indices are far more frequent.
        const double u = double(random()) / double(random.max());
        const std::string& word = words[size_t(u * u * u * double(words.size() - 1))];
        data.insert(data.end(), word.begin(), word.end());
        const char* separator = separators[random() % (sizeof(separators) / sizeof(separators[0]))];
        data.insert(data.end(), separator, separator + strlen(separator));
    }
    data.resize(size);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: quantum_make_cab OUT.cab BYTES WINDOW_BITS [FILES] [SEED]\n");
        return 2;
    }
    const size_t size = strtoull(argv[2], nullptr, 10);
    const int bits = atoi(argv[3]);
    const size_t files = argc > 4 ? strtoull(argv[4], nullptr, 10) : 4;
    const uint32_t seed = argc > 5 ? uint32_t(strtoul(argv[5], nullptr, 10)) : 1;
    const std::string kind = argc > 6 ? argv[6] : "text";
    if (bits < QUANTUM_MIN_WINDOW_BITS || bits > QUANTUM_MAX_WINDOW_BITS || files == 0 ||
        (kind != "text" && kind != "mixed")) {
        fprintf(stderr, "window bits must be 10 to 21, files at least 1, kind text or mixed\n");
        return 2;
    }
    const std::vector<uint8_t> data = kind == "text" ? TextLike(size, seed) : MixedData(size, seed, 1u << bits);
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
