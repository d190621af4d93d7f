// libFuzzer target for the Quantum decoder alone: hostile blocks into the memory and paged windows.
//
// Input: byte 0 picks the window bits (10 to 21) and whether the window is paged (with 3 to 6 page
// buffers); then blocks, each a 2-byte output size (clamped to 32768) and a 2-byte input size
// followed by that many bytes. Build: clang++ -fsanitize=fuzzer,address,undefined -I<repo>
//   tests/quantum/quantum_decoder_fuzz.cpp tests/quantum/quantum_test_platform.cpp
//   tests/kit/quantum_encoder.cpp cabinet/quantum.cpp -lgtest
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "cabinet/quantum.h"
#include "tests/quantum/quantum_test_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    g_platform.Reset();
    const int bits = 10 + data[0] % 12;
    const bool paged = (data[0] / 12) % 2 == 1;
    if (paged)
        g_platform.page_buffer_limit = 3 + (data[0] / 24) % 4;
    QuantumDecoder* decoder = nullptr;
    if (CreateTestDecoder(bits, paged, &decoder) != QUANTUM_STATUS_OK)
        return 0;
    static std::vector<uint8_t> out(QUANTUM_MAX_BLOCK);
    size_t pos = 1;
    while (pos + 4 <= size) {
        uint32_t out_size = uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8;
        if (out_size > QUANTUM_MAX_BLOCK)
            out_size = QUANTUM_MAX_BLOCK;
        size_t in_size = size_t(data[pos + 2]) | size_t(data[pos + 3]) << 8;
        pos += 4;
        if (in_size > size - pos)
            in_size = size - pos;
        // A copy of exactly the block, so that reading past it is caught.
        std::vector<uint8_t> block(data + pos, data + pos + in_size);
        const uint32_t asked = out_size;
        const int status = QuantumDecompress(decoder, block.data(), uint32_t(block.size()), out.data(), &out_size);
        if (out_size != asked || (status != QUANTUM_STATUS_OK && status != QUANTUM_STATUS_DATA_ERROR))
            __builtin_trap();
        if (status != QUANTUM_STATUS_OK && QuantumReset(decoder) != QUANTUM_STATUS_OK)
            __builtin_trap();
        pos += in_size;
    }
    QuantumDestroy(decoder);
    if (!g_platform.live.empty() || g_platform.bad_frees != 0)
        __builtin_trap();
    return 0;
}
