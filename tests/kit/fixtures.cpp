// The test kit's cabinet fixtures, built with the test cabinet writer.
#include "tests/kit/fixtures.h"

#include <stdio.h>

#include "cab_reader.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

KitFiles ToFiles(const Pairs& pairs) {
    KitFiles files;
    for (const auto& p : pairs)
        files[p.first] = p.second;
    return files;
}

KitFixture Single(const std::string& name,
                  const std::string& why,
                  const KitCabinet& cabinet,
                  int32_t error,
                  const KitFiles& files) {
    KitFixture f;
    f.name = name;
    f.why = why;
    f.first = name + ".cab";
    f.cabinets[f.first] = BuildCabinet(cabinet);
    f.error = error;
    f.files = files;
    f.set_files = files;
    return f;
}

// A fixed-code block that copies from distance 32768 at its first byte: it repeats the previous
// block's first bytes.
KitBlock FarMatchBlock(uint32_t length) {
    KitBits bits;
    bits.Put(1, 1);  // final
    bits.Put(1, 2);  // fixed codes
    bits.FixedMatch(length, 32768);
    bits.FixedLiteral(256);
    KitBlock b;
    b.data = "CK" + bits.Finish();
    b.uncompressed = static_cast<uint16_t>(length);
    return b;
}

}  // namespace

KitSet KitSpanningSet(const std::string& stem,
                      uint8_t second_data_reserve,
                      uint16_t first_header_reserve,
                      uint16_t second_header_reserve) {
    std::string all = KitContent(150000, 77);
    KitSet set;
    set.contents["A.txt"] = all.substr(0, 40000);
    set.contents["X.bin"] = all.substr(40000, 55000);
    set.contents["Y.bin"] = all.substr(95000, 5000);
    set.contents["C.dat"] = all.substr(100000, 40000);
    set.contents["D.dat"] = all.substr(140000, 10000);
    std::string stored = KitContent(3000, 78);
    set.contents["E.txt"] = stored;

    std::vector<KitBlock> blocks = MszipBlocks(all, true);  // 5 blocks, the last one of 18928 bytes
    auto split = [](const KitBlock& b, KitBlock* first, KitBlock* second) {
        size_t half = b.data.size() / 2;
        first->data = b.data.substr(0, half);
        first->uncompressed = 0;
        second->data = b.data.substr(half);
        second->uncompressed = b.uncompressed;
    };
    KitBlock b2a, b2b, b4a, b4b;
    split(blocks[2], &b2a, &b2b);
    split(blocks[4], &b4a, &b4b);
    const std::string names[3] = {stem + "1.cab", stem + "2.cab", stem + "3.cab"};

    auto file = [&](const std::string& name, uint32_t offset, uint16_t folder) {
        KitFile f;
        f.name = name;
        f.size = static_cast<uint32_t>(set.contents[name].size());
        f.offset = offset;
        f.folder = folder;
        return f;
    };

    KitCabinet c1;
    c1.index = 0;
    c1.has_next = true;
    c1.next_cabinet = names[1];
    c1.next_disk = "Disk 2";
    KitFolder f1;
    f1.type = 1;
    f1.blocks = {blocks[0], blocks[1], b2a};
    c1.folders = {f1};
    c1.files = {file("A.txt", 0, 0), file("X.bin", 40000, 0xFFFE), file("Y.bin", 95000, 0xFFFE)};
    if (first_header_reserve != 0xFFFF) {
        c1.reserve = true;
        c1.header_reserve = std::string(first_header_reserve, 'g');
    }

    KitCabinet c2;
    c2.index = 1;
    c2.has_previous = true;
    c2.previous_cabinet = names[0];
    c2.previous_disk = "Disk 1";
    c2.has_next = true;
    c2.next_cabinet = names[2];
    c2.next_disk = "Disk 3";
    if (second_data_reserve || second_header_reserve != 0xFFFF) {
        c2.reserve = true;
        c2.data_reserve = second_data_reserve;
        if (second_header_reserve != 0xFFFF)
            c2.header_reserve = std::string(second_header_reserve, 'h');
    }
    KitFolder f2;
    f2.type = 1;
    f2.blocks = {b2b, blocks[3], b4a};
    c2.folders = {f2};
    c2.files = {file("X.bin", 40000, 0xFFFD), file("Y.bin", 95000, 0xFFFD), file("C.dat", 100000, 0xFFFF)};

    KitCabinet c3;
    c3.index = 2;
    c3.has_previous = true;
    c3.previous_cabinet = names[1];
    c3.previous_disk = "Disk 2";
    KitFolder f3;
    f3.type = 1;
    f3.blocks = {b4b};
    KitFolder f3s;
    f3s.type = 0;
    f3s.blocks = StoredBlocks(stored);
    c3.folders = {f3, f3s};
    c3.files = {file("C.dat", 100000, 0xFFFD), file("D.dat", 140000, 0xFFFD), file("E.txt", 0, 1)};

    set.cabinets[names[0]] = BuildCabinet(c1);
    set.cabinets[names[1]] = BuildCabinet(c2);
    set.cabinets[names[2]] = BuildCabinet(c3);
    return set;
}

