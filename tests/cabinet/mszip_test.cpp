// Tests of the MSZIP decoder through its interface: sizes, handles, hand-made deflate blocks and zlib round trips.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "mszip.h"
#include "tests/kit/cab_writer.h"
#include "tests/kit/mem_cab.h"

namespace {

// Frees nothing, so that a destroyed handle can still be passed in safely.
std::vector<void*> g_kept;
void* KeepAlloc(uint32_t size) {
    void* p = malloc(size);
    g_kept.push_back(p);
    return p;
}
void KeepFree(void*) {}

struct Decoder {
    MszipDecoder* handle = nullptr;
    std::vector<uint8_t> window = std::vector<uint8_t>(32768);
    Decoder() {
        uint32_t max = 0;
        uint32_t size = 0;
        EXPECT_EQ(CAB_DECODER_OK, MszipCreate(&max, MemAlloc, MemFree, &size, &handle));
    }
    ~Decoder() {
        if (handle)
            MszipDestroy(handle);
    }
    // Decodes one block into the window; returns the status and sets out to the bytes produced.
    int32_t Decode(const std::string& block, std::string* out, uint32_t room = 32768) {
        uint32_t produced = room;
        int32_t status = MszipDecompress(handle, reinterpret_cast<const uint8_t*>(block.data()),
                                         static_cast<uint32_t>(block.size()), window.data(), &produced);
        out->assign(reinterpret_cast<char*>(window.data()), produced);
        return status;
    }
};

// Canonical codes for the given lengths (RFC 1951, 3.2.2).
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int l : lengths)
        ++count[l];
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i])
            codes[i] = next[lengths[i]]++;
    }
    return codes;
}

// A dynamic block writer whose code-length code gives 0-12 four bits and 13-18 five bits.
struct Dynamic {
    KitBits bits;
    std::vector<int> codelen_lengths = std::vector<int>(19, 0);
    std::vector<uint32_t> codelen_codes;
    Dynamic() {
        for (int i = 0; i < 13; ++i)
            codelen_lengths[i] = 4;
        for (int i = 13; i < 19; ++i)
            codelen_lengths[i] = 5;
        codelen_codes = CanonicalCodes(codelen_lengths);
    }
    void Header(bool final, uint32_t hlit, uint32_t hdist) {
        static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        bits.Put(final ? 1 : 0, 1);
        bits.Put(2, 2);
        bits.Put(hlit - 257, 5);
        bits.Put(hdist - 1, 5);
        bits.Put(19 - 4, 4);
        for (int i = 0; i < 19; ++i)
            bits.Put(codelen_lengths[order[i]], 3);
    }
    void Symbol(int s) { bits.PutCode(codelen_codes[s], codelen_lengths[s]); }
    void Lengths(const std::vector<int>& lengths) {
        for (int l : lengths)
            Symbol(l);
    }
    std::string Finish() { return "CK" + bits.Finish(); }
};

// Litlen lengths: 'a' 1 bit, end of block 2, length symbol 257 (length 3) 2: a complete code.
std::vector<int> SmallLitlen() {
    std::vector<int> l(258, 0);
    l['a'] = 1;
    l[256] = 2;
    l[257] = 2;
    return l;
}

// "a", then a match of length 3 at distance 1, then end of block, with the small codes above and
// one distance code of length 1.
void SmallBody(Dynamic& d) {
    std::vector<uint32_t> codes = CanonicalCodes(SmallLitlen());
    d.bits.PutCode(codes['a'], 1);
    d.bits.PutCode(codes[257], 2);
    d.bits.PutCode(0, 1);  // distance symbol 0: distance 1
    d.bits.PutCode(codes[256], 2);
}

std::string StoredBlock(const std::string& payload, bool right_complement) {
    KitBits b;
    b.Put(1, 1);
    b.Put(0, 2);
    b.AlignToByte();
    uint32_t len = static_cast<uint32_t>(payload.size());
    b.Put(len, 16);
    b.Put(right_complement ? (~len & 0xFFFF) : len, 16);
    return "CK" + b.Finish() + payload;
}

std::string ZlibBlock(const std::string& data, const std::string& dictionary, int level, int strategy) {
    z_stream z = {};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
    if (!dictionary.empty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size()));
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return "CK" + out;
}

}  // namespace

