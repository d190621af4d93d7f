// Quantum encoder for test fixtures: range coding with the decoder's models, and a hash-chain match finder.
#include "tests/kit/quantum_encoder.h"

#include <string.h>

#include <algorithm>

QuantumEncoder::QuantumEncoder(int window_bits) : window_bits_(window_bits) {
    Reset();
}

void QuantumEncoder::Reset() {
    QuantumModelInit(&selector_, 7);
    for (QuantumModel& literal : literal_)
        QuantumModelInit(&literal, 64);
    QuantumModelInit(&length_, QUANTUM_LENGTH_SLOTS);
    QuantumModelInit(&position3_, QuantumPositionSymbols3(window_bits_));
    QuantumModelInit(&position4_, QuantumPositionSymbols4(window_bits_));
    QuantumModelInit(&position_long_, QuantumPositionSymbolsLong(window_bits_));
}

uint32_t QuantumEncoder::MaxDistance(uint32_t length) const {
    const uint32_t window = 1u << window_bits_;
    if (length == 3)
        return std::min<uint32_t>(window, QUANTUM_POSITION_BASE[24]);
    if (length == 4)
        return std::min<uint32_t>(window, QUANTUM_POSITION_BASE[36]);
    return window;
}

uint32_t QuantumEncoder::SlotOf(const uint32_t* bases, uint32_t slots, uint32_t value) {
    uint32_t slot = 0;
    while (slot + 1 < slots && bases[slot + 1] <= value)
        ++slot;
    return slot;
}

void QuantumEncoder::EmitWithPending(uint32_t bit) {
    coder_bits_.push_back(uint8_t(bit));
    for (; pending_ > 0; --pending_)
        coder_bits_.push_back(uint8_t(bit ^ 1));
}

// The mirror of the decoder's symbol decoding: the same interval, the same renormalisation steps
// (each shift is one bit the decoder reads), the same model update.
void QuantumEncoder::EncodeSymbol(QuantumModel* model, uint32_t symbol) {
    const QuantumModelEntry* e = model->entries;
    uint32_t i = 0;
    while (e[i].symbol != symbol)
        ++i;
    const uint32_t range = high_ - low_ + 1;
    const uint32_t total = e[0].cumulative;
    const uint32_t old_low = low_;
    high_ = (old_low + (e[i].cumulative * range) / total - 1) & 0xFFFF;
    low_ = (old_low + (e[i + 1].cumulative * range) / total) & 0xFFFF;
    for (;;) {
        if (((low_ ^ high_) & 0x8000) == 0) {
            EmitWithPending(high_ >> 15);
        } else if ((low_ & 0x4000) && !(high_ & 0x4000)) {
            ++pending_;
            low_ &= 0x3FFF;
            high_ |= 0x4000;
        } else {
            break;
        }
        low_ = (low_ << 1) & 0xFFFF;
        high_ = ((high_ << 1) | 1) & 0xFFFF;
        ++shifts_;
    }
    QuantumModelUpdate(model, i);
}

void QuantumEncoder::PutRaw(uint32_t value, uint32_t bits) {
    if (bits > 0)
        raw_.push_back(RawGroup{16 + shifts_, value, bits});
}

bool QuantumEncoder::EncodeBlock(const std::vector<QuantumItem>& items, std::vector<uint8_t>* block) {
    block->clear();
    for (const QuantumItem& item : items) {
        if (item.length == 0)
            continue;
        if (item.length < 3 || item.length > 259 || item.distance == 0 || item.distance > MaxDistance(item.length))
            return false;
    }
    low_ = 0;
    high_ = 0xFFFF;
    pending_ = 0;
    shifts_ = 0;
    coder_bits_.clear();
    raw_.clear();
    for (const QuantumItem& item : items) {
        if (item.length == 0) {
            const uint32_t model = item.literal / 64;
            EncodeSymbol(&selector_, model);
            EncodeSymbol(&literal_[model], item.literal % 64);
            ++stats_.literals;
            continue;
        }
        QuantumModel* position_model;
        if (item.length == 3) {
            EncodeSymbol(&selector_, 4);
            position_model = &position3_;
            ++stats_.matches_by_length_kind[0];
        } else if (item.length == 4) {
            EncodeSymbol(&selector_, 5);
            position_model = &position4_;
            ++stats_.matches_by_length_kind[1];
        } else {
            EncodeSymbol(&selector_, 6);
            const uint32_t value = item.length - 5;
            const uint32_t slot = SlotOf(QUANTUM_LENGTH_BASE, QUANTUM_LENGTH_SLOTS, value);
            EncodeSymbol(&length_, slot);
            PutRaw(value - QUANTUM_LENGTH_BASE[slot], QUANTUM_LENGTH_EXTRA[slot]);
            position_model = &position_long_;
            ++stats_.matches_by_length_kind[2];
            ++stats_.length_slots[slot];
        }
        const uint32_t value = item.distance - 1;
        const uint32_t slot = SlotOf(QUANTUM_POSITION_BASE, position_model->symbols, value);
        EncodeSymbol(position_model, slot);
        PutRaw(value - QUANTUM_POSITION_BASE[slot], QUANTUM_POSITION_EXTRA[slot]);
        ++stats_.position_slots[slot];
    }
    // Flush: two more bits pin a value inside the final interval; zeros may follow.
    ++pending_;
    EmitWithPending((low_ & 0x4000) ? 1 : 0);
    const size_t coder_bits_read = 16 + shifts_;  // what the decoder takes into its code value
    if (coder_bits_.size() < coder_bits_read)
        coder_bits_.resize(coder_bits_read, 0);

    uint32_t byte = 0;
    uint32_t filled = 0;
    auto put_bit = [&](uint32_t bit) {
        byte = (byte << 1) | bit;
        if (++filled == 8) {
            block->push_back(uint8_t(byte));
            byte = 0;
            filled = 0;
        }
    };
    size_t next_coder_bit = 0;
    for (const RawGroup& group : raw_) {
        for (; next_coder_bit < group.coder_bits_before; ++next_coder_bit)
            put_bit(coder_bits_[next_coder_bit]);
        for (uint32_t b = group.bits; b-- > 0;)
            put_bit((group.value >> b) & 1);
    }
    for (; next_coder_bit < coder_bits_read; ++next_coder_bit)
        put_bit(coder_bits_[next_coder_bit]);
    while (filled != 0)
        put_bit(0);
    return true;
}

