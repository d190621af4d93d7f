// Cross-checks: gcab-made cabinets through the reader and cabtool, and every fixture cabextract accepts against
// cabtool.
#include <gtest/gtest.h>

#include <string>

#include "host_files.h"
#include "tests/kit/fixtures.h"
#include "tests/kit/mem_cab.h"

namespace {

const std::string kTool = CABTOOL_PATH;

// Source files for gcab: several sizes, an empty file, a block-sized file and a subfolder.
std::map<std::string, std::string> GcabSources() {
    return {
        {"empty.txt", ""},
        {"exact.bin", KitContent(32768, 61)},
        {"mixed.bin", KitContent(150000, 62)},
        {"small.txt", "a small text file\n"},
        {"sub/inner.dat", KitContent(70000, 63)},
        {"sub/deeper/zeros.bin", std::string(100000, '\0')},
    };
}

std::string Names(const std::map<std::string, std::string>& files) {
    std::string text;
    for (const auto& f : files)
        text += (text.empty() ? "" : " ") + f.first;
    return text;
}

void ExpectSameTree(const std::map<std::string, std::string>& expected, const std::map<std::string, std::string>& got) {
    EXPECT_EQ(Names(expected), Names(got));
    for (const auto& f : expected) {
        auto found = got.find(f.first);
        if (found != got.end()) {
            EXPECT_TRUE(found->second == f.second)
                << f.first << " differs: " << f.second.size() << " bytes expected, " << found->second.size() << " came";
        }
    }
}

}  // namespace

TEST(CrossCheck, GcabCabinetsExtractToTheirSources) {
    if (!HaveProgram("gcab"))
        GTEST_SKIP() << "gcab is not installed";
    TempFolder dir;
    std::string src = dir.path() + "/src";
    std::map<std::string, std::string> sources = GcabSources();
    ASSERT_EQ(0, RunTool("mkdir -p " + Quote(src + "/sub/deeper")).status);
    std::string list;
    for (const auto& s : sources) {
        ASSERT_TRUE(WriteHostFile(src + "/" + s.first, s.second));
        list += " " + Quote(s.first);
    }
    // gcab option, reason
    static const struct {
        const char* option;
        const char* why;
    } cases[] = {
        {"", "stored"},
        {"-z", "MSZIP, every block compressed on its own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string cab = dir.path() + "/gcab" + c.option + ".cab";
        ToolRun made = RunTool("cd " + Quote(src) + " && gcab -c " + c.option + " " + Quote(cab) + list);
        ASSERT_EQ(0, made.status) << made.err;

        // The reader in memory: names keep the cabinet's backslashes.
        std::string bytes;
        ASSERT_TRUE(ReadHostFile(cab, &bytes));
        MemReset();
        KitResult r = KitExtract({{"g.cab", bytes}}, "g.cab");
        EXPECT_TRUE(r.ok) << KitDescribe(r);
        std::map<std::string, std::string> by_cabinet_name;
        for (const auto& s : sources) {
            std::string name = s.first;
            for (char& ch : name)
                ch = ch == '/' ? '\\' : ch;
            by_cabinet_name[name] = s.second;
        }
        ExpectSameTree(by_cabinet_name, r.files);

        // cabtool on disk: subfolders are made below DIR.
        std::string out = dir.path() + "/out" + c.option;
        ToolRun run = RunTool(Quote(kTool) + " extract " + Quote(cab) + " " + Quote(out));
        EXPECT_EQ(0, run.status) << run.err;
        ExpectSameTree(sources, ReadTree(out));

        if (HaveProgram("cabextract")) {
            std::string theirs = dir.path() + "/theirs" + c.option;
            ASSERT_EQ(0, RunTool("cabextract -q -d " + Quote(theirs) + " " + Quote(cab)).status);
            ExpectSameTree(ReadTree(theirs), ReadTree(out));
        }
    }
}

TEST(CrossCheck, FixturesAcceptedByCabextractGiveTheSameFiles) {
    if (!HaveProgram("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    // Sound fixtures that the independent extractor declines, and why.
    static const struct {
        const char* name;
        const char* why;
    } declined[] = {
        {"empty_cabinet", "it calls a cabinet without files invalid"},
        {"continued_first", "it wants the previous cabinet for a continued file"},
        {"reserve_fields", "it leaves the data reserve out of the checksum"},
        {"set", "it merges a set by its own listing rules"},
        {"set_new_header_reserve", "the same set"},
    };
    int compared = 0;
    std::string unexpected;
    for (const KitFixture& f : KitFixtures()) {
        SCOPED_TRACE(f.name + ": " + f.why);
        TempFolder dir;
        for (const auto& c : f.cabinets)
            ASSERT_TRUE(WriteHostFile(dir.path() + "/" + c.first, c.second));
        std::string theirs = dir.path() + "/theirs";
        ToolRun reference = RunTool("cabextract -q -d " + Quote(theirs) + " " + Quote(dir.path() + "/" + f.first));
        if (reference.status != 0) {
            bool known = f.error != 0;
            for (const auto& d : declined)
                known = known || f.name == d.name;
            if (!known)
                unexpected += " " + f.name;
            continue;
        }
        if (f.error != 0)
            continue;  // refused here on purpose (an unknown version, a reserve mismatch): nothing to compare
        // A set is extracted cabinet by cabinet, as the reader serves it; together they give every file.
        std::string ours = dir.path() + "/ours";
        for (const auto& c : f.cabinets) {
            ToolRun run = RunTool(Quote(kTool) + " extract " + Quote(dir.path() + "/" + c.first) + " " + Quote(ours));
            EXPECT_EQ(0, run.status) << c.first << ": " << run.err;
        }
        ExpectSameTree(ReadTree(theirs), ReadTree(ours));
        ++compared;
    }
    EXPECT_EQ("", unexpected) << "sound fixtures that cabextract refused";
    EXPECT_GE(compared, 12) << "too few fixtures compared";
}
