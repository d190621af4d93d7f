// Packs files into one cabinet with the test kit's writer: chained MSZIP as cabinet makers write it, or stored.
//
// cabkit_pack [-s] CAB FILE...   (names are stored without their folders)
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/kit/cab_writer.h"

namespace {

bool ReadWhole(const char* path, std::string* out) {
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        out->append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int at = 1;
    uint16_t type = 1;
    if (at < argc && strcmp(argv[at], "-s") == 0) {
        type = 0;
        ++at;
    }
    if (argc - at < 2) {
        fprintf(stderr, "usage: cabkit_pack [-s] CAB FILE...\n");
        return 2;
    }
    const char* cabinet = argv[at++];
    std::vector<std::pair<std::string, std::string>> files;
    size_t total = 0;
    for (; at < argc; ++at) {
        std::string data;
        if (!ReadWhole(argv[at], &data)) {
            fprintf(stderr, "cabkit_pack: cannot read %s\n", argv[at]);
            return 1;
        }
        const char* slash = strrchr(argv[at], '/');
        total += data.size();
        files.emplace_back(slash ? slash + 1 : argv[at], std::move(data));
    }
    // One folder holds at most 65535 blocks of 32 KiB.
    if (total > 65535ull * 32768) {
        fprintf(stderr, "cabkit_pack: too much data for one folder\n");
        return 1;
    }
    std::string bytes = BuildCabinet(SimpleCabinet(files, type, true));
    FILE* out = fopen(cabinet, "wb");
    if (!out || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || fclose(out) != 0) {
        fprintf(stderr, "cabkit_pack: cannot write %s\n", cabinet);
        return 1;
    }
    return 0;
}
