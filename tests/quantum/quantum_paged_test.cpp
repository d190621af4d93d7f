// Tests of the Quantum decoder's paged window: pages spilled to a work file, equal to the memory window.
#include <gtest/gtest.h>

#include <string.h>

#include "cabinet/quantum.h"
#include "tests/kit/quantum_encoder.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

class QuantumPagedTest : public testing::Test {
protected:
    void SetUp() override { g_platform.Reset(); }
    void TearDown() override {
        EXPECT_TRUE(g_platform.live.empty()) << g_platform.live.size() << " blocks still allocated";
        EXPECT_EQ(0, g_platform.bad_frees);
        EXPECT_EQ(g_platform.opens, g_platform.closes) << "work file left open";
        g_platform.Reset();
    }
};

// Decodes `blocks` with the memory window and with a paged one of at most `buffers` page buffers.
struct PagedRun {
    int memory_status = -1;
    int paged_status = -1;
    std::vector<uint8_t> memory;
    std::vector<uint8_t> paged;
};

PagedRun DecodeBothWays(int bits, const std::vector<QuantumBlock>& blocks, int buffers) {
    PagedRun run;
    QuantumDecoder* decoder = nullptr;
    run.memory_status = CreateTestDecoder(bits, false, &decoder);
    if (run.memory_status == QUANTUM_STATUS_OK) {
        run.memory_status = DecodeBlocks(decoder, blocks, &run.memory);
        QuantumDestroy(decoder);
    }
    if (buffers > 0)
        g_platform.allow_allocations = g_platform.allocations + 2 + buffers;  // handle, page table, buffers
    run.paged_status = CreateTestDecoder(bits, true, &decoder);
    g_platform.allow_allocations = -1;
    if (run.paged_status == QUANTUM_STATUS_OK) {
        run.paged_status = DecodeBlocks(decoder, blocks, &run.paged);
        QuantumDestroy(decoder);
    }
    return run;
}

