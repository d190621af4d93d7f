// libFuzzer target for the Quantum decoder alone: hostile blocks into the memory and paged windows.
//
// Input: byte 0 picks the window bits (10 to 21) and whether the window is paged (with 3 to 6 page
// buffers); then blocks, each a 2-byte output size (clamped to 32768) and a 2-byte input size
// followed by that many bytes. A paged input is decoded again with a buffer for every page and with
// the memory window, and the outputs must agree. Built by fuzz/CMakeLists.txt:
//   clang++ -fsanitize=fuzzer,address,undefined
//   -I<repo> tests/quantum/quantum_decoder_fuzz.cpp tests/quantum/quantum_test_platform.cpp
//   tests/kit/quantum_encoder.cpp cabinet/quantum.cpp
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

#include "cabinet/quantum.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

struct FuzzBlock {
    uint32_t out_size;
    std::vector<uint8_t> bytes;  // a copy of exactly the block, so that reading past it is caught
};

std::vector<FuzzBlock> ParseBlocks(const uint8_t* data, size_t size) {
    std::vector<FuzzBlock> blocks;
    size_t pos = 1;
    while (pos + 4 <= size) {
        uint32_t out_size = uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8;
        if (out_size > QUANTUM_MAX_BLOCK)
            out_size = QUANTUM_MAX_BLOCK;
        size_t in_size = size_t(data[pos + 2]) | size_t(data[pos + 3]) << 8;
        pos += 4;
        if (in_size > size - pos)
            in_size = size - pos;
        blocks.push_back(FuzzBlock{out_size, std::vector<uint8_t>(data + pos, data + pos + in_size)});
        pos += in_size;
    }
    return blocks;
}

// What decoding the blocks of an input gave.
struct FuzzRun {
    std::vector<int> statuses;   // per block
    std::vector<uint8_t> bytes;  // of the blocks that succeeded
    size_t first_failure = 0;    // bytes before the first failed block
};

// Decodes the blocks one after another, resetting after a failed one.
FuzzRun DecodeAll(QuantumDecoder* decoder, const std::vector<FuzzBlock>& blocks) {
    static std::vector<uint8_t> out(QUANTUM_MAX_BLOCK);
    FuzzRun run;
    bool failed = false;
    for (const FuzzBlock& block : blocks) {
        uint32_t out_size = block.out_size;
        const int status =
            QuantumDecompress(decoder, block.bytes.data(), uint32_t(block.bytes.size()), out.data(), &out_size);
        if (out_size != block.out_size || (status != QUANTUM_STATUS_OK && status != QUANTUM_STATUS_DATA_ERROR))
            __builtin_trap();
        run.statuses.push_back(status);
        if (status != QUANTUM_STATUS_OK) {
            failed = true;
            if (QuantumReset(decoder) != QUANTUM_STATUS_OK)
                __builtin_trap();
            continue;
        }
        run.bytes.insert(run.bytes.end(), out.begin(), out.begin() + out_size);
        if (!failed)
            run.first_failure = run.bytes.size();
    }
    return run;
}

// Creates a decoder (paged with at most `page_buffers` buffers when that is not negative), decodes
// the blocks and destroys it. False when the decoder cannot be made.
bool Decode(int bits, bool paged, int page_buffers, const std::vector<FuzzBlock>& blocks, FuzzRun* run) {
    g_platform.page_buffer_limit = page_buffers;
    QuantumDecoder* decoder = nullptr;
    const int status = CreateTestDecoder(bits, paged, &decoder);
    g_platform.page_buffer_limit = -1;
    if (status != QUANTUM_STATUS_OK)
        return false;
    *run = DecodeAll(decoder, blocks);
    QuantumDestroy(decoder);
    return true;
}

bool IsPrefix(const std::vector<uint8_t>& bytes, size_t size, const std::vector<uint8_t>& of) {
    return size <= of.size() && std::equal(bytes.begin(), bytes.begin() + long(size), of.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    g_platform.Reset();
    const int bits = 10 + data[0] % 12;
    const bool paged = (data[0] / 12) % 2 == 1;
    const std::vector<FuzzBlock> blocks = ParseBlocks(data, size);
    FuzzRun run;
    if (!paged) {
        Decode(bits, false, -1, blocks, &run);
    } else if (Decode(bits, true, 3 + (data[0] / 24) % 4, blocks, &run)) {
        // With a buffer for every page nothing is ever evicted, so fewer buffers must change nothing:
        // the same statuses and the same bytes.
        FuzzRun all_buffers;
        if (Decode(bits, true, -1, blocks, &all_buffers) &&
            (all_buffers.statuses != run.statuses || all_buffers.bytes != run.bytes))
            __builtin_trap();
        // From a fresh window the memory window gives the same bytes. The paged window may fail
        // earlier (a match reaching before the first byte finds a page never written, where the
        // memory window has zeros), never later; after a failure their histories differ.
        FuzzRun memory;
        if (Decode(bits, false, -1, blocks, &memory) &&
            (run.first_failure > memory.first_failure || !IsPrefix(run.bytes, run.first_failure, memory.bytes)))
            __builtin_trap();
    }
    if (!g_platform.live.empty() || g_platform.bad_frees != 0)
        __builtin_trap();
    return 0;
}
