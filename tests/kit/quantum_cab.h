// Cabinet fixtures of Quantum folders: wraps the test encoder's blocks into a single cabinet file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tests/kit/quantum_encoder.h"

struct QuantumCabFile {
    std::string name;
    std::vector<uint8_t> data;
};

// A Quantum folder holding `files` one after another. When `blocks` is empty the folder's data is
// encoded with the test encoder; otherwise those blocks are stored as they are (they must decode to
// the files' bytes).
struct QuantumCabFolder {
    int window_bits;
    std::vector<QuantumCabFile> files;
    std::vector<QuantumBlock> blocks;
    uint32_t block_size = QUANTUM_MAX_BLOCK;
};

// The cabinet's per-block checksum over `size` bytes, starting from `seed`.
uint32_t QuantumCabChecksum(const uint8_t* bytes, size_t size, uint32_t seed);

// Builds a version 1.3 cabinet of the folders, with checksummed data blocks.
std::vector<uint8_t> MakeQuantumCabinet(std::vector<QuantumCabFolder> folders);

// Concatenated bytes of a folder's files.
std::vector<uint8_t> QuantumFolderBytes(const QuantumCabFolder& folder);
