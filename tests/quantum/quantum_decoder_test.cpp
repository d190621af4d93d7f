// Tests of the Quantum decoder through its create, decompress, reset and destroy operations.
#include <gtest/gtest.h>

#include "cabinet/quantum.h"
#include "tests/kit/quantum_encoder.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

class QuantumDecoderTest : public testing::Test {
protected:
    void SetUp() override { g_platform.Reset(); }
    void TearDown() override {
        EXPECT_TRUE(g_platform.live.empty()) << g_platform.live.size() << " blocks still allocated";
        EXPECT_EQ(0, g_platform.bad_frees) << "frees of blocks not handed out";
        g_platform.Reset();
    }
};

TEST_F(QuantumDecoderTest, CreateChecksWindowBitsFirst) {
    static const struct {
        int bits;
        int status;
        const char* reason;
    } cases[] = {
        {9, QUANTUM_STATUS_BAD_WINDOW, "below 10"}, {10, QUANTUM_STATUS_OK, "smallest window"},
        {21, QUANTUM_STATUS_OK, "largest window"},  {22, QUANTUM_STATUS_BAD_WINDOW, "above 21"},
        {0, QUANTUM_STATUS_BAD_WINDOW, "zero"},     {-1, QUANTUM_STATUS_BAD_WINDOW, "negative"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumDecoder* decoder = nullptr;
        EXPECT_EQ(c.status, CreateTestDecoder(c.bits, false, &decoder));
        EXPECT_EQ(c.status == QUANTUM_STATUS_OK, decoder != nullptr);
        if (decoder) {
            EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(decoder));
        }
        // A bad window is refused before anything else, even a size query.
        uint32_t max_block = 0;
        uint32_t buffer_size = 0;
        EXPECT_EQ(c.status, QuantumCreate(&max_block, c.bits, TestAlloc, TestFree, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, &buffer_size, nullptr));
    }
}