TEST_F(QuantumPagedTest, PagedWindowEqualsMemoryWindow) {
    static const struct {
        int bits;
        size_t size;
        uint32_t max_distance;  // reach of the repeats in the data
        int buffers;            // page buffers allowed, 0 for as many as pages
        const char* reason;
    } cases[] = {
        {16, 400000, 65536, 3, "16 pages through 3 buffers, output much larger than the buffers"},
        {16, 400000, 65536, 0, "a buffer for every page"},
        {15, 300000, 32768, 5, "window of 8 pages, 5 buffers"},
        {14, 200000, 16384, 3, "four pages: the smallest window where pages cover it exactly"},
        {21, 600000, 2097152, 4, "largest window, few buffers"},
        {13, 150000, 8192, 3, "two-page window on a three-page cycle"},
        {12, 150000, 4096, 3, "one-page window"},
        {10, 100000, 1024, 3, "window smaller than a page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        const std::vector<uint8_t> data = MixedData(c.size, uint32_t(c.bits), c.max_distance);
        const auto blocks = QuantumEncodeFolder(data.data(), data.size(), c.bits);
        const PagedRun run = DecodeBothWays(c.bits, blocks, c.buffers);
        EXPECT_EQ(QUANTUM_STATUS_OK, run.memory_status);
        EXPECT_EQ(QUANTUM_STATUS_OK, run.paged_status);
        EXPECT_TRUE(run.memory == data) << "memory window decoded " << run.memory.size() << " bytes";
        EXPECT_TRUE(run.paged == run.memory) << "paged window decoded " << run.paged.size() << " bytes";
        // Fewer buffers than pages: output larger than the buffers forces pages out and back in.
        const uint32_t pages = std::max(3u, (1u << c.bits) / QUANTUM_PAGE_SIZE);
        if (c.buffers > 0 && uint32_t(c.buffers) < pages) {
            EXPECT_GT(g_platform.writes, 0) << "pages must have gone to the work file";
            EXPECT_GT(g_platform.reads, 0) << "later matches must have read pages back";
        }
    }
}

// With three buffers, a match whose source crosses into a second page leaves the write page least
// recently used; once that page is full it must give way to the next one rather than fail the block.
TEST_F(QuantumPagedTest, FullWritePageMakesRoomWithThreeBuffers) {
    static const struct {
        uint32_t before;    // literals first: the write cursor ends this far into the window
        uint32_t length;    // then one match of this length,
        uint32_t distance;  // this far back,
        uint32_t after;     // then this many literals
        const char* reason;
    } cases[] = {
        {5 * 4096 - 100, 200, 3 * 4096 - 50, 10, "source page ends 50 bytes in, the write page 50 later"},
        {5 * 4096 - 300, 100, 3 * 4096 - 250, 400, "match crosses a source page, literals then fill the page"},
        {6 * 4096 - 4, 259, 4 * 4096 - 2, 5000, "longest match, the write page full after 4 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        uint32_t seed = 7;
        std::vector<QuantumItem> items;
        for (uint32_t i = 0; i < c.before; ++i)
            items.push_back(QuantumLiteral(uint8_t((seed = seed * 1103515245 + 12345) >> 16)));
        items.push_back(QuantumMatch(c.length, c.distance));
        for (uint32_t i = 0; i < c.after; ++i)
            items.push_back(QuantumLiteral(uint8_t(i)));
        const auto blocks = EncodeItemBlocks(15, {items});
        ASSERT_EQ(1u, blocks.size());
        std::vector<uint8_t> expected;
        ApplyItems(items, &expected);
        const PagedRun run = DecodeBothWays(15, blocks, 3);
        EXPECT_EQ(QUANTUM_STATUS_OK, run.memory_status);
        EXPECT_EQ(QUANTUM_STATUS_OK, run.paged_status) << "expected the paged window to decode the block";
        EXPECT_TRUE(run.memory == expected) << "memory window decoded " << run.memory.size() << " bytes";
        EXPECT_TRUE(run.paged == expected)
            << "paged window decoded " << run.paged.size() << " of " << expected.size() << " bytes";
    }
}

TEST_F(QuantumPagedTest, WorkFileIsRequestedWithItsSixByteName) {
    static const struct {
        int bits;
        uint32_t file_size;
        const char* reason;
    } cases[] = {
        {16, 65536, "the window size"},
        {21, 2097152, "largest window"},
        {14, 16384, "four pages"},
        {12, 12288, "small windows cycle over three pages, so the file holds three"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(c.bits, true, &decoder));
        const std::string expected = {'*',
                                      '\0',
                                      char(c.file_size & 0xFF),
                                      char((c.file_size >> 8) & 0xFF),
                                      char((c.file_size >> 16) & 0xFF),
                                      char(c.file_size >> 24)};
        EXPECT_EQ(expected, g_platform.open_name);
        EXPECT_EQ(0x8102, g_platform.open_flags);
        EXPECT_EQ(0x0180, g_platform.open_mode);
        EXPECT_EQ(1, g_platform.opens);
        EXPECT_EQ(QUANTUM_STATUS_OK, QuantumDestroy(decoder));
        EXPECT_EQ(1, g_platform.closes) << "destroy closes the work file";
    }
}

// Pages read back for matches and not changed are not written again: every page offset of a window
// that the output never wraps is written once.
TEST_F(QuantumPagedTest, OnlyDirtyPagesAreWrittenBack) {
    const std::vector<uint8_t> data = MixedData(1500000, 9, 1 << 21);
    const auto blocks = QuantumEncodeFolder(data.data(), data.size(), 21);
    const PagedRun run = DecodeBothWays(21, blocks, 3);
    ASSERT_EQ(QUANTUM_STATUS_OK, run.paged_status);
    EXPECT_TRUE(run.paged == data);
    EXPECT_GT(g_platform.reads, 100) << "the data reaches far back, so pages are read back often";
    int most = 0;
    for (const auto& offset : g_platform.writes_at)
        most = std::max(most, offset.second);
    EXPECT_EQ(1, most) << "a clean page was written back again";
    // Every page is written when first evicted; up to three may still sit in buffers at the end.
    const size_t pages = (data.size() + QUANTUM_PAGE_SIZE - 1) / QUANTUM_PAGE_SIZE;
    EXPECT_GE(g_platform.writes_at.size(), pages - 3);
    EXPECT_LE(g_platform.writes_at.size(), pages);
}

TEST_F(QuantumPagedTest, WorkFileFailuresFailTheBlockUntilReset) {
    const std::vector<uint8_t> data = MixedData(200000, 4, 65536);
    const auto blocks = QuantumEncodeFolder(data.data(), data.size(), 16);
    static const struct {
        int seek_at, write_at, read_at;  // which call fails (-1: none)
        const char* reason;
    } cases[] = {
        {0, -1, -1, "the first write-back seek lands elsewhere"},
        {-1, 0, -1, "the first write-back is short"},
        {-1, 2, -1, "a later write-back is short"},
        {-1, -1, 0, "the first read-back is short"},
        {-1, -1, 5, "a later read-back is short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        g_platform.allow_allocations = 2 + 3;
        QuantumDecoder* decoder = nullptr;
        ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(16, true, &decoder));
        g_platform.allow_allocations = -1;
        g_platform.fail_seek_at = c.seek_at;
        g_platform.fail_write_at = c.write_at;
        g_platform.fail_read_at = c.read_at;
        std::vector<uint8_t> out;
        size_t failed_block = blocks.size();
        for (size_t i = 0; i < blocks.size(); ++i) {
            const int status = DecodeBlocks(decoder, {blocks[i]}, &out);
            if (status != QUANTUM_STATUS_OK) {
                EXPECT_EQ(QUANTUM_STATUS_DATA_ERROR, status);
                failed_block = i;
                break;
            }
        }
        ASSERT_LT(failed_block, blocks.size()) << "the failure was not reported";
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << "blocks before the failure are right";
        if (failed_block + 1 < blocks.size()) {
            EXPECT_EQ(QUANTUM_STATUS_DATA_ERROR, DecodeBlocks(decoder, {blocks[failed_block + 1]}, &out))
                << "the paging error stays until reset";
        }
        g_platform.fail_seek_at = g_platform.fail_write_at = g_platform.fail_read_at = -1;
        EXPECT_EQ(QUANTUM_STATUS_OK, QuantumReset(decoder));
        out.clear();
        EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(decoder, blocks, &out)) << "a new folder decodes after reset";
        EXPECT_TRUE(out == data);
        QuantumDestroy(decoder);
    }
}

TEST_F(QuantumPagedTest, RefusedWorkFileFailsCreation) {
    g_platform.refuse_open = true;
    QuantumDecoder* decoder = nullptr;
    EXPECT_EQ(QUANTUM_STATUS_NO_MEMORY, CreateTestDecoder(16, true, &decoder));
    EXPECT_EQ(nullptr, decoder);
    EXPECT_EQ(1, g_platform.opens);
    g_platform.closes = g_platform.opens;  // nothing was opened, so nothing is to be closed
}

// A match reaching before the folder's first byte: the memory window gives zeros, the paged window
// refuses to read a page it never wrote. Neither invents other bytes.
TEST_F(QuantumPagedTest, MatchBeforeTheFirstByte) {
    const std::vector<QuantumItem> items = {QuantumLiteral('q'), QuantumMatch(10, 60000)};
    const auto blocks = EncodeItemBlocks(16, {items});
    ASSERT_EQ(1u, blocks.size());
    const PagedRun run = DecodeBothWays(16, blocks, 0);
    EXPECT_EQ(QUANTUM_STATUS_OK, run.memory_status);
    EXPECT_EQ(std::vector<uint8_t>({'q', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), run.memory);
    EXPECT_EQ(QUANTUM_STATUS_DATA_ERROR, run.paged_status) << "a page never written cannot be read";
}

}  // namespace