namespace {

// Hash chains over a window-sized ring of previous positions with the same 3-byte hash.
class MatchFinder {
public:
    MatchFinder(const uint8_t* data, size_t size, int window_bits, int max_chain)
        : data_(data),
          size_(size),
          window_(1u << window_bits),
          max_chain_(max_chain),
          head_(HASH_SIZE, -1),
          previous_(window_, -1),
          limits_(window_bits) {}

    void Insert(size_t pos) {
        if (pos + 3 > size_)
            return;
        const uint32_t h = Hash(pos);
        previous_[pos & (window_ - 1)] = head_[h];
        head_[h] = int64_t(pos);
    }

    // Best match at pos within [pos, end): longest, then nearest. Length 0 when none.
    QuantumItem Find(size_t pos, size_t end) {
        QuantumItem best{0, data_[pos], 0};
        const size_t limit = std::min<size_t>(259, end - pos);
        if (limit < 3)
            return best;
        int64_t candidate = head_[Hash(pos)];
        for (int chain = 0; candidate >= 0 && chain < max_chain_; ++chain) {
            const size_t distance = pos - size_t(candidate);
            if (distance > window_)
                break;
            size_t length = 0;
            const uint8_t* a = data_ + pos;
            const uint8_t* b = data_ + candidate;
            while (length < limit && a[length] == b[length])
                ++length;
            // Short matches have fewer position slots: a far one is not worth (or able) to code.
            if (length == 4 && distance > limits_.MaxDistance(4))
                length = 0;
            if (length == 3 && distance > limits_.MaxDistance(3))
                length = 0;
            if (length >= 3 && length > best.length) {
                best = QuantumMatch(uint32_t(length), uint32_t(distance));
                if (length == limit)
                    break;
            }
            const int64_t next = previous_[size_t(candidate) & (window_ - 1)];
            if (next >= candidate)
                break;  // the ring slot was reused by a newer position
            candidate = next;
        }
        return best;
    }

private:
    static constexpr uint32_t HASH_SIZE = 1u << 16;
    uint32_t Hash(size_t pos) const {
        const uint32_t v = uint32_t(data_[pos]) | uint32_t(data_[pos + 1]) << 8 | uint32_t(data_[pos + 2]) << 16;
        return (v * 2654435761u) >> 16;
    }

    const uint8_t* data_;
    size_t size_;
    uint32_t window_;
    int max_chain_;
    std::vector<int64_t> head_;
    std::vector<int64_t> previous_;
    QuantumEncoder limits_;
};

std::vector<QuantumItem> ParseRange(MatchFinder& finder, const uint8_t* data, size_t begin, size_t end) {
    std::vector<QuantumItem> items;
    size_t pos = begin;
    while (pos < end) {
        QuantumItem item = finder.Find(pos, end);
        const size_t step = item.length ? item.length : 1;
        if (!item.length)
            item = QuantumLiteral(data[pos]);
        for (size_t i = 0; i < step; ++i)
            finder.Insert(pos + i);
        items.push_back(item);
        pos += step;
    }
    return items;
}

}  // namespace

std::vector<QuantumItem> QuantumParse(const uint8_t* data, size_t begin, size_t end, int window_bits, int max_chain) {
    MatchFinder finder(data, end, window_bits, max_chain);
    const size_t window = size_t(1) << window_bits;
    for (size_t pos = begin > window ? begin - window : 0; pos < begin; ++pos)
        finder.Insert(pos);
    return ParseRange(finder, data, begin, end);
}

std::vector<QuantumBlock> QuantumEncodeFolder(const uint8_t* data,
                                              size_t size,
                                              int window_bits,
                                              uint32_t block_size,
                                              int max_chain) {
    std::vector<QuantumBlock> blocks;
    QuantumEncoder encoder(window_bits);
    MatchFinder finder(data, size, window_bits, max_chain);
    for (size_t begin = 0; begin < size; begin += block_size) {
        const size_t end = std::min(size, begin + block_size);
        QuantumBlock block;
        block.uncompressed_size = uint32_t(end - begin);
        encoder.EncodeBlock(ParseRange(finder, data, begin, end), &block.data);
        blocks.push_back(std::move(block));
    }
    return blocks;
}