TEST_F(QuantumDecoderTest, SizeQueryClampsTheMaximumAndAllocatesNothing) {
    static const struct {
        uint32_t max_in;
        uint32_t max_out;
        const char* reason;
    } cases[] = {
        {0, 32768, "0 means the largest block"},   {1, 1, "small maxima stay"},
        {32768, 32768, "the largest block stays"}, {32769, 32768, "above the largest block is clamped"},
        {0xFFFFFFFF, 32768, "huge is clamped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        uint32_t max_block = c.max_in;
        uint32_t buffer_size = 0;
        EXPECT_EQ(QUANTUM_STATUS_OK, QuantumCreate(&max_block, 16, TestAlloc, TestFree, nullptr, nullptr, nullptr,
                                                   nullptr, nullptr, &buffer_size, nullptr));
        EXPECT_EQ(c.max_out, max_block);
        EXPECT_EQ(c.max_out + 10240, buffer_size);
    }
    EXPECT_EQ(0, g_platform.allocations) << "a size query must not allocate";
}

TEST_F(QuantumDecoderTest, CreateFailsCleanlyWithoutMemory) {
    static const struct {
        int allow;  // successful allocations before refusals start
        bool with_file_callbacks;
        int status;
        const char* reason;
    } cases[] = {
        {0, true, QUANTUM_STATUS_NO_MEMORY, "no handle"},
        {1, false, QUANTUM_STATUS_NO_MEMORY, "no window and no work-file callbacks for pages"},
        {1, true, QUANTUM_STATUS_NO_MEMORY, "no window, then no page table"},
        {2, true, QUANTUM_STATUS_NO_MEMORY, "page table but no page buffer"},
        {4, true, QUANTUM_STATUS_NO_MEMORY, "two page buffers are too few"},
        {5, true, QUANTUM_STATUS_OK, "three page buffers suffice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        g_platform.allow_allocations = c.allow;
        g_platform.refuse_size = 1u << 16;  // the one-piece window is never had
        uint32_t max_block = 0;
        uint32_t buffer_size = 0;
        QuantumDecoder* decoder = reinterpret_cast<QuantumDecoder*>(&buffer_size);  // must be set to null
        const int status = c.with_file_callbacks
                               ? QuantumCreate(&max_block, 16, TestAlloc, TestFree, TestOpen, TestRead, TestWrite,
                                               TestClose, TestSeek, &buffer_size, &decoder)
                               : QuantumCreate(&max_block, 16, TestAlloc, TestFree, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, &buffer_size, &decoder);
        EXPECT_EQ(c.status, status);
        if (status == QUANTUM_STATUS_OK) {
            ASSERT_NE(nullptr, decoder);
            EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(decoder));
        } else {
            EXPECT_EQ(nullptr, decoder);
        }
        EXPECT_TRUE(g_platform.live.empty()) << g_platform.live.size() << " blocks left behind";
        EXPECT_EQ(g_platform.opens, g_platform.closes) << "work file left open";
    }
}

TEST_F(QuantumDecoderTest, OperationsCheckTheHandleAndParameters) {
    QuantumDecoder* decoder = nullptr;
    ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(12, false, &decoder));
    uint8_t out[16];
    const uint8_t in[4] = {0, 0, 0, 0};
    uint32_t too_big = QUANTUM_MAX_BLOCK + 1;
    EXPECT_EQ(QUANTUM_STATUS_BAD_PARAMETER, QuantumDecompress(decoder, in, 4, out, &too_big));
    EXPECT_EQ(QUANTUM_STATUS_BAD_PARAMETER, QuantumDecompress(decoder, in, 4, out, nullptr));
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumDecompress(nullptr, in, 4, out, &too_big));
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumReset(nullptr));
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumDestroy(nullptr));
    // A handle whose tag is gone (the test allocator zeroes what is freed; kept alive here).
    uint32_t dead[16] = {};
    QuantumDecoder* stale = reinterpret_cast<QuantumDecoder*>(dead);
    uint32_t size = 4;
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumDecompress(stale, in, 4, out, &size));
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumReset(stale));
    EXPECT_EQ(QUANTUM_STATUS_BAD_HANDLE, QuantumDestroy(stale));
    EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(decoder));
}

// One block of items against the bytes they mean.
TEST_F(QuantumDecoderTest, ItemsDecodeToTheirBytes) {
    auto literals = [](const char* text) {
        std::vector<QuantumItem> items;
        for (const char* p = text; *p; ++p)
            items.push_back(QuantumLiteral(uint8_t(*p)));
        return items;
    };
    auto with = [](std::vector<QuantumItem> items, std::initializer_list<QuantumItem> more) {
        items.insert(items.end(), more);
        return items;
    };
    std::vector<QuantumItem> all_bytes;
    for (int b = 0; b < 256; ++b)
        all_bytes.push_back(QuantumLiteral(uint8_t(b)));
    static const std::vector<uint8_t> none;
    const struct {
        int bits;
        std::vector<QuantumItem> items;
        const char* reason;
    } cases[] = {
        {16, all_bytes, "every byte value through all four literal models"},
        {16, with(literals("x"), {QuantumMatch(5, 1)}), "distance 1 repeats the previous byte"},
        {16, with(literals("abc"), {QuantumMatch(7, 3)}), "a match overlapping its output repeats the pattern"},
        {16, with(literals("abcd"), {QuantumMatch(3, 4), QuantumMatch(4, 4)}), "3- and 4-byte matches"},
        {16, with(literals("ab"), {QuantumMatch(259, 2)}), "length slot 26: 259 bytes"},
        {16, with(literals("ab"), {QuantumMatch(258, 1)}), "length slot 25 with all extra bits: 258"},
        {16, with(literals("ab"), {QuantumMatch(226, 1), QuantumMatch(227, 2)}), "length slots 24/25 boundary"},
        {16, with(literals("ab"), {QuantumMatch(5, 1), QuantumMatch(10, 2), QuantumMatch(11, 1), QuantumMatch(12, 2)}),
         "length slots 0, 5, 6 (first with an extra bit)"},
        {10, with(all_bytes, {QuantumMatch(3, 256), QuantumMatch(259, 259), QuantumMatch(200, 1024)}),
         "a distance equal to the 1 KiB window"},
        {10, {}, "an empty block"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<uint8_t> expected;
        ApplyItems(c.items, &expected);
        const std::vector<QuantumBlock> blocks = EncodeItemBlocks(c.bits, {c.items});
        ASSERT_EQ(1u, blocks.size()) << "the encoder refused an item";
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(c.bits, false, &decoder));
        std::vector<uint8_t> out;
        EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(decoder, blocks, &out));
        EXPECT_EQ(expected, out);
        QuantumDestroy(decoder);
    }
}

