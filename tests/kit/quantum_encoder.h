// Quantum encoder for test fixtures: the mirror of the decoder's models and arithmetic coder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "cabinet/quantum.h"

// One coded item: a literal (length 0) or a match of `length` bytes copied from `distance` back.
struct QuantumItem {
    uint32_t length;
    uint8_t literal;
    uint32_t distance;
};

inline QuantumItem QuantumLiteral(uint8_t byte) {
    return QuantumItem{0, byte, 0};
}

inline QuantumItem QuantumMatch(uint32_t length, uint32_t distance) {
    return QuantumItem{length, 0, distance};
}

// Counts of what the encoder has written since it was made, for checking fixture coverage.
struct QuantumEncoderStats {
    uint32_t literals = 0;
    uint32_t matches_by_length_kind[3] = {0, 0, 0};  // lengths 3, 4, and 5 to 259
    uint32_t position_slots[QUANTUM_POSITION_SLOTS] = {};
    uint32_t length_slots[QUANTUM_LENGTH_SLOTS] = {};
};

// Encodes blocks of one folder; the models carry from block to block until Reset, as in the decoder.
class QuantumEncoder {
public:
    explicit QuantumEncoder(int window_bits);

    // Starts a new folder: fresh models.
    void Reset();

    // Codes the items as one block. Returns false (and leaves `block` empty) when an item cannot be
    // expressed: a match length outside 3 to 259, a 3-byte match beyond 4096, a 4-byte match beyond
    // 262144, or a distance of 0 or beyond the window.
    bool EncodeBlock(const std::vector<QuantumItem>& items, std::vector<uint8_t>* block);

    int window_bits() const { return window_bits_; }
    const QuantumEncoderStats& stats() const { return stats_; }

    // Largest distance an item of `length` may have in this window.
    uint32_t MaxDistance(uint32_t length) const;

private:
    void EncodeSymbol(QuantumModel* model, uint32_t symbol);
    void EmitWithPending(uint32_t bit);
    void PutRaw(uint32_t value, uint32_t bits);
    static uint32_t SlotOf(const uint32_t* bases, uint32_t slots, uint32_t value);

    int window_bits_;
    QuantumModel selector_;
    QuantumModel literal_[4];
    QuantumModel length_;
    QuantumModel position3_;
    QuantumModel position4_;
    QuantumModel position_long_;

    // Per block: coder registers, the coder's bits and the raw bit groups to interleave with them.
    struct RawGroup {
        size_t coder_bits_before;  // how many coder bits the decoder has read when it reads this group
        uint32_t value;
        uint32_t bits;
    };
    uint32_t low_ = 0;
    uint32_t high_ = 0;
    uint32_t pending_ = 0;
    size_t shifts_ = 0;
    std::vector<uint8_t> coder_bits_;
    std::vector<RawGroup> raw_;
    QuantumEncoderStats stats_;
};

// Finds literals and matches for data[begin, end), with data[0, begin) as history, honouring the
// window and the per-length distance limits. `max_chain` bounds the match search per position.
std::vector<QuantumItem> QuantumParse(const uint8_t* data, size_t begin, size_t end, int window_bits, int max_chain);

// A folder's blocks as a cabinet stores them.
struct QuantumBlock {
    std::vector<uint8_t> data;
    uint32_t uncompressed_size;
};

// Encodes a folder: blocks of `block_size` bytes (the last one shorter), models carried across them.
std::vector<QuantumBlock> QuantumEncodeFolder(const uint8_t* data,
                                              size_t size,
                                              int window_bits,
                                              uint32_t block_size = QUANTUM_MAX_BLOCK,
                                              int max_chain = 16);
