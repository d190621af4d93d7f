// Tests of the cabinet reader on single cabinets: the fixture table, notifications, callback failures and reuse.
#include <gtest/gtest.h>

#include <string>

#include "cab_reader.h"
#include "tests/kit/fixtures.h"
#include "tests/kit/mem_cab.h"

namespace {

const KitFixture& Fixture(const std::string& name) {
    static const std::vector<KitFixture> fixtures = KitFixtures();
    for (const KitFixture& f : fixtures) {
        if (f.name == name)
            return f;
    }
    ADD_FAILURE() << "no fixture " << name;
    return fixtures[0];
}

std::string Names(const KitFiles& files) {
    std::string text;
    for (const auto& f : files)
        text += (text.empty() ? "" : ", ") + (f.first.size() > 40 ? f.first.substr(0, 40) + "..." : f.first);
    return "{" + text + "}";
}

void ExpectFiles(const KitFiles& expected, const KitFiles& got) {
    EXPECT_EQ(Names(expected), Names(got));
    for (const auto& f : expected) {
        auto found = got.find(f.first);
        if (found != got.end()) {
            EXPECT_TRUE(found->second == f.second) << f.first << ": " << f.second.size() << " bytes expected, "
                                                   << found->second.size() << " came, or the bytes differ";
        }
    }
}

void ExpectClean(const KitResult& r) {
    EXPECT_EQ(0, r.leaked_blocks) << "allocations not freed";
    EXPECT_EQ(0, r.open_handles) << "handles not closed";
}

int CountBlocks(const KitResult& r) {
    int n = 0;
    for (const KitDecryptEvent& e : r.decrypts)
        n += e.kind == CAB_DECRYPT_BLOCK;
    return n;
}

}  // namespace

TEST(CabReader, EveryKitFixtureHasItsOutcome) {
    for (const KitFixture& f : KitFixtures()) {
        SCOPED_TRACE(f.name + ": " + f.why);
        MemReset();
        KitResult r = KitExtract(f.cabinets, f.first);
        EXPECT_EQ(f.error == 0, r.ok) << KitDescribe(r);
        // A next cabinet that cannot be used is asked for again until the harness answers -1; the
        // cause is the error of the repeated requests.
        int32_t cause = r.error.code;
        if (cause == CAB_ERR_ABORTED && !r.events.empty() && r.events.back().kind == CAB_NOTIFY_NEXT_CABINET)
            cause = r.events.back().error;
        EXPECT_EQ(f.error, cause) << "expected code " << f.error << ", got " << cause;
        EXPECT_EQ(f.error != 0, r.error.failed);
        ExpectFiles(f.files, r.files);
        ExpectClean(r);
    }
}

TEST(CabReader, NotifiesCabinetFileAndDoneInOrder) {
    const KitFixture& f = Fixture("two_folders");
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first);
    ASSERT_TRUE(r.ok) << KitDescribe(r);
    // kind, name1, size, reason
    static const struct {
        CabNotifyKind kind;
        const char* name;
        int32_t size;
        const char* why;
    } expected[] = {
        {CAB_NOTIFY_CABINET, "", 0, "the cabinet, without a next one"},
        {CAB_NOTIFY_FILE, "a.txt", 70000, "first file with its size"},
        {CAB_NOTIFY_FILE_DONE, "a.txt", 0, "done, not to be run"},
        {CAB_NOTIFY_FILE, "b.bin", 100000, "file of the second folder"},
        {CAB_NOTIFY_FILE_DONE, "b.bin", 0, "done"},
    };
    ASSERT_EQ(sizeof(expected) / sizeof(expected[0]), r.events.size()) << KitDescribe(r);
    for (size_t i = 0; i < r.events.size(); ++i) {
        SCOPED_TRACE(expected[i].why);
        EXPECT_EQ(expected[i].kind, r.events[i].kind);
        EXPECT_EQ(expected[i].name, r.events[i].name1);
        EXPECT_EQ(expected[i].size, r.events[i].size);
    }
    EXPECT_EQ("mem/", r.events[0].name3) << "the cabinet notification names the folder path";
    EXPECT_EQ(0x2468, r.events[0].set_id);
    EXPECT_EQ(0x5A21, r.events[1].date);
    EXPECT_EQ(0x6000, r.events[1].time);
    EXPECT_EQ(0x20, r.events[2].attributes);
}