// Every position slot of every match kind that the window allows, over blocks carrying the models.
TEST_F(QuantumDecoderTest, EverySlotDecodesInEveryWindow) {
    static const int windows[] = {10, 11, 12, 13, 17, 18, 21};
    for (int bits : windows) {
        SCOPED_TRACE(testing::Message() << "window bits " << bits);
        const auto item_blocks = SlotSweepItems(bits, QUANTUM_MAX_BLOCK, uint32_t(bits));
        std::vector<uint8_t> expected;
        for (const auto& items : item_blocks)
            ApplyItems(items, &expected);
        const std::vector<QuantumBlock> blocks = EncodeItemBlocks(bits, item_blocks);
        ASSERT_EQ(item_blocks.size(), blocks.size());
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(bits, false, &decoder));
        std::vector<uint8_t> out;
        EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(decoder, blocks, &out));
        EXPECT_TRUE(expected == out) << "decoded " << out.size() << " bytes, expected " << expected.size();
        QuantumDestroy(decoder);
    }
}

TEST_F(QuantumDecoderTest, RequestedOutputSizeDecidesTheOutcome) {
    // "abc" then a 7-byte match: 10 bytes.
    const std::vector<QuantumItem> items = {QuantumLiteral('a'), QuantumLiteral('b'), QuantumLiteral('c'),
                                            QuantumMatch(7, 3)};
    std::vector<QuantumBlock> blocks = EncodeItemBlocks(16, {items});
    ASSERT_EQ(1u, blocks.size());
    static const struct {
        uint32_t output_size;
        int status;
        size_t bytes_checked;  // leading bytes that must match "abcabcabca"
        const char* reason;
    } cases[] = {
        {10, QUANTUM_STATUS_OK, 10, "exactly the block"},
        {3, QUANTUM_STATUS_OK, 3, "output ends before the match: the match is never decoded"},
        {9, QUANTUM_STATUS_DATA_ERROR, 3, "the match is longer than the remaining output"},
        {4, QUANTUM_STATUS_DATA_ERROR, 3, "one byte left for a 7-byte match"},
        {12, QUANTUM_STATUS_DATA_ERROR, 10, "more output than the block holds needs bits beyond its input"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(16, false, &decoder));
        uint8_t out[32] = {};
        uint32_t size = c.output_size;
        EXPECT_EQ(c.status,
                  QuantumDecompress(decoder, blocks[0].data.data(), uint32_t(blocks[0].data.size()), out, &size));
        EXPECT_EQ(c.output_size, size) << "the output size is handed back unchanged";
        EXPECT_EQ(0, memcmp(out, "abcabcabca", c.bytes_checked));
        QuantumDestroy(decoder);
    }
}

