// Tests of the data-block checksum against the test kit's separate implementation.
#include <gtest/gtest.h>

#include <string>

#include "cab_reader.h"
#include "tests/kit/cab_writer.h"

TEST(CabChecksum, MatchesKnownValuesAndTheKitImplementation) {
    // bytes, seed, expected (0 when only compared with the kit's implementation), reason
    static const struct {
        const char* bytes;
        uint32_t seed;
        uint32_t expected;
        const char* why;
    } cases[] = {
        {"abc", 0, 0x00616263, "three bytes left: first most significant"},
        {"", 0x1234, 0x1234, "nothing to add: the seed"},
        {"ab", 0, 0x00006162, "two bytes left"},
        {"a", 0, 0x00000061, "one byte left"},
        {"abcd", 0, 0x64636261, "one little-endian group"},
        {"abcdefgh", 0, 0x64636261 ^ 0x68676665, "two groups"},
        {"abcdefghijk", 7, 0, "groups, then three left, with a seed"},
        {"0123456789abcdefghijklmnopqrstu", 0xDEADBEEF, 0, "the wide loop and a tail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string bytes = c.bytes;
        uint32_t got = CabBlockChecksum(reinterpret_cast<const uint8_t*>(bytes.data()),
                                        static_cast<uint32_t>(bytes.size()), c.seed);
        uint32_t kit = KitChecksum(bytes.data(), bytes.size(), c.seed);
        EXPECT_EQ(kit, got) << "kit says 0x" << std::hex << kit << ", reader says 0x" << got;
        if (c.expected) {
            EXPECT_EQ(c.expected, got) << std::hex << "expected 0x" << c.expected << ", got 0x" << got;
        }
    }
}

TEST(CabChecksum, EveryLengthAgreesWithTheKit) {
    std::string bytes = KitContent(300, 11);
    for (uint32_t n = 0; n <= bytes.size(); ++n) {
        uint32_t got = CabBlockChecksum(reinterpret_cast<const uint8_t*>(bytes.data()), n, n * 31);
        ASSERT_EQ(KitChecksum(bytes.data(), n, n * 31), got) << "length " << n;
    }
}
