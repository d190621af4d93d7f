// Test doubles for the Quantum decoder's callbacks, and fixture helpers shared by the Quantum tests.
#include "tests/quantum/quantum_test_platform.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>

QuantumTestPlatform g_platform;

void QuantumTestPlatform::Reset() {
    for (auto& block : live)
        free(block.first);
    *this = QuantumTestPlatform{};
}

void* TestAlloc(uint32_t size) {
    QuantumTestPlatform& p = g_platform;
    if (size == p.refuse_size || (p.allow_allocations >= 0 && p.allocations >= p.allow_allocations))
        return nullptr;
    if (size > QUANTUM_PAGE_SIZE && size <= QUANTUM_PAGE_SIZE + 64 && p.page_buffer_limit >= 0 &&
        p.page_buffers++ >= p.page_buffer_limit)
        return nullptr;
    ++p.allocations;
    void* block = malloc(size ? size : 1);
    memset(block, 0xA5, size);  // contents are not promised to be zero
    p.live[block] = size;
    return block;
}

void TestFree(void* block) {
    auto it = g_platform.live.find(block);
    if (it == g_platform.live.end()) {
        ++g_platform.bad_frees;
        return;
    }
    // Poison before release so that a freed decoder handle is not mistaken for a live one.
    memset(block, 0, it->second);
    g_platform.live.erase(it);
    free(block);
}

intptr_t TestOpen(const char* name, int flags, int mode) {
    QuantumTestPlatform& p = g_platform;
    ++p.opens;
    p.open_name.assign(name, name[0] == '*' ? QUANTUM_WORK_FILE_NAME_SIZE : strlen(name));
    p.open_flags = flags;
    p.open_mode = mode;
    if (p.refuse_open && name[0] == '*')
        return -1;
    const intptr_t handle = 100 + p.opens;
    if (name[0] != '*') {
        auto input = p.inputs.find(name);
        if (input == p.inputs.end())
            return -1;
        p.files[handle] = input->second;
        p.file_positions[handle] = 0;
        return handle;
    }
    uint32_t size = 0;
    if (name[0] == '*')
        size = uint32_t(uint8_t(name[2])) | uint32_t(uint8_t(name[3])) << 8 | uint32_t(uint8_t(name[4])) << 16 |
               uint32_t(uint8_t(name[5])) << 24;
    p.files[handle].assign(size, 0xEE);
    p.file_positions[handle] = 0;
    return handle;
}

int32_t TestRead(intptr_t handle, void* buffer, uint32_t count) {
    QuantumTestPlatform& p = g_platform;
    const int call = p.reads++;
    auto it = p.files.find(handle);
    if (it == p.files.end())
        return -1;
    uint32_t& pos = p.file_positions[handle];
    uint32_t n = pos < it->second.size() ? std::min<uint32_t>(count, uint32_t(it->second.size()) - pos) : 0;
    if (call == p.fail_read_at && n > 0)
        --n;
    memcpy(buffer, it->second.data() + pos, n);
    pos += n;
    return int32_t(n);
}

int32_t TestWrite(intptr_t handle, const void* buffer, uint32_t count) {
    QuantumTestPlatform& p = g_platform;
    const int call = p.writes++;
    auto it = p.files.find(handle);
    if (it == p.files.end())
        return -1;
    uint32_t& pos = p.file_positions[handle];
    const uint32_t n = call == p.fail_write_at && count > 0 ? count - 1 : count;
    ++p.writes_at[pos];
    if (it->second.size() < pos + n)
        it->second.resize(pos + n);
    memcpy(it->second.data() + pos, buffer, n);
    pos += n;
    return int32_t(n);
}

intptr_t NewOutputFile(const std::string& name) {
    QuantumTestPlatform& p = g_platform;
    const intptr_t handle = 100000 + intptr_t(p.output_names.size());
    p.files[handle].clear();
    p.file_positions[handle] = 0;
    p.output_names[handle] = name;
    return handle;
}

int TestClose(intptr_t handle) {
    QuantumTestPlatform& p = g_platform;
    auto output = p.output_names.find(handle);
    if (output != p.output_names.end()) {
        p.outputs[output->second] = p.files[handle];
        p.output_names.erase(output);
    } else {
        ++p.closes;
    }
    return p.files.erase(handle) ? 0 : -1;
}

int32_t TestSeek(intptr_t handle, int32_t offset, int origin) {
    QuantumTestPlatform& p = g_platform;
    const int call = p.seeks++;
    if (!p.files.count(handle))
        return -1;
    uint32_t& pos = p.file_positions[handle];
    pos = origin == 0 ? uint32_t(offset) : pos + uint32_t(offset);
    return call == p.fail_seek_at ? int32_t(pos) + 1 : int32_t(pos);
}

int CreateTestDecoder(int window_bits, bool paged, QuantumDecoder** decoder) {
    if (paged)
        g_platform.refuse_size = 1u << window_bits;
    uint32_t max_block = 0;
    uint32_t buffer_size = 0;
    const int status = QuantumCreate(&max_block, window_bits, TestAlloc, TestFree, TestOpen, TestRead, TestWrite,
                                     TestClose, TestSeek, &buffer_size, decoder);
    g_platform.refuse_size = 0;
    return status;
}

