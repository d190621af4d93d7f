// Tests of cabtool on Quantum cabinets: the memory window, and the paged window with its work file.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/kit/quantum_cab.h"
#include "tests/quantum/quantum_test_platform.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(QuantumCabtool, ExtractsQuantumFolders) {
    const std::string dir = testing::TempDir() + "quantum_cabtool";
    ASSERT_EQ(0, system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()));
    const std::vector<uint8_t> first = MixedData(900000, 31, 1 << 20);
    const std::vector<uint8_t> second = MixedData(300000, 32, 1 << 20);
    std::vector<QuantumCabFolder> folders = {{20, {{"one.bin", first}}, {}}, {20, {{"two.bin", second}}, {}}};
    {
        const std::vector<uint8_t> cabinet = MakeQuantumCabinet(folders);
        std::ofstream out(dir + "/q.cab", std::ios::binary);
        out.write(reinterpret_cast<const char*>(cabinet.data()), std::streamsize(cabinet.size()));
    }
    static const struct {
        const char* environment;
        const char* reason;
    } cases[] = {
        {"", "memory window"},
        {"CABTOOL_ALLOC_LIMIT=250000 ", "paged window: 1 MiB window in about 40 page buffers, work file in TMPDIR"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string out = dir + "/out" + std::to_string(++n);
        const std::string command = std::string("TMPDIR='") + dir + "' " + c.environment + "'" + CABTOOL_PATH +
                                    "' extract '" + dir + "/q.cab' '" + out + "' >/dev/null";
        EXPECT_EQ(0, system(command.c_str())) << command;
        EXPECT_TRUE(ReadBytes(out + "/one.bin") == first) << "one.bin differs";
        EXPECT_TRUE(ReadBytes(out + "/two.bin") == second) << "two.bin differs";
    }
    system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