TEST(MszipCreate, ClampsTheMaximumAndReportsTheBufferSize) {
    // requested maximum, maximum handed back, compressed-buffer size, reason
    static const struct {
        uint32_t requested;
        uint32_t max;
        uint32_t buffer;
        const char* why;
    } cases[] = {
        {0, 32768, 32780, "0 becomes the largest block"},
        {40000, 32768, 32780, "above 32768 is clamped"},
        {32768, 32768, 32780, "the largest block itself"},
        {1000, 1000, 1012, "a smaller maximum is kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MemReset();
        uint32_t max = c.requested;
        uint32_t size = 0;
        EXPECT_EQ(CAB_DECODER_OK, MszipCreate(&max, MemAlloc, MemFree, &size, nullptr));
        EXPECT_EQ(c.max, max);
        EXPECT_EQ(c.buffer, size);
        EXPECT_EQ(0, Mem().allocations) << "a size query allocates nothing";
    }
}

TEST(MszipCreate, FailedAllocationsAreStatusOneAndLeaveNothing) {
    for (int64_t fail = 0; fail < 2; ++fail) {
        SCOPED_TRACE(fail == 0 ? "handle allocation fails" : "state allocation fails");
        MemReset();
        Mem().fail_allocation = fail;
        uint32_t max = 0;
        uint32_t size = 0;
        MszipDecoder* handle = reinterpret_cast<MszipDecoder*>(1);
        EXPECT_EQ(CAB_DECODER_NO_MEMORY, MszipCreate(&max, MemAlloc, MemFree, &size, &handle));
        EXPECT_EQ(nullptr, handle);
        EXPECT_EQ(0, Mem().live_blocks);
    }
}

TEST(MszipDecoder, ChecksItsTagAndParameters) {
    uint32_t max = 0;
    uint32_t size = 0;
    MszipDecoder* handle = nullptr;
    ASSERT_EQ(CAB_DECODER_OK, MszipCreate(&max, KeepAlloc, KeepFree, &size, &handle));
    std::vector<uint8_t> window(32768);
    std::string big(32781, 'x');
    uint32_t produced = 32768;
    EXPECT_EQ(CAB_DECODER_BAD_PARAMETER,
              MszipDecompress(handle, reinterpret_cast<const uint8_t*>(big.data()), 32781, window.data(), &produced))
        << "a block above the maximum + 12";
    EXPECT_EQ(CAB_DECODER_OK, MszipReset(handle));
    EXPECT_EQ(CAB_DECODER_OK, MszipDestroy(handle));
    std::string block = StoredBlock("abc", true);
    produced = 32768;
    EXPECT_EQ(CAB_DECODER_BAD_HANDLE, MszipDecompress(handle, reinterpret_cast<const uint8_t*>(block.data()),
                                                      static_cast<uint32_t>(block.size()), window.data(), &produced));
    EXPECT_EQ(CAB_DECODER_BAD_HANDLE, MszipReset(handle));
    EXPECT_EQ(CAB_DECODER_BAD_HANDLE, MszipDestroy(handle));
    EXPECT_EQ(CAB_DECODER_BAD_HANDLE, MszipReset(nullptr));
    for (void* p : g_kept)
        free(p);
    g_kept.clear();
}

TEST(MszipDecoder, HandMadeBlocks) {
    std::vector<std::string> blocks;
    std::vector<std::string> names;
    auto add = [&](const char* name, const std::string& block) {
        names.push_back(name);
        blocks.push_back(block);
    };
    {
        Dynamic d;
        d.Header(true, 258, 1);
        d.Lengths(SmallLitlen());
        d.Lengths({1});
        SmallBody(d);
        add("small dynamic", d.Finish());
    }
    {
        // The first lengths are symbol 16: it repeats length 0.
        Dynamic d;
        d.Header(true, 258, 1);
        d.Symbol(16);
        d.bits.Put(3, 2);  // 6 zeros
        d.Symbol(17);
        d.bits.Put(7, 3);  // 10 zeros
        d.Symbol(18);
        d.bits.Put(81 - 11, 7);  // 81 zeros: 97 in all
        d.Symbol(1);             // 'a'
        d.Symbol(18);
        d.bits.Put(138 - 11, 7);
        d.Symbol(18);
        d.bits.Put(20 - 11, 7);  // 158 zeros up to 255
        d.Symbol(2);
        d.Symbol(2);
        d.Symbol(1);  // the distance code
        SmallBody(d);
        add("repeat 16 first", d.Finish());
    }
    {
        Dynamic d;
        d.Header(true, 287, 1);
        add("HLIT 287", d.Finish());
    }
    {
        Dynamic d;
        d.Header(true, 258, 1);
        std::vector<int> l = SmallLitlen();
        l[257] = 0;  // 'a' and end of block use 3/4 of the code space
        d.Lengths(l);
        d.Lengths({1});
        add("incomplete literal/length code", d.Finish());
    }
    {
        Dynamic d;
        d.Header(true, 258, 1);
        std::vector<int> l = SmallLitlen();
        l[256] = 1;
        l[257] = 1;
        d.Lengths(l);
        d.Lengths({1});
        add("over-subscribed literal/length code", d.Finish());
    }
    {
        Dynamic d;
        d.Header(true, 258, 1);
        d.Lengths(SmallLitlen());
        d.Symbol(16);  // a repeat past the end of the lengths
        d.bits.Put(3, 2);
        add("repeat past the end", d.Finish());
    }
    {
        Dynamic d;
        d.Header(true, 258, 1);
        d.Lengths(SmallLitlen());
        d.Lengths({0});  // no distance code at all, yet a match follows
        SmallBody(d);
        add("match with an empty distance code", d.Finish());
    }
    add("stored", StoredBlock("stored bytes", true));
    add("stored NLEN wrong", StoredBlock("stored bytes", false));
    add("stored LEN beyond the input", StoredBlock("stored bytes", true).substr(0, 10));
    add("CJ signature", std::string("CJ") + StoredBlock("x", true).substr(2));
    add("one byte", "C");
    {
        KitBits b;
        b.Put(1, 1);
        b.Put(3, 2);
        add("block type 3", "CK" + b.Finish());
    }
    {
        KitBits b;
        b.Put(1, 1);
        b.Put(1, 2);
        for (char c : std::string("fixed"))
            b.FixedLiteral(static_cast<uint8_t>(c));
        b.FixedMatch(10, 5);
        b.FixedLiteral(256);
        add("fixed", "CK" + b.Finish());
    }
    {
        KitBits b;
        b.Put(1, 1);
        b.Put(1, 2);
        b.FixedLiteral('z');
        b.FixedMatch(3, 2);  // reaches before the first byte of a fresh folder
        b.FixedLiteral(256);
        add("distance before the folder's start", "CK" + b.Finish());
    }
    {
        KitBits b;
        b.Put(1, 1);
        b.Put(1, 2);
        b.FixedLiteral(286);
        add("length symbol 286", "CK" + b.Finish());
    }

    // block name, status, output, reason
    static const struct {
        const char* name;
        int32_t status;
        const char* output;
        const char* why;
    } cases[] = {
        {"small dynamic", CAB_DECODER_OK, "aaaa", "a distance code of one length-1 code is accepted"},
        {"repeat 16 first", CAB_DECODER_OK, "aaaa", "16 before any length repeats 0"},
        {"HLIT 287", CAB_DECODER_DATA_ERROR, "", "more than 286 literal/length codes"},
        {"incomplete literal/length code", CAB_DECODER_DATA_ERROR, "", "incomplete codes are refused"},
        {"over-subscribed literal/length code", CAB_DECODER_DATA_ERROR, "", "over-subscribed codes are refused"},
        {"repeat past the end", CAB_DECODER_DATA_ERROR, "", "a repeat may not pass HLIT + HDIST"},
        {"match with an empty distance code", CAB_DECODER_DATA_ERROR, "a", "looking up in an empty table"},
        {"stored", CAB_DECODER_OK, "stored bytes", "a stored block"},
        {"stored NLEN wrong", CAB_DECODER_DATA_ERROR, "", "NLEN must be LEN's complement"},
        {"stored LEN beyond the input", CAB_DECODER_DATA_ERROR, "", "LEN beyond the bytes left"},
        {"CJ signature", CAB_DECODER_DATA_ERROR, "", "the signature must be CK"},
        {"one byte", CAB_DECODER_DATA_ERROR, "", "shorter than the signature"},
        {"block type 3", CAB_DECODER_DATA_ERROR, "", "the reserved block type"},
        {"fixed", CAB_DECODER_OK, "fixedfixedfixed", "fixed codes with an overlapping match"},
        {"distance before the folder's start", CAB_DECODER_DATA_ERROR, "z", "no history after a reset"},
        {"length symbol 286", CAB_DECODER_DATA_ERROR, "", "286 and 287 are invalid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.why);
        size_t i = 0;
        while (i < names.size() && names[i] != c.name)
            ++i;
        ASSERT_LT(i, names.size());
        MemReset();
        Decoder d;
        std::string out;
        int32_t status = d.Decode(blocks[i], &out);
        EXPECT_EQ(c.status, status) << "expected status " << c.status << ", got " << status;
        if (status == CAB_DECODER_OK) {
            EXPECT_EQ(c.output, out);
        }
    }
}

TEST(MszipDecoder, CutShortDataIsADataError) {
    // Zero bits past the cut can decode to a full block of wrong bytes: the block must still fail.
    std::string data = KitContent(32768, 21);
    std::string block = ZlibBlock(data, "", 6, Z_DEFAULT_STRATEGY);
    for (size_t cut : {block.size() - 1, block.size() / 2, size_t{3}}) {
        SCOPED_TRACE("cut to " + std::to_string(cut) + " of " + std::to_string(block.size()) + " bytes");
        Decoder d;
        std::string out;
        int32_t status = d.Decode(block.substr(0, cut), &out);
        // Only a cut through padding bits may still decode, and then to the right bytes.
        if (status == CAB_DECODER_OK) {
            EXPECT_TRUE(out == data) << "a cut block produced wrong bytes";
        } else {
            EXPECT_EQ(CAB_DECODER_DATA_ERROR, status);
        }
    }
}

TEST(MszipDecoder, RoundTripsZlibBlocksWithHistory) {
    // level, strategy, chained history, reason
    static const struct {
        int level;
        int strategy;
        bool chained;
        const char* why;
    } cases[] = {
        {6, Z_DEFAULT_STRATEGY, true, "dynamic blocks reaching into the previous block"},
        {9, Z_DEFAULT_STRATEGY, false, "independent dynamic blocks"},
        {6, Z_FIXED, true, "fixed blocks with history"},
        {0, Z_DEFAULT_STRATEGY, true, "stored deflate blocks"},
        {1, Z_HUFFMAN_ONLY, false, "literals only"},
        {6, Z_RLE, true, "distance-1 runs"},
    };
    std::string data = KitContent(5 * 32768 + 1234, 31);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Decoder d;
        std::string all;
        for (size_t at = 0; at < data.size(); at += 32768) {
            std::string piece = data.substr(at, 32768);
            std::string dictionary = c.chained && at ? data.substr(at - 32768, 32768) : "";
            std::string out;
            ASSERT_EQ(CAB_DECODER_OK, d.Decode(ZlibBlock(piece, dictionary, c.level, c.strategy), &out))
                << "block at " << at;
            ASSERT_EQ(piece.size(), out.size()) << "block at " << at;
            all += out;
        }
        EXPECT_TRUE(all == data) << "decoded bytes differ from the original";
    }
}

TEST(MszipDecoder, StopsWhereTheBudgetRunsOut) {
    std::string data = KitContent(30000, 41);
    std::string block = ZlibBlock(data, "", 6, Z_DEFAULT_STRATEGY);
    for (uint32_t room : {1u, 100u, 258u, 4097u, 29999u}) {
        SCOPED_TRACE("room " + std::to_string(room));
        Decoder d;
        std::string out;
        ASSERT_EQ(CAB_DECODER_OK, d.Decode(block, &out, room));
        EXPECT_EQ(room, out.size());
        EXPECT_TRUE(out == data.substr(0, room));
    }
}

TEST(MszipDecoder, ResetForgetsTheHistory) {
    std::string first = KitContent(32768, 51);
    std::string second = first.substr(0, 5000);
    Decoder d;
    std::string out;
    ASSERT_EQ(CAB_DECODER_OK, d.Decode(ZlibBlock(first, "", 6, Z_DEFAULT_STRATEGY), &out));
    std::string chained = ZlibBlock(second, first, 6, Z_DEFAULT_STRATEGY);
    ASSERT_EQ(CAB_DECODER_OK, MszipReset(d.handle));
    EXPECT_EQ(CAB_DECODER_DATA_ERROR, d.Decode(chained, &out)) << "a new folder has no previous block";
}