std::vector<KitFixture> KitFixtures() {
    std::vector<KitFixture> out;
    const std::string text = KitContent(70000, 1);
    const std::string binary = KitContent(100000, 2);
    const Pairs several = {{"readme.txt", text}, {"empty.txt", ""}, {"data.bin", binary}, {"tail.txt", "tail\n"}};

    out.push_back(Single("stored_files", "stored folder, several files, an empty one", SimpleCabinet(several, 0), 0,
                         ToFiles(several)));
    out.push_back(Single("mszip_chained", "MSZIP blocks that refer back into the previous block",
                         SimpleCabinet(several, 1, true), 0, ToFiles(several)));
    out.push_back(Single("mszip_independent", "every MSZIP block compressed on its own",
                         SimpleCabinet(several, 1, false), 0, ToFiles(several)));
    out.push_back(Single("mszip_fixed", "fixed-code deflate blocks, chained",
                         SimpleCabinet(several, 1, true, KIT_DEFLATE_FIXED), 0, ToFiles(several)));
    out.push_back(Single("mszip_stored_deflate", "stored deflate blocks inside MSZIP",
                         SimpleCabinet(several, 1, true, KIT_DEFLATE_STORED), 0, ToFiles(several)));

    {
        // Each block boundary falls exactly at a file's end.
        const Pairs files = {{"exact.bin", KitContent(32768, 3)}, {"next.bin", KitContent(40000, 4)}};
        out.push_back(Single("block_boundary", "a file ending exactly on a block boundary", SimpleCabinet(files, 1), 0,
                             ToFiles(files)));
    }
    {
        KitCabinet c = SimpleCabinet({{"a.txt", text}}, 0);
        KitCabinet z = SimpleCabinet({{"b.bin", binary}}, 1);
        c.folders.push_back(z.folders[0]);
        c.files.push_back(z.files[0]);
        c.files[1].folder = 1;
        out.push_back(
            Single("two_folders", "a stored and an MSZIP folder", c, 0, {{"a.txt", text}, {"b.bin", binary}}));
    }
    {
        KitCabinet c;
        out.push_back(Single("empty_cabinet", "no folders and no files", c, 0, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"nothing.txt", ""}}, 1);
        out.push_back(
            Single("only_empty_file", "an empty file in a folder without blocks", c, 0, {{"nothing.txt", ""}}));
    }
    {
        KitCabinet c = SimpleCabinet(several, 1);
        c.reserve = true;
        c.header_reserve = "header-reserve-bytes";
        c.folder_reserve = 3;
        c.data_reserve = 5;
        c.folders[0].reserve = "fr!";
        for (KitBlock& b : c.folders[0].blocks)
            b.reserve = "data!";
        out.push_back(Single("reserve_fields", "header, folder and data reserves; checksums cover the reserve", c, 0,
                             ToFiles(several)));
        for (KitBlock& b : c.folders[0].blocks)
            b.sum_reserve = false;
        out.push_back(Single("reserve_sizes_sum", "data reserves left out of the checksums, as other makers do", c, 0,
                             ToFiles(several)));
    }
    {
        KitCabinet c = SimpleCabinet(several, 1);
        for (KitBlock& b : c.folders[0].blocks) {
            b.right_checksum = false;
            b.checksum_value = 0;
        }
        out.push_back(Single("checksum_zero", "checksums of 0 are not verified", c, 0, ToFiles(several)));
    }
    {
        const Pairs files = {{"first.bin", KitContent(32768, 5)}, {"second.bin", KitContent(20000, 6)}};
        KitCabinet c = SimpleCabinet(files, 1);
        c.folders[0].blocks[1].right_checksum = false;
        c.folders[0].blocks[1].checksum_value = 0x12345678;
        out.push_back(Single("checksum_wrong", "the second block's checksum differs", c, CAB_ERR_CORRUPT,
                             {{"first.bin", files[0].second}}));
    }
    {
        KitCabinet c = SimpleCabinet({{"a.txt", "abc"}}, 0);
        c.version = 0x0102;
        out.push_back(Single("version_0102", "format version 1.2", c, CAB_ERR_UNKNOWN_VERSION, {}));
    }
    {
        std::string long_name(255, 'n');
        out.push_back(Single("name_255", "a name of exactly 255 characters", SimpleCabinet({{long_name, "x"}}, 0), 0,
                             {{long_name, "x"}}));
        std::string too_long(256, 'n');
        out.push_back(
            Single("name_256", "a name of 256 characters", SimpleCabinet({{too_long, "x"}}, 0), CAB_ERR_CORRUPT, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"a.txt", text}}, 0);
        KitFolder lzx;
        lzx.type = 0x1503;
        lzx.blocks = StoredBlocks("pretend");
        c.folders.push_back(lzx);
        KitFile f;
        f.name = "b.txt";
        f.size = 7;
        f.folder = 1;
        c.files.push_back(f);
        out.push_back(Single("method_3", "a folder of method 3 after a stored one", c, CAB_ERR_BAD_COMPRESSION,
                             {{"a.txt", text}}));
    }
    {
        KitCabinet c = SimpleCabinet({{"a.txt", "abc"}, {"b.txt", "def"}}, 0);
        c.files[1].folder = 5;
        out.push_back(
            Single("folder_beyond", "a folder index beyond the folder count", c, CAB_ERR_CORRUPT, {{"a.txt", "abc"}}));
    }
    {
        KitCabinet c = SimpleCabinet(several, 1);
        std::swap(c.files[0], c.files[2]);  // data.bin (late in the folder) first, readme.txt after it
        out.push_back(
            Single("out_of_order", "a file that starts before the block being decoded", c, 0, ToFiles(several)));
    }
    {
        KitCabinet c = SimpleCabinet({{"setup.exe", "MZ run me"}}, 0);
        c.files[0].attributes = 0x61;
        out.push_back(Single("run_attribute", "a file marked to be run", c, 0, {{"setup.exe", "MZ run me"}}));
    }
    {
        std::string first = KitContent(32768, 9);
        KitCabinet c;
        KitFolder f;
        f.type = 1;
        f.blocks = MszipBlocks(first, true);
        f.blocks.push_back(FarMatchBlock(258));
        c.folders = {f};
        KitFile a;
        a.name = "far.bin";
        a.size = 32768 + 258;
        c.files = {a};
        out.push_back(Single("distance_32768", "a match of distance 32768 at a block's first byte", c, 0,
                             {{"far.bin", first + first.substr(0, 258)}}));
    }
    {
        KitCabinet c = SimpleCabinet({{"cut.bin", text}}, 1);
        std::string& data = c.folders[0].blocks[0].data;
        data.resize(data.size() / 2);
        out.push_back(Single("mszip_cut_short", "an MSZIP block cut in half", c, CAB_ERR_DECODER, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"cj.bin", text}}, 1);
        c.folders[0].blocks[0].data[1] = 'J';
        out.push_back(Single("mszip_signature", "an MSZIP block starting with CJ", c, CAB_ERR_DECODER, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"s.bin", std::string(100, 's')}}, 0);
        c.folders[0].blocks[0].uncompressed = 99;
        c.files[0].size = 99;
        out.push_back(Single("stored_size_mismatch", "a stored block whose sizes differ", c, CAB_ERR_DECODER, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"big.bin", std::string(40000, 'b')}}, 0);
        c.folders[0].blocks.resize(1);
        c.folders[0].blocks[0].data = std::string(40000, 'b');
        c.folders[0].blocks[0].uncompressed = 40000 & 0xFFFF;
        out.push_back(Single("block_too_big", "a block larger than the compressed buffer", c, CAB_ERR_CORRUPT, {}));
    }
    {
        KitCabinet c = SimpleCabinet({{"tail.bin", "continued part"}, {"own.txt", "own"}}, 0);
        c.index = 1;
        c.has_previous = true;
        c.previous_cabinet = "before.cab";
        c.previous_disk = "Disk 1";
        c.files[0].folder = 0xFFFD;
        out.push_back(Single("continued_first", "a file continued from a previous cabinet comes first", c, 0,
                             {{"own.txt", "own"}}));
    }
    {
        KitFixture f =
            Single("not_a_cabinet", "wrong signature", SimpleCabinet({{"a", "b"}}, 0), CAB_ERR_NOT_A_CABINET, {});
        f.cabinets[f.first][3] = 'X';
        out.push_back(f);
        KitFixture s = Single("short_header", "a file shorter than a header", SimpleCabinet({{"a", "b"}}, 0),
                              CAB_ERR_NOT_A_CABINET, {});
        s.cabinets[s.first].resize(20);
        out.push_back(s);
    }
    {
        KitSet set = KitSpanningSet("set");
        KitFixture f;
        f.name = "set";
        f.why = "three cabinets, a folder and two blocks split across them";
        f.cabinets = set.cabinets;
        f.first = "set1.cab";
        f.error = 0;
        f.set_files = set.contents;
        f.files = set.contents;
        f.files.erase("E.txt");
        out.push_back(f);
    }
    {
        KitSet set = KitSpanningSet("dres", 4);
        KitFixture f;
        f.name = "set_data_reserve";
        f.why = "the second cabinet has another data-reserve size";
        f.cabinets = set.cabinets;
        f.first = "dres1.cab";
        f.error = CAB_ERR_RESERVE_MISMATCH;
        f.files = {{"A.txt", set.contents["A.txt"]}};
        f.set_files = set.contents;
        out.push_back(f);
    }
    {
        KitSet set = KitSpanningSet("hres", 0, 4, 8);
        KitFixture f;
        f.name = "set_header_reserve";
        f.why = "the second cabinet's header reserve differs from the first's";
        f.cabinets = set.cabinets;
        f.first = "hres1.cab";
        f.error = CAB_ERR_RESERVE_MISMATCH;
        f.files = {{"A.txt", set.contents["A.txt"]}};
        f.set_files = set.contents;
        out.push_back(f);
    }
    {
        KitSet set = KitSpanningSet("hnew", 0, 0xFFFF, 8);
        KitFixture f;
        f.name = "set_new_header_reserve";
        f.why = "only the second cabinet has a header reserve: it is read with its own size";
        f.cabinets = set.cabinets;
        f.first = "hnew1.cab";
        f.error = 0;
        f.set_files = set.contents;
        f.files = set.contents;
        f.files.erase("E.txt");
        out.push_back(f);
    }
    return out;
}

bool KitWriteFixtures(const std::string& folder) {
    for (const KitFixture& f : KitFixtures()) {
        for (const auto& c : f.cabinets) {
            std::string path = folder + "/" + c.first;
            FILE* file = fopen(path.c_str(), "wb");
            if (!file)
                return false;
            bool ok = fwrite(c.second.data(), 1, c.second.size(), file) == c.second.size();
            ok = fclose(file) == 0 && ok;
            if (!ok)
                return false;
        }
    }
    return true;
}