TEST(CabReader, EmptyCabinetSendsOneCabinetNotification) {
    const KitFixture& f = Fixture("empty_cabinet");
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(1u, r.events.size()) << KitDescribe(r);
    EXPECT_EQ(CAB_NOTIFY_CABINET, r.events[0].kind);
}

TEST(CabReader, ReadsNoBlockMoreThanNeeded) {
    // fixture, files skipped, data blocks read, reason
    static const struct {
        const char* fixture;
        const char* skip;
        int blocks;
        const char* why;
    } cases[] = {
        {"only_empty_file", "", 0, "an empty file needs no block"},
        {"stored_files", "readme.txt", 0, "the empty second file alone reads nothing"},
        {"block_boundary", "next.bin", 1, "a file ending on a block's end does not read the next"},
        {"block_boundary", "", 3, "both files: all three blocks"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + ": " + c.why);
        const KitFixture& f = Fixture(c.fixture);
        KitPolicy policy;
        policy.decrypt = true;
        if (*c.skip) {
            policy.skip.insert(c.skip);
            // Skipping a file that lies after the wanted ones must not read its blocks either.
            for (const auto& file : f.files) {
                if (!file.second.empty() && file.first != "exact.bin")
                    policy.skip.insert(file.first);
            }
        }
        MemReset();
        KitResult r = KitExtract(f.cabinets, f.first, policy);
        EXPECT_TRUE(r.ok) << KitDescribe(r);
        EXPECT_EQ(c.blocks, CountBlocks(r)) << "expected " << c.blocks << " blocks read, got " << CountBlocks(r);
        ExpectClean(r);
    }
}

TEST(CabReader, RunAttributeIsReportedAndCleared) {
    const KitFixture& f = Fixture("run_attribute");
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(3u, r.events.size());
    EXPECT_EQ(0x61, r.events[1].attributes) << "the file notification passes the attributes unchanged";
    EXPECT_EQ(CAB_NOTIFY_FILE_DONE, r.events[2].kind);
    EXPECT_EQ(1, r.events[2].size) << "size 1 marks a file to be run";
    EXPECT_EQ(0x21, r.events[2].attributes) << "expected 0x21, got 0x" << std::hex << r.events[2].attributes;
}

TEST(CabReader, UnknownVersionCarriesTheVersionFound) {
    const KitFixture& f = Fixture("version_0102");
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first);
    EXPECT_EQ(CAB_ERR_UNKNOWN_VERSION, r.error.code);
    EXPECT_EQ(0x0102, r.error.detail) << "expected 258, got " << r.error.detail;
}

TEST(CabReader, ContinuedFileAtTheStartIsReportedNotExtracted) {
    const KitFixture& f = Fixture("continued_first");
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first);
    ASSERT_TRUE(r.ok) << KitDescribe(r);
    ASSERT_GE(r.events.size(), 2u);
    EXPECT_EQ(CAB_NOTIFY_CONTINUED, r.events[1].kind);
    EXPECT_EQ("tail.bin", r.events[1].name1);
    EXPECT_EQ("before.cab", r.events[1].name2);
    EXPECT_EQ("Disk 1", r.events[1].name3);
    EXPECT_EQ(0u, r.files.count("tail.bin"));
}

TEST(CabReader, ReserveBytesReachTheDecryptCallback) {
    const KitFixture& f = Fixture("reserve_fields");
    KitPolicy policy;
    policy.decrypt = true;
    MemReset();
    KitResult r = KitExtract(f.cabinets, f.first, policy);
    ASSERT_TRUE(r.ok) << KitDescribe(r);
    ASSERT_GE(r.decrypts.size(), 3u);
    EXPECT_EQ(CAB_DECRYPT_CABINET, r.decrypts[0].kind);
    EXPECT_EQ("header-reserve-bytes", r.decrypts[0].reserve);
    EXPECT_EQ(0x2468, r.decrypts[0].set_id);
    EXPECT_EQ(CAB_DECRYPT_FOLDER, r.decrypts[1].kind);
    EXPECT_EQ("fr!", r.decrypts[1].reserve);
    EXPECT_EQ(0, r.decrypts[1].folder_index);
    EXPECT_EQ(CAB_DECRYPT_BLOCK, r.decrypts[2].kind);
    EXPECT_EQ("data!", r.decrypts[2].reserve);
    EXPECT_FALSE(r.decrypts[2].split);
}

