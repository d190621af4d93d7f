// Tests of the cabinet reader across a set of three cabinets: continued, skipped and split data, next-cabinet requests.
#include <gtest/gtest.h>

#include <string>

#include "cab_reader.h"
#include "tests/kit/fixtures.h"
#include "tests/kit/mem_cab.h"

namespace {

std::string Order(const KitResult& r) {
    std::string text;
    for (const std::string& name : r.order)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

}  // namespace

TEST(CabSpanning, FollowsTheSetAsTheAnswersDirect) {
    KitSet set = KitSpanningSet("set");
    // files skipped, cabinet extracted, files finished in order, reason
    static const struct {
        const char* skip;
        const char* first;
        const char* order;
        const char* why;
    } cases[] = {
        {"", "set1.cab", "A.txt X.bin Y.bin C.dat D.dat", "all continued entries of later cabinets follow"},
        {"X.bin", "set1.cab", "A.txt Y.bin C.dat D.dat", "a skipped continuing file's entry is passed over"},
        {"A.txt", "set1.cab", "X.bin Y.bin C.dat D.dat", "a skipped file of the first cabinet only"},
        {"", "set2.cab", "", "the second cabinet alone: all its files are continued"},
        {"", "set3.cab", "E.txt", "the third cabinet: its own folder only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + ": " + c.why);
        KitPolicy policy;
        if (*c.skip)
            policy.skip.insert(c.skip);
        MemReset();
        KitResult r = KitExtract(set.cabinets, c.first, policy);
        EXPECT_TRUE(r.ok) << KitDescribe(r);
        EXPECT_EQ(c.order, Order(r));
        for (const auto& f : r.files) {
            EXPECT_TRUE(f.second == set.contents[f.first]) << f.first << " differs";
        }
        EXPECT_EQ(0, r.leaked_blocks);
        EXPECT_EQ(0, r.open_handles);
    }
}

TEST(CabSpanning, NextCabinetRequestsCarryTheSetAndIndex) {
    KitSet set = KitSpanningSet("set");
    MemReset();
    KitResult r = KitExtract(set.cabinets, "set1.cab");
    ASSERT_TRUE(r.ok) << KitDescribe(r);
    std::vector<KitEvent> requests;
    for (const KitEvent& e : r.events) {
        if (e.kind == CAB_NOTIFY_NEXT_CABINET)
            requests.push_back(e);
    }
    ASSERT_EQ(2u, requests.size()) << KitDescribe(r);
    EXPECT_EQ("set2.cab", requests[0].name1);
    EXPECT_EQ("Disk 2", requests[0].name2);
    EXPECT_EQ("mem/", requests[0].name3);
    EXPECT_EQ(1, requests[0].cabinet_index);
    EXPECT_EQ(0x2468, requests[0].set_id);
    EXPECT_EQ(0, requests[0].error);
    EXPECT_EQ("set3.cab", requests[1].name1);
    EXPECT_EQ(2, requests[1].cabinet_index);
    EXPECT_EQ(3, [&] {
        int n = 0;
        for (const KitEvent& e : r.events)
            n += e.kind == CAB_NOTIFY_CABINET;
        return n;
    }()) << "each cabinet opened is announced";
}

TEST(CabSpanning, SplitBlocksAreJoinedAndCheckedPartByPart) {
    KitSet set = KitSpanningSet("set");
    KitPolicy policy;
    policy.decrypt = true;
    MemReset();
    KitResult r = KitExtract(set.cabinets, "set1.cab", policy);
    ASSERT_TRUE(r.ok) << KitDescribe(r);
    int first_parts = 0;
    int joined = 0;
    for (const KitDecryptEvent& e : r.decrypts) {
        if (e.kind != CAB_DECRYPT_BLOCK || !e.split)
            continue;
        if (e.partial_size == 0)
            ++first_parts;
        else
            ++joined;
        if (e.partial_size != 0) {
            EXPECT_GT(e.data_size, e.partial_size) << "the joined size covers both parts";
        }
    }
    EXPECT_EQ(2, first_parts);
    EXPECT_EQ(2, joined);

    // A wrong checksum on the second part of the first split block.
    KitSet bad = KitSpanningSet("set");
    std::string& second = bad.cabinets["set2.cab"];
    // Header, the two pairs of names, then the folder entry with the offset of its first block.
    size_t folder_entry = 36 + sizeof("set1.cab") + sizeof("Disk 1") + sizeof("set3.cab") + sizeof("Disk 3");
    size_t block = 0;
    for (int i = 3; i >= 0; --i)
        block = (block << 8) | static_cast<uint8_t>(second[folder_entry + i]);
    second[block] = static_cast<char>(second[block] ^ 0x5A);  // its checksum
    MemReset();
    KitResult rb = KitExtract(bad.cabinets, "set1.cab");
    EXPECT_EQ(CAB_ERR_CORRUPT, rb.error.code) << KitDescribe(rb);
    EXPECT_EQ("A.txt", Order(rb)) << "files finished before the bad part stay";
}

TEST(CabSpanning, UnusableNextCabinetsAreAskedForAgain) {
    KitSet set = KitSpanningSet("set");
    // change to the set, rename answered, expected code, repeated-request code, reason
    struct Case {
        std::string missing;
        std::string replace_with;
        std::string rename_to;
        int32_t code;
        int32_t repeated_error;
        const char* why;
    };
    const Case cases[] = {
        {"set2.cab", "", "", CAB_ERR_ABORTED, CAB_ERR_CABINET_NOT_FOUND, "a missing cabinet, until the answer is -1"},
        {"", "set3.cab", "", CAB_ERR_ABORTED, CAB_ERR_WRONG_CABINET, "another cabinet under the expected name"},
        {"set2.cab", "", "moved.cab", CAB_ERR_NONE, 0, "the callback renames the cabinet to open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::map<std::string, std::string> cabinets = set.cabinets;
        if (!c.missing.empty()) {
            if (!c.rename_to.empty())
                cabinets[c.rename_to] = cabinets[c.missing];
            cabinets.erase(c.missing);
        }
        if (!c.replace_with.empty())
            cabinets["set2.cab"] = cabinets[c.replace_with];
        KitPolicy policy;
        policy.next_cabinet_tries = 2;
        if (!c.rename_to.empty())
            policy.rename_next[c.missing] = c.rename_to;
        MemReset();
        KitResult r = KitExtract(cabinets, "set1.cab", policy);
        EXPECT_EQ(c.code, r.error.code) << KitDescribe(r);
        EXPECT_EQ(c.code == CAB_ERR_NONE, r.ok);
        if (c.repeated_error) {
            int repeats = 0;
            for (const KitEvent& e : r.events) {
                if (e.kind == CAB_NOTIFY_NEXT_CABINET && e.error != 0) {
                    EXPECT_EQ(c.repeated_error, e.error);
                    EXPECT_EQ("set2.cab", e.name1) << "the request keeps the expected name";
                    EXPECT_EQ(1, e.cabinet_index) << "and the expected index";
                    ++repeats;
                }
            }
            EXPECT_EQ(3, repeats) << "answered 0 twice, then -1";
        }
        EXPECT_EQ(0, r.leaked_blocks);
        EXPECT_EQ(0, r.open_handles);
    }
}

TEST(CabSpanning, FailingCloseWhileChangingCabinetIsCorrupt) {
    KitSet set = KitSpanningSet("set");
    MemReset();
    Mem().fail_close = true;
    KitResult r = KitExtract(set.cabinets, "set1.cab");
    EXPECT_EQ(CAB_ERR_CORRUPT, r.error.code) << KitDescribe(r);
    EXPECT_EQ(0, r.open_handles) << "a handle whose close failed counts as closed";
}

TEST(CabSpanning, FolderWithoutANextCabinetRunsShort) {
    KitSet set = KitSpanningSet("set");
    // The first cabinet claims X continues, but the set has no next cabinet: drop flag 0x0002.
    KitCabinet alone;
    std::string all = set.contents["A.txt"] + set.contents["X.bin"];
    KitFolder f;
    f.type = 1;
    f.blocks = MszipBlocks(all.substr(0, 65536), true);
    alone.folders = {f};
    KitFile a;
    a.name = "A.txt";
    a.size = 40000;
    KitFile x;
    x.name = "X.bin";
    x.size = 55000;
    x.offset = 40000;
    x.folder = 0xFFFE;
    alone.files = {a, x};
    MemReset();
    KitResult r = KitExtract({{"alone.cab", BuildCabinet(alone)}}, "alone.cab");
    EXPECT_EQ(CAB_ERR_CORRUPT, r.error.code) << KitDescribe(r);
    for (const KitEvent& e : r.events) {
        EXPECT_NE(CAB_NOTIFY_NEXT_CABINET, e.kind) << "no request for a cabinet that does not exist";
    }
    EXPECT_EQ("A.txt", Order(r));
}