TEST_F(QuantumDecoderTest, BlockNeedingBitsBeyondItsInputFails) {
    const std::vector<uint8_t> data = MixedData(20000, 5, 4000);
    const std::vector<QuantumBlock> blocks = QuantumEncodeFolder(data.data(), data.size(), 14);
    ASSERT_EQ(1u, blocks.size());
    const size_t full = blocks[0].data.size();
    static const struct {
        size_t keep_less;  // bytes cut from the end
        int status;
        const char* reason;
    } cases[] = {
        {0, QUANTUM_STATUS_OK, "complete block"},
        {1, QUANTUM_STATUS_DATA_ERROR, "last byte missing: the last item needs its bits"},
        {full / 2, QUANTUM_STATUS_DATA_ERROR, "half the block"},
        {full - 1, QUANTUM_STATUS_DATA_ERROR, "one byte cannot even start the coder"},
        {full, QUANTUM_STATUS_DATA_ERROR, "no input at all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(14, false, &decoder));
        std::vector<uint8_t> out(data.size());
        uint32_t size = uint32_t(data.size());
        EXPECT_EQ(c.status,
                  QuantumDecompress(decoder, blocks[0].data.data(), uint32_t(full - c.keep_less), out.data(), &size));
        if (c.status == QUANTUM_STATUS_OK) {
            EXPECT_TRUE(out == data);
        }
        QuantumDestroy(decoder);
    }
}

TEST_F(QuantumDecoderTest, ResetStartsEachFolderAfresh) {
    const std::vector<uint8_t> first = MixedData(100000, 1, 30000);
    const std::vector<uint8_t> second = MixedData(70000, 2, 30000);
    const auto first_blocks = QuantumEncodeFolder(first.data(), first.size(), 15);
    const auto second_blocks = QuantumEncodeFolder(second.data(), second.size(), 15);
    static const struct {
        bool reset;
        bool second_decodes;
        const char* reason;
    } cases[] = {
        {true, true, "reset between folders: fresh models and position"},
        {false, false, "without reset the carried models misread the new folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(15, false, &decoder));
        std::vector<uint8_t> out;
        EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(decoder, first_blocks, &out));
        EXPECT_TRUE(out == first);
        if (c.reset) {
            EXPECT_EQ(QUANTUM_STATUS_OK, QuantumReset(decoder));
        }
        out.clear();
        const int status = DecodeBlocks(decoder, second_blocks, &out);
        EXPECT_EQ(c.second_decodes, status == QUANTUM_STATUS_OK && out == second) << "status " << status;
        QuantumDestroy(decoder);
    }
}

// The working state exists once: a second decoder takes it over. The first one's blocks then fail
// (never wrong bytes), nothing is freed twice or leaked, and a reset takes the state back.
TEST_F(QuantumDecoderTest, SecondDecoderTakesTheWorkingStateOver) {
    const std::vector<uint8_t> data = MixedData(70000, 3, 20000);
    const auto blocks = QuantumEncodeFolder(data.data(), data.size(), 16);
    ASSERT_EQ(3u, blocks.size());
    QuantumDecoder* first = nullptr;
    QuantumDecoder* second = nullptr;
    ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(16, false, &first));
    std::vector<uint8_t> out;
    ASSERT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(first, {blocks[0]}, &out));
    ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(16, false, &second));
    EXPECT_EQ(3u, g_platform.live.size()) << "two handles and one window: the first window was released";
    EXPECT_EQ(QUANTUM_STATUS_DATA_ERROR, DecodeBlocks(first, {blocks[1]}, &out)) << "the first lost its window";

    std::vector<uint8_t> by_second;
    EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(second, blocks, &by_second));
    EXPECT_TRUE(by_second == data);

    EXPECT_EQ(QUANTUM_STATUS_OK, QuantumReset(first)) << "a reset takes the state back";
    out.clear();
    EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(first, blocks, &out));
    EXPECT_TRUE(out == data);
    EXPECT_EQ(QUANTUM_STATUS_DATA_ERROR, DecodeBlocks(second, {blocks[0]}, &by_second));

    EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(second));
    out.clear();
    EXPECT_EQ(QUANTUM_STATUS_OK, QuantumReset(first));
    EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(first, blocks, &out)) << "destroying the other kept this window";
    EXPECT_TRUE(out == data);
    EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(first));
}

}  // namespace
