// Encoder fixtures wrapped in cabinets and checked with an independent extractor, proving that they
// are real Quantum data; the decoder must give back the same bytes from the same blocks.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include "cabinet/quantum.h"
#include "tests/kit/quantum_cab.h"
#include "tests/kit/quantum_encoder.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

QuantumCabFolder FolderOfItems(int bits, const std::vector<std::vector<QuantumItem>>& item_blocks) {
    QuantumCabFolder folder{bits, {}, EncodeItemBlocks(bits, item_blocks)};
    std::vector<uint8_t> bytes;
    for (const auto& items : item_blocks)
        ApplyItems(items, &bytes);
    folder.files.push_back({"sweep.bin", bytes});
    return folder;
}

QuantumCabFolder FolderOfFiles(int bits, std::vector<std::pair<std::string, std::vector<uint8_t>>> files) {
    QuantumCabFolder folder{bits, {}, {}};
    for (auto& file : files)
        folder.files.push_back({file.first, std::move(file.second)});
    return folder;
}

std::vector<uint8_t> Repeated(uint8_t byte, size_t size) {
    return std::vector<uint8_t>(size, byte);
}

std::vector<uint8_t> Text(size_t size) {
    static const char line[] = "Quantum fixtures: literals only, no repeats nearby? ";
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < size; ++i)
        bytes.push_back(uint8_t(line[(i * 7 + i / 53) % (sizeof(line) - 1)]));
    return bytes;
}

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 23);
    }
    return bytes;
}

class QuantumCabextractTest : public testing::Test {
protected:
    void SetUp() override {
        g_platform.Reset();
        dir_ = testing::TempDir() + "quantum_cab_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(0, system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str()));
    }
    void TearDown() override {
        EXPECT_TRUE(g_platform.live.empty());
        g_platform.Reset();
        system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string dir_;
};

TEST_F(QuantumCabextractTest, FixturesExtractToTheirBytes) {
    const struct {
        const char* name;
        std::vector<QuantumCabFolder> folders;
    } cases[] = {
        {"literals only, smallest window", {FolderOfFiles(10, {{"text.txt", Text(3000)}})}},
        {"incompressible bytes over several blocks", {FolderOfFiles(16, {{"noise.bin", Noise(100000, 1)}})}},
        {"one byte repeated: distance-1 matches of 259", {FolderOfFiles(12, {{"zeros.bin", Repeated(0, 200000)}})}},
        {"files across block boundaries, an empty file",
         {FolderOfFiles(
             17,
             {{"a.bin", MixedData(40000, 11, 1 << 17)}, {"empty.txt", {}}, {"b.bin", MixedData(70001, 12, 1 << 17)}})}},
        {"mixed data in the largest window", {FolderOfFiles(21, {{"big.bin", MixedData(2500000, 13, 1 << 21)}})}},
        {"three folders: two of one window, one of another",
         {FolderOfFiles(15, {{"one.bin", MixedData(50000, 14, 1 << 15)}}),
          FolderOfFiles(15, {{"two.bin", MixedData(60000, 15, 1 << 15)}}),
          FolderOfFiles(11, {{"three.bin", MixedData(30000, 16, 1 << 11)}})}},
        {"every slot, 1 KiB window", {FolderOfItems(10, SlotSweepItems(10, QUANTUM_MAX_BLOCK, 21))}},
        {"every slot, 8 KiB window", {FolderOfItems(13, SlotSweepItems(13, QUANTUM_MAX_BLOCK, 22))}},
        {"every slot, 128 KiB window", {FolderOfItems(17, SlotSweepItems(17, QUANTUM_MAX_BLOCK, 23))}},
        {"every slot, 2 MiB window", {FolderOfItems(21, SlotSweepItems(21, QUANTUM_MAX_BLOCK, 24))}},
    };
    int case_number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cab = dir_ + "/case" + std::to_string(++case_number) + ".cab";
        const std::string out = dir_ + "/out" + std::to_string(case_number);
        std::vector<QuantumCabFolder> folders = c.folders;
        for (QuantumCabFolder& folder : folders) {
            if (folder.blocks.empty()) {
                const std::vector<uint8_t> bytes = QuantumFolderBytes(folder);
                folder.blocks = QuantumEncodeFolder(bytes.data(), bytes.size(), folder.window_bits);
            }
        }
        ASSERT_TRUE(WriteWholeFile(cab, MakeQuantumCabinet(folders)));
        const std::string command = "cabextract -q -d '" + out + "' '" + cab + "' 2>&1";
        EXPECT_EQ(0, system(command.c_str())) << "cabextract refused " << cab;

        QuantumDecoder* decoder = nullptr;
        for (size_t f = 0; f < folders.size(); ++f) {
            const QuantumCabFolder& folder = folders[f];
            for (const QuantumCabFile& file : folder.files) {
                const std::vector<uint8_t> extracted = ReadWholeFile(out + "/" + file.name);
                EXPECT_TRUE(extracted == file.data)
                    << file.name << ": cabextract gave " << extracted.size() << " bytes, expected " << file.data.size();
            }
            // Our decoder, driven as the reader drives it: create once per window, reset per folder.
            if (f == 0 || folder.window_bits != folders[f - 1].window_bits) {
                if (decoder)
                    QuantumDestroy(decoder);
                ASSERT_EQ(QUANTUM_STATUS_OK, CreateTestDecoder(folder.window_bits, false, &decoder));
            } else {
                ASSERT_EQ(QUANTUM_STATUS_OK, QuantumReset(decoder));
            }
            std::vector<uint8_t> decoded;
            EXPECT_EQ(QUANTUM_STATUS_OK, DecodeBlocks(decoder, folder.blocks, &decoded));
            EXPECT_TRUE(decoded == QuantumFolderBytes(folder)) << "folder " << f << " decoded differently";
        }
        if (decoder)
            QuantumDestroy(decoder);
    }
}

// The fixtures must really exercise what they claim: every kind, length slot and position slot.
TEST_F(QuantumCabextractTest, SlotSweepCoversEverySlot) {
    static const int windows[] = {10, 13, 17, 21};
    for (int bits : windows) {
        SCOPED_TRACE(testing::Message() << "window bits " << bits);
        QuantumEncoder encoder(bits);
        std::vector<uint8_t> block;
        for (const auto& items : SlotSweepItems(bits, QUANTUM_MAX_BLOCK, 1))
            ASSERT_TRUE(encoder.EncodeBlock(items, &block));
        const QuantumEncoderStats& stats = encoder.stats();
        for (uint32_t slot = 0; slot < QUANTUM_LENGTH_SLOTS; ++slot)
            EXPECT_GT(stats.length_slots[slot], 0u) << "length slot " << slot;
        for (uint32_t slot = 0; slot < QuantumPositionSymbolsLong(bits); ++slot)
            EXPECT_GT(stats.position_slots[slot], 0u) << "position slot " << slot;
        EXPECT_GT(stats.matches_by_length_kind[0], 0u);
        EXPECT_GT(stats.matches_by_length_kind[1], 0u);
        EXPECT_GT(stats.literals, 0u);
    }
}

}  // namespace
