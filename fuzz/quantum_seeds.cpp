// Writes Quantum cabinets made by the test kit's encoder into a folder, as seeds for the fuzzers.
//
// quantum_seeds FOLDER
// Window bits 10 to 21 (10, 12, 15 and 21 among them), literals and matches of every kind, folders
// of several blocks, and cabinets whose folders reset the decoder or change its window. The same
// run always writes the same files.
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/kit/quantum_cab.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

// A folder of `files` files over `size` bytes of the tests' mixed data (near and far repeats).
QuantumCabFolder MixedFolder(int window_bits, size_t size, size_t files, uint32_t block_size, uint32_t seed) {
    const std::vector<uint8_t> data = MixedData(size, seed, 1u << window_bits);
    QuantumCabFolder folder{window_bits, {}, {}, block_size};
    for (size_t i = 0; i < files; ++i) {
        const size_t begin = size * i / files;
        const size_t end = size * (i + 1) / files;
        folder.files.push_back({"f" + std::to_string(seed) + "-" + std::to_string(i) + ".bin",
                                {data.begin() + long(begin), data.begin() + long(end)}});
    }
    return folder;
}

// A folder whose items reach every position slot the window allows and every length slot.
QuantumCabFolder SlotSweepFolder(int window_bits, uint32_t block_size, uint32_t seed) {
    const std::vector<std::vector<QuantumItem>> items = SlotSweepItems(window_bits, block_size, seed);
    QuantumCabFolder folder{window_bits, {}, EncodeItemBlocks(window_bits, items), block_size};
    std::vector<uint8_t> bytes;
    for (const std::vector<QuantumItem>& block : items)
        ApplyItems(block, &bytes);
    folder.files.push_back({"sweep.bin", bytes});
    return folder;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* out = fopen(path.c_str(), "wb");
    return out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: quantum_seeds FOLDER\n");
        return 2;
    }
    mkdir(argv[1], 0755);
    // name, folders: kept small so that the fuzzers run many inputs a second.
    const struct {
        const char* name;
        std::vector<QuantumCabFolder> folders;
    } cabinets[] = {
        {"q10-blocks", {MixedFolder(10, 9000, 3, 2048, 1)}},   // many short blocks in a 1 KiB window
        {"q12-blocks", {MixedFolder(12, 20000, 2, 4096, 2)}},  // page-sized window
        {"q13-blocks", {MixedFolder(13, 24000, 2, 8192, 3)}},  // two pages, below the paged span
        {"q14-full", {MixedFolder(14, 40000, 3, 32768, 4)}},   // smallest window paged as it is
        {"q15-full", {MixedFolder(15, 70000, 4, 32768, 5)}},   // full blocks, window of one block
        {"q17-far", {MixedFolder(17, 100000, 2, 32768, 6)}},   // matches far back in many pages
        {"q21-far", {MixedFolder(21, 110000, 3, 32768, 7)}},   // the largest window
        {"q12-sweep", {SlotSweepFolder(12, 32768, 8)}},        // every slot of a 4 KiB window
        {"q15-sweep", {SlotSweepFolder(15, 16384, 9)}},        // every slot of a 32 KiB window
        {"q-reset", {MixedFolder(12, 6000, 2, 4096, 10), MixedFolder(12, 6000, 1, 4096, 11)}},  // same type
        {"q-change",
         {MixedFolder(16, 9000, 1, 4096, 12), MixedFolder(10, 5000, 2, 1024, 13),
          MixedFolder(16, 9000, 1, 32768, 14)}},  // each folder replaces the decoder
    };
    for (const auto& cabinet : cabinets) {
        const std::string path = std::string(argv[1]) + "/" + cabinet.name + ".cab";
        if (!Write(path, MakeQuantumCabinet(cabinet.folders))) {
            fprintf(stderr, "quantum_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
