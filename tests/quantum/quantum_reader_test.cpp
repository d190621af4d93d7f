// Tests of Quantum folders extracted through the cabinet reader, in memory and paged windows.
#include <gtest/gtest.h>

#include <string>

#include "cabinet/cab_reader.h"
#include "tests/kit/quantum_cab.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

intptr_t WriteEveryFile(CabNotifyKind kind, CabNotification* record) {
    if (kind == CAB_NOTIFY_FILE)
        return NewOutputFile(record->name1);
    if (kind == CAB_NOTIFY_FILE_DONE)
        return TestClose(record->handle) == 0 ? 1 : 0;
    return 0;
}

class QuantumReaderTest : public testing::Test {
protected:
    void SetUp() override { g_platform.Reset(); }
    void TearDown() override {
        EXPECT_TRUE(g_platform.live.empty()) << g_platform.live.size() << " blocks still allocated";
        EXPECT_EQ(0, g_platform.bad_frees);
        EXPECT_EQ(g_platform.opens, g_platform.closes) << "a cabinet or work file left open";
        g_platform.Reset();
    }

    // Extracts the cabinet through a fresh reader; the error code, 0 when the extraction succeeded.
    int32_t Extract(const std::vector<uint8_t>& cabinet) {
        g_platform.inputs["dir/test.cab"] = cabinet;
        CabError error{};
        CabReader* reader =
            CabReaderCreate(TestAlloc, TestFree, TestOpen, TestRead, TestWrite, TestClose, TestSeek, &error);
        if (!reader)
            return error.code;
        const bool ok = CabReaderExtract(reader, "test.cab", "dir/", WriteEveryFile, nullptr, nullptr);
        CabReaderDestroy(reader);
        return ok ? 0 : error.code;
    }
};

std::vector<QuantumCabFolder> Folders(std::initializer_list<std::pair<int, size_t>> bits_and_sizes) {
    std::vector<QuantumCabFolder> folders;
    uint32_t seed = 1;
    for (const auto& f : bits_and_sizes) {
        QuantumCabFolder folder{f.first, {}, {}};
        const std::vector<uint8_t> data = MixedData(f.second, seed, 1u << f.first);
        const size_t half = data.size() / 3;
        folder.files.push_back({"f" + std::to_string(seed) + "a.bin", {data.begin(), data.begin() + half}});
        folder.files.push_back({"f" + std::to_string(seed) + "b.bin", {data.begin() + half, data.end()}});
        folders.push_back(std::move(folder));
        ++seed;
    }
    return folders;
}

TEST_F(QuantumReaderTest, QuantumFoldersExtract) {
    const struct {
        std::vector<QuantumCabFolder> folders;
        uint32_t refuse_window;  // window size whose one-piece allocation fails (paged), 0 for none
        int page_buffers;        // page buffers allowed, -1 for as many as pages
        const char* reason;
    } cases[] = {
        {Folders({{16, 200000}}), 0, -1, "one folder, memory window"},
        {Folders({{16, 200000}, {16, 150000}}), 0, -1, "two folders of one type: reset between them"},
        {Folders({{21, 300000}, {12, 50000}, {21, 80000}}), 0, -1, "types change: decoder destroyed and recreated"},
        {Folders({{16, 300000}}), 1u << 16, 3, "paged window with three buffers"},
        {Folders({{20, 400000}, {20, 300000}}), 1u << 20, 5, "paged window, reset between folders"},
        {Folders({{13, 100000}}), 1u << 13, -1, "paged window smaller than four pages"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        const std::vector<uint8_t> cabinet = MakeQuantumCabinet(c.folders);
        g_platform.refuse_size = c.refuse_window;
        g_platform.page_buffer_limit = c.page_buffers;
        EXPECT_EQ(0, Extract(cabinet));
        if (c.refuse_window != 0) {
            EXPECT_EQ('*', g_platform.open_name[0]) << "the work file was never asked for";
        }
        for (const QuantumCabFolder& folder : c.folders) {
            for (const QuantumCabFile& file : folder.files) {
                EXPECT_TRUE(g_platform.outputs[file.name] == file.data)
                    << file.name << ": got " << g_platform.outputs[file.name].size() << " bytes, expected "
                    << file.data.size();
            }
        }
    }
}

TEST_F(QuantumReaderTest, DecoderFailuresBecomeReaderErrors) {
    const std::vector<uint8_t> data = MixedData(80000, 7, 1 << 15);
    const std::vector<QuantumBlock> good = QuantumEncodeFolder(data.data(), data.size(), 15);
    std::vector<QuantumBlock> truncated = good;
    truncated[1].data.resize(truncated[1].data.size() / 2);
    std::vector<QuantumBlock> overlong = good;
    overlong.back().uncompressed_size += 2000;  // far more output than the last block codes
    const struct {
        int bits;
        std::vector<QuantumBlock> blocks;
        uint32_t refuse_window;
        bool refuse_work_file;
        int32_t code;
        const char* reason;
    } cases[] = {
        {15, good, 0, false, 0, "the intact folder"},
        {15, truncated, 0, false, CAB_ERR_DECODER, "a block cut short needs bits beyond its input"},
        {15, overlong, 0, false, CAB_ERR_DECODER, "a block asked for more bytes than it holds"},
        {22, good, 0, false, CAB_ERR_DECODER, "window bits 22 are refused by the decoder"},
        {9, good, 0, false, CAB_ERR_DECODER, "window bits 9 are refused by the decoder"},
        {15, good, 1u << 15, true, CAB_ERR_NO_MEMORY, "no window and the work file is refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        g_platform.Reset();
        QuantumCabFolder folder{c.bits, {{"data.bin", data}}, c.blocks};
        const std::vector<uint8_t> cabinet = MakeQuantumCabinet({folder});
        g_platform.refuse_size = c.refuse_window;
        g_platform.refuse_open = c.refuse_work_file;
        EXPECT_EQ(c.code, Extract(cabinet)) << "expected " << CabErrorName(c.code);
    }
}

}  // namespace