int DecodeBlocks(QuantumDecoder* decoder, const std::vector<QuantumBlock>& blocks, std::vector<uint8_t>* out) {
    for (const QuantumBlock& block : blocks) {
        std::vector<uint8_t> buffer(QUANTUM_MAX_BLOCK);
        uint32_t size = block.uncompressed_size;
        const int status =
            QuantumDecompress(decoder, block.data.data(), uint32_t(block.data.size()), buffer.data(), &size);
        if (status != QUANTUM_STATUS_OK)
            return status;
        out->insert(out->end(), buffer.begin(), buffer.begin() + size);
    }
    return QUANTUM_STATUS_OK;
}

void ApplyItems(const std::vector<QuantumItem>& items, std::vector<uint8_t>* history) {
    for (const QuantumItem& item : items) {
        if (item.length == 0) {
            history->push_back(item.literal);
            continue;
        }
        for (uint32_t i = 0; i < item.length; ++i)
            history->push_back(item.distance <= history->size() ? (*history)[history->size() - item.distance] : 0);
    }
}

std::vector<QuantumBlock> EncodeItemBlocks(int window_bits, const std::vector<std::vector<QuantumItem>>& blocks) {
    QuantumEncoder encoder(window_bits);
    std::vector<QuantumBlock> out;
    for (const std::vector<QuantumItem>& items : blocks) {
        QuantumBlock block;
        std::vector<uint8_t> bytes;
        ApplyItems(items, &bytes);
        block.uncompressed_size = uint32_t(bytes.size());
        if (!encoder.EncodeBlock(items, &block.data))
            return {};
        out.push_back(std::move(block));
    }
    return out;
}

std::vector<uint8_t> MixedData(size_t size, uint32_t seed, uint32_t max_distance) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    data.reserve(size);
    static const char words[] = "the quick brown fox jumps over a lazy dog 0123456789 ";
    while (data.size() < size) {
        const uint32_t kind = random() % 8;
        if (kind < 2 || data.size() < 16) {
            data.push_back(uint8_t(random()));
        } else if (kind < 5) {
            data.push_back(uint8_t(words[random() % (sizeof(words) - 1)]));
        } else {
            const uint32_t reach = uint32_t(std::min<size_t>(data.size(), max_distance));
            const uint32_t distance = 1 + random() % (kind == 7 ? reach : std::min<uint32_t>(reach, 64));
            const uint32_t length = 3 + random() % (kind == 6 ? 300 : 12);
            for (uint32_t i = 0; i < length && data.size() < size; ++i)
                data.push_back(data[data.size() - distance]);
        }
    }
    return data;
}

std::vector<std::vector<QuantumItem>> SlotSweepItems(int window_bits, uint32_t block_size, uint32_t seed) {
    std::mt19937 random(seed);
    const uint32_t window = 1u << window_bits;
    QuantumEncoder limits(window_bits);
    // The wanted matches: every length kind over each of its slots, at the slot's both ends and a
    // random inside, and every length slot.
    std::vector<QuantumItem> wanted;
    const uint32_t lengths[] = {3, 4, 5};
    for (uint32_t length : lengths) {
        for (uint32_t slot = 0; slot < QUANTUM_POSITION_SLOTS; ++slot) {
            const uint32_t first = QUANTUM_POSITION_BASE[slot] + 1;
            const uint32_t last = first + (1u << QUANTUM_POSITION_EXTRA[slot]) - 1;
            if (last > limits.MaxDistance(length))
                break;
            wanted.push_back(QuantumMatch(length, first));
            wanted.push_back(QuantumMatch(length, last));
            wanted.push_back(QuantumMatch(length, first + random() % (last - first + 1)));
        }
    }
    for (uint32_t slot = 0; slot < QUANTUM_LENGTH_SLOTS; ++slot) {
        const uint32_t first = QUANTUM_LENGTH_BASE[slot] + 5;
        const uint32_t last = first + (1u << QUANTUM_LENGTH_EXTRA[slot]) - 1;
        wanted.push_back(QuantumMatch(first, 1 + random() % 1000));
        wanted.push_back(QuantumMatch(last, 1 + random() % window));
    }
    std::shuffle(wanted.begin(), wanted.end(), random);

    std::vector<std::vector<QuantumItem>> blocks(1);
    uint32_t in_block = 0;
    uint64_t produced = 0;
    auto add = [&](const QuantumItem& item) {
        const uint32_t size = item.length ? item.length : 1;
        if (in_block + size > block_size) {
            while (in_block < block_size) {  // fill the block to its full size with literals
                blocks.back().push_back(QuantumLiteral(uint8_t(random())));
                ++in_block;
                ++produced;
            }
            blocks.emplace_back();
            in_block = 0;
        }
        blocks.back().push_back(item);
        in_block += size;
        produced += size;
    };
    // History: random literals, then long matches to grow it quickly to the window size.
    for (int i = 0; i < 2000; ++i)
        add(QuantumLiteral(uint8_t(random())));
    while (produced < window)
        add(QuantumMatch(259, 1 + random() % uint32_t(produced)));
    for (const QuantumItem& item : wanted) {
        add(item);
        add(QuantumLiteral(uint8_t(random())));
    }
    return blocks;
}