TEST(CabReader, AnswersOfMinusOneAbort) {
    // notification kind answered -1 (or decrypt kind), fixture, files finished before, reason
    static const struct {
        int kind;
        int decrypt_kind;
        const char* fixture;
        int finished;
        const char* why;
    } cases[] = {
        {CAB_NOTIFY_CABINET, -1, "two_folders", 0, "the cabinet notification"},
        {CAB_NOTIFY_FILE, -1, "two_folders", 0, "the first file notification"},
        {CAB_NOTIFY_FILE_DONE, -1, "two_folders", 0, "the first file-done notification: the reader closes"},
        {CAB_NOTIFY_CONTINUED, -1, "continued_first", 0, "the continued-file notification"},
        {CAB_NOTIFY_NEXT_CABINET, -1, "set", 1, "the next-cabinet request"},
        {-1, CAB_DECRYPT_CABINET, "two_folders", 0, "decrypt of the cabinet"},
        {-1, CAB_DECRYPT_FOLDER, "two_folders", 0, "decrypt of a folder"},
        {-1, CAB_DECRYPT_BLOCK, "two_folders", 0, "decrypt of a block"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const KitFixture& f = Fixture(c.fixture);
        KitPolicy policy;
        policy.abort_kind = c.kind;
        policy.decrypt = c.decrypt_kind != -1;
        policy.decrypt_abort_kind = c.decrypt_kind;
        MemReset();
        KitResult r = KitExtract(f.cabinets, f.first, policy);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(CAB_ERR_ABORTED, r.error.code) << "expected 11, got " << r.error.code;
        EXPECT_EQ(static_cast<size_t>(c.finished), r.files.size());
        ExpectClean(r);
    }
}

TEST(CabReader, TargetFileFailures) {
    const KitFixture& f = Fixture("two_folders");
    // file-done answer, short write, files finished, reason
    static const struct {
        intptr_t done_answer;
        int64_t short_write;
        size_t finished;
        const char* why;
    } cases[] = {
        {0, -1, 0, "file-done answered 0"},
        {1, 0, 0, "the first write comes out short"},
        {1, 3, 1, "a write of the second file comes out short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MemReset();
        Mem().short_write = c.short_write;
        KitPolicy policy;
        policy.file_done_answer = c.done_answer;
        KitResult r = KitExtract(f.cabinets, f.first, policy);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(CAB_ERR_TARGET_FILE, r.error.code) << "expected 8, got " << r.error.code;
        EXPECT_EQ(c.finished, r.files.size());
        ExpectClean(r);
    }
}

TEST(CabReader, CabinetNotFoundAndOverlongPath) {
    const KitFixture& f = Fixture("two_folders");
    MemReset();
    KitResult r = KitExtract(f.cabinets, "missing.cab");
    EXPECT_EQ(CAB_ERR_CABINET_NOT_FOUND, r.error.code);
    ExpectClean(r);

    CabError error = {};
    CabReader* reader = CabReaderCreate(MemAlloc, MemFree, MemOpen, MemRead, MemWrite, MemClose, MemSeek, &error);
    ASSERT_NE(nullptr, reader);
    std::string path(250, 'p');
    EXPECT_FALSE(CabReaderExtract(reader, "twelve_chars", path.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(CAB_ERR_CABINET_NOT_FOUND, error.code) << "path and name beyond 255 characters";
    CabReaderDestroy(reader);
}

TEST(CabReader, EveryFailedAllocationIsOutOfMemoryWithoutLeaks) {
    for (const char* name : {"two_folders", "set", "reserve_fields"}) {
        const KitFixture& f = Fixture(name);
        MemReset();
        KitResult full = KitExtract(f.cabinets, f.first);
        int64_t needed = Mem().allocations;
        ASSERT_TRUE(full.ok);
        for (int64_t n = 0; n < needed; ++n) {
            SCOPED_TRACE(std::string(name) + ": allocation " + std::to_string(n) + " fails");
            MemReset();
            Mem().fail_allocation = n;
            KitResult r = KitExtract(f.cabinets, f.first);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(CAB_ERR_NO_MEMORY, r.error.code) << "expected 5, got " << r.error.code;
            ExpectClean(r);
        }
    }
}

TEST(CabReader, FailingReadsAndSeeksEndCleanly) {
    const KitFixture& f = Fixture("set");
    MemReset();
    KitExtract(f.cabinets, f.first);
    int64_t reads = Mem().reads;
    int64_t seeks = Mem().seeks;
    for (int64_t n = 0; n < reads + seeks; ++n) {
        bool read = n < reads;
        SCOPED_TRACE((read ? "read " : "seek ") + std::to_string(read ? n : n - reads) + " fails");
        MemReset();
        if (read)
            Mem().fail_read = n;
        else
            Mem().fail_seek = n - reads;
        KitResult r = KitExtract(f.cabinets, f.first);
        bool retried = false;
        for (const KitEvent& e : r.events)
            retried = retried || (e.kind == CAB_NOTIFY_NEXT_CABINET && e.error != 0);
        if (r.ok) {
            // Only a failure while opening a next cabinet is retried, and the retry succeeds.
            EXPECT_TRUE(retried) << KitDescribe(r);
            EXPECT_EQ(f.files.size(), r.files.size());
        } else {
            int32_t code = r.error.code;
            EXPECT_TRUE(code == CAB_ERR_NOT_A_CABINET || code == CAB_ERR_CORRUPT) << "got code " << code;
        }
        ExpectClean(r);
    }
    MemReset();
    Mem().fail_read = 0;
    EXPECT_EQ(CAB_ERR_NOT_A_CABINET, KitExtract(f.cabinets, f.first).error.code) << "the header read";
}

TEST(CabReader, OneReaderServesSeveralExtractions) {
    MemReset();
    const KitFixture& a = Fixture("two_folders");
    const KitFixture& b = Fixture("mszip_chained");
    const KitFixture& reserved = Fixture("reserve_fields");
    for (const KitFixture* f : {&a, &b, &reserved})
        for (const auto& c : f->cabinets)
            Mem().cabinets["mem/" + c.first] = c.second;
    CabError error = {};
    CabReader* reader = CabReaderCreate(MemAlloc, MemFree, MemOpen, MemRead, MemWrite, MemClose, MemSeek, &error);
    ASSERT_NE(nullptr, reader);
    KitResult r1 = KitExtractWith(reader, &error, a.first, KitPolicy());
    EXPECT_TRUE(r1.ok);
    ExpectFiles(a.files, r1.files);
    KitResult r2 = KitExtractWith(reader, &error, b.first, KitPolicy());
    EXPECT_TRUE(r2.ok);
    ExpectFiles(b.files, r2.files);
    KitResult r3 = KitExtractWith(reader, &error, a.first, KitPolicy());
    EXPECT_TRUE(r3.ok) << "the same cabinet again, after an MSZIP folder";
    ExpectFiles(a.files, r3.files);
    KitResult r4 = KitExtractWith(reader, &error, reserved.first, KitPolicy());
    EXPECT_EQ(CAB_ERR_RESERVE_MISMATCH, r4.error.code) << "the reserve sizes stay those of the first cabinet";
    EXPECT_TRUE(CabReaderDestroy(reader));
    EXPECT_EQ(0, Mem().live_blocks);
    EXPECT_EQ(0, Mem().open_handles);
}

TEST(CabReader, CreateWithoutMemoryRecordsOutOfMemory) {
    MemReset();
    Mem().fail_allocation = 0;
    CabError error = {};
    EXPECT_EQ(nullptr, CabReaderCreate(MemAlloc, MemFree, MemOpen, MemRead, MemWrite, MemClose, MemSeek, &error));
    EXPECT_EQ(CAB_ERR_NO_MEMORY, error.code);
    EXPECT_TRUE(error.failed);
    EXPECT_STREQ("CAB_ERR_NO_MEMORY", CabErrorName(error.code));
    EXPECT_STREQ("CAB_ERR_ABORTED", CabErrorName(CAB_ERR_ABORTED));
    EXPECT_STREQ("CAB_ERR_UNKNOWN", CabErrorName(12));
}
