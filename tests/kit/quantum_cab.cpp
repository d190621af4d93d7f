// Cabinet fixtures of Quantum folders: header, folder and file tables, then each folder's data blocks.
#include "tests/kit/quantum_cab.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

uint32_t QuantumCabChecksum(const uint8_t* bytes, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4)
        sum ^= uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 | uint32_t(bytes[i + 2]) << 16 |
               uint32_t(bytes[i + 3]) << 24;
    uint32_t rest = 0;
    for (; i < size; ++i)
        rest = (rest << 8) | bytes[i];
    return sum ^ rest;
}

std::vector<uint8_t> QuantumFolderBytes(const QuantumCabFolder& folder) {
    std::vector<uint8_t> bytes;
    for (const QuantumCabFile& file : folder.files)
        bytes.insert(bytes.end(), file.data.begin(), file.data.end());
    return bytes;
}

std::vector<uint8_t> MakeQuantumCabinet(std::vector<QuantumCabFolder> folders) {
    size_t file_count = 0;
    for (QuantumCabFolder& folder : folders) {
        file_count += folder.files.size();
        if (folder.blocks.empty()) {
            const std::vector<uint8_t> bytes = QuantumFolderBytes(folder);
            folder.blocks = QuantumEncodeFolder(bytes.data(), bytes.size(), folder.window_bits, folder.block_size);
        }
    }
    std::vector<uint8_t> cab;
    Put32(cab, 0x4643534D);  // "MSCF"
    Put32(cab, 0);
    Put32(cab, 0);  // total size, set below
    Put32(cab, 0);
    Put32(cab, 0);  // first file entry, set below
    Put32(cab, 0);
    Put16(cab, 0x0103);
    Put16(cab, uint32_t(folders.size()));
    Put16(cab, uint32_t(file_count));
    Put16(cab, 0);       // flags
    Put16(cab, 0x1234);  // set identifier
    Put16(cab, 0);       // index in set

    std::vector<size_t> folder_entries;
    for (const QuantumCabFolder& folder : folders) {
        folder_entries.push_back(cab.size());
        Put32(cab, 0);  // first data block, set below
        Put16(cab, uint32_t(folder.blocks.size()));
        Put16(cab, 2u | uint32_t(folder.window_bits) << 8);
    }
    Set32(cab, 16, uint32_t(cab.size()));
    for (size_t f = 0; f < folders.size(); ++f) {
        uint32_t offset = 0;
        for (const QuantumCabFile& file : folders[f].files) {
            Put32(cab, uint32_t(file.data.size()));
            Put32(cab, offset);
            Put16(cab, uint32_t(f));
            Put16(cab, 0x5A21);  // 2025-01-01
            Put16(cab, 0x6000);  // 12:00:00
            Put16(cab, 0x20);    // archive
            cab.insert(cab.end(), file.name.begin(), file.name.end());
            cab.push_back(0);
            offset += uint32_t(file.data.size());
        }
    }
    for (size_t f = 0; f < folders.size(); ++f) {
        Set32(cab, folder_entries[f], uint32_t(cab.size()));
        for (const QuantumBlock& block : folders[f].blocks) {
            uint8_t sizes[4] = {uint8_t(block.data.size()), uint8_t(block.data.size() >> 8),
                                uint8_t(block.uncompressed_size), uint8_t(block.uncompressed_size >> 8)};
            const uint32_t sum =
                QuantumCabChecksum(sizes, 4, QuantumCabChecksum(block.data.data(), block.data.size(), 0));
            Put32(cab, sum);
            cab.insert(cab.end(), sizes, sizes + 4);
            cab.insert(cab.end(), block.data.begin(), block.data.end());
        }
    }
    Set32(cab, 8, uint32_t(cab.size()));
    return cab;
}
