// Tests of cabtool as other tools call it: list, extract and test, unsafe names, sets and errors.
#include <gtest/gtest.h>

#include <string>

#include "host_files.h"
#include "tests/kit/fixtures.h"

namespace {

const std::string kTool = CABTOOL_PATH;

const KitFixture& Fixture(const std::string& name) {
    static const std::vector<KitFixture> fixtures = KitFixtures();
    for (const KitFixture& f : fixtures) {
        if (f.name == name)
            return f;
    }
    ADD_FAILURE() << "no fixture " << name;
    return fixtures[0];
}

// Writes the fixture's cabinets into folder, optionally renaming them.
void Place(const KitFixture& f, const std::string& folder, const std::map<std::string, std::string>& renames = {}) {
    for (const auto& c : f.cabinets) {
        auto renamed = renames.find(c.first);
        ASSERT_TRUE(WriteHostFile(folder + "/" + (renamed == renames.end() ? c.first : renamed->second), c.second));
    }
}

ToolRun Cabtool(const std::string& arguments) {
    return RunTool(Quote(kTool) + " " + arguments);
}

std::string Names(const std::map<std::string, std::string>& files) {
    std::string text;
    for (const auto& f : files)
        text += (text.empty() ? "" : " ") + f.first;
    return text;
}

}  // namespace

TEST(Cabtool, ListPrintsOneLinePerEntry) {
    TempFolder dir;
    const KitFixture& f = Fixture("two_folders");
    Place(f, dir.path());
    ToolRun run = Cabtool("list " + Quote(dir.path() + "/" + f.first));
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("     70000 2025-01-01 12:00:00 ---a- a.txt\n    100000 2025-01-01 12:00:00 ---a- b.bin\n", run.out);
}

TEST(Cabtool, ExtractWritesEveryFileOrTheNamedOnes) {
    // fixture, names asked for, files expected (space-separated), reason
    static const struct {
        const char* fixture;
        const char* names;
        const char* expected;
        const char* why;
    } cases[] = {
        {"stored_files", "", "data.bin empty.txt readme.txt tail.txt", "every file, the empty one included"},
        {"mszip_chained", "README.TXT Tail.txt", "readme.txt tail.txt", "names match ignoring case"},
        {"mszip_chained", "nothing.here", "", "no name matches: nothing written"},
        {"set", "", "A.txt C.dat D.dat X.bin Y.bin", "the set is followed into later cabinets"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + ": " + c.why);
        TempFolder dir;
        const KitFixture& f = Fixture(c.fixture);
        Place(f, dir.path());
        std::string out = dir.path() + "/out";
        ToolRun run = Cabtool("extract " + Quote(dir.path() + "/" + f.first) + " " + Quote(out) + " " + c.names);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ("", run.err);
        std::map<std::string, std::string> tree = ReadTree(out);
        EXPECT_EQ(c.expected, Names(tree));
        for (const auto& file : tree)
            EXPECT_TRUE(f.set_files.at(file.first) == file.second) << file.first << " differs";
    }
}

TEST(Cabtool, TestWritesNothing) {
    TempFolder dir;
    const KitFixture& f = Fixture("mszip_chained");
    Place(f, dir.path());
    ToolRun run = Cabtool("test " + Quote(dir.path() + "/" + f.first));
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("mszip_chained.cab", Names(ReadTree(dir.path()))) << "only the cabinet is in the folder";
    EXPECT_NE(std::string::npos, run.out.find("tested data.bin")) << run.out;
    const KitFixture& bad = Fixture("checksum_wrong");
    Place(bad, dir.path());
    run = Cabtool("test " + Quote(dir.path() + "/" + bad.first));
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("error 4 CAB_ERR_CORRUPT\n", run.err);
}

TEST(Cabtool, UnsafeNamesAreRefusedAndNothingLeavesTheFolder) {
    KitCabinet c = SimpleCabinet({{"..\\escape.txt", "1"},
                                  {"/absolute.txt", "2"},
                                  {"C:\\drive.txt", "3"},
                                  {"sub\\..\\..\\up.txt", "4"},
                                  {"sub\\inner.txt", "5"},
                                  {"sub/deeper/leaf.txt", "6"},
                                  {"trailing\\", "7"},
                                  {"plain.txt", "8"}},
                                 0);
    TempFolder dir;
    ASSERT_TRUE(WriteHostFile(dir.path() + "/names.cab", BuildCabinet(c)));
    std::string out = dir.path() + "/box/out";
    ToolRun run = Cabtool("extract " + Quote(dir.path() + "/names.cab") + " " + Quote(out));
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("plain.txt sub/deeper/leaf.txt sub/inner.txt", Names(ReadTree(out)));
    EXPECT_EQ("box/out/plain.txt box/out/sub/deeper/leaf.txt box/out/sub/inner.txt names.cab",
              Names(ReadTree(dir.path())))
        << "nothing is written outside DIR";
    for (const char* refused :
         {"..\\escape.txt", "/absolute.txt", "C:\\drive.txt", "sub\\..\\..\\up.txt", "trailing\\"})
        EXPECT_NE(std::string::npos, run.out.find(std::string("refused ") + refused)) << refused << "\n" << run.out;
}

TEST(Cabtool, NextCabinetsAreFoundIgnoringCase) {
    TempFolder dir;
    const KitFixture& f = Fixture("set");
    Place(f, dir.path(), {{"set2.cab", "SET2.CAB"}, {"set3.cab", "Set3.Cab"}});
    std::string out = dir.path() + "/out";
    ToolRun run = Cabtool("extract " + Quote(dir.path() + "/set1.cab") + " " + Quote(out));
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("A.txt C.dat D.dat X.bin Y.bin", Names(ReadTree(out)));
}

TEST(Cabtool, ErrorsEndWithOneLineAndKeepFinishedFiles) {
    // fixture, cabinet removed, error line, files left, reason
    static const struct {
        const char* fixture;
        const char* remove;
        const char* error;
        const char* left;
        const char* why;
    } cases[] = {
        {"set", "set3.cab", "error 1 CAB_ERR_CABINET_NOT_FOUND\n", "A.txt X.bin Y.bin",
         "a missing next cabinet ends the extraction; the unfinished file is removed"},
        {"checksum_wrong", "", "error 4 CAB_ERR_CORRUPT\n", "first.bin", "a bad checksum"},
        {"method_3", "", "error 6 CAB_ERR_BAD_COMPRESSION\n", "a.txt", "an unsupported method"},
        {"version_0102", "", "error 3 CAB_ERR_UNKNOWN_VERSION\n", "", "an unknown version"},
        {"set_data_reserve", "", "error 9 CAB_ERR_RESERVE_MISMATCH\n", "A.txt", "another data reserve"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + ": " + c.why);
        TempFolder dir;
        const KitFixture& f = Fixture(c.fixture);
        Place(f, dir.path());
        if (*c.remove)
            unlink((dir.path() + "/" + c.remove).c_str());
        std::string out = dir.path() + "/out";
        ToolRun run = Cabtool("extract " + Quote(dir.path() + "/" + f.first) + " " + Quote(out));
        EXPECT_EQ(1, run.status);
        EXPECT_EQ(c.error, run.err);
        EXPECT_EQ(c.left, Names(ReadTree(out)));
    }
    ToolRun missing = Cabtool("list /nonexistent/folder/none.cab");
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("error 1 CAB_ERR_CABINET_NOT_FOUND\n", missing.err);
    EXPECT_EQ(2, Cabtool("frobnicate x.cab").status) << "a usage error";
}
