// MSZIP decoder: table-driven inflate of "CK" blocks whose history is the caller's 32 KiB output buffer.
#include "mszip.h"

#include <string.h>

namespace {

constexpr uint32_t WINDOW = CAB_BLOCK_MAX;
constexpr uint32_t SLACK = 12;  // compressed-buffer size = maximum block size + this

// A table entry: bits 0-7 the code bits to consume, 8-15 the op, 16-31 the value.
// op 0-13: length or distance base in value with op extra bits; 15 end of block; 16 literal;
// 17-32 link to a subtable of (op - 16) bits at offset value; 99 invalid code.
// Subtable entries count the whole code length in their bits, so one shift consumes a long code.
using HuffEntry = uint32_t;
constexpr uint32_t OP_END = 15;
constexpr uint32_t OP_LITERAL = 16;
constexpr uint32_t OP_INVALID = 99;

constexpr HuffEntry MakeEntry(uint32_t bits, uint32_t op, uint32_t value) {
    return bits | (op << 8) | (value << 16);
}
constexpr HuffEntry INVALID_ENTRY = MakeEntry(0, OP_INVALID, 0);

inline uint32_t EntryBits(HuffEntry e) {
    return e & 0xFF;
}
inline uint32_t EntryOp(HuffEntry e) {
    return (e >> 8) & 0xFF;
}
inline uint32_t EntryValue(HuffEntry e) {
    return e >> 16;
}

// Lookup bits and table areas. An area holds the root table and its subtables; a complete code
// has at least two codes under every subtable, so n symbols need at most 2^root + (n / 2) subtables
// of at most 2^(15 - root) entries.
constexpr uint32_t LITLEN_ROOT = 10;
constexpr uint32_t DIST_ROOT = 8;
constexpr uint32_t CODELEN_ROOT = 7;
constexpr uint32_t LITLEN_AREA = (1u << LITLEN_ROOT) + (286 / 2) * (1u << (15 - LITLEN_ROOT));
constexpr uint32_t DIST_AREA = (1u << DIST_ROOT) + (30 / 2) * (1u << (15 - DIST_ROOT));
constexpr uint32_t CODELEN_AREA = 1u << CODELEN_ROOT;
constexpr uint32_t FIXED_LITLEN_ROOT = 9;
constexpr uint32_t FIXED_DIST_ROOT = 5;

constexpr uint32_t MAX_CODE_BITS = 15;

enum BuildResult { BUILD_OK = 0, BUILD_INCOMPLETE = 1, BUILD_OVERSUBSCRIBED = 2, BUILD_TOO_BIG = 3 };

// RFC 1951, 3.2.5. Length symbols 286 and 287 are invalid.
const uint16_t LENGTH_BASE[31] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
                                  35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t LENGTH_EXTRA[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,          2,         2,
                                  3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, OP_INVALID, OP_INVALID};
const uint16_t DIST_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DIST_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const uint8_t CODELEN_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct MszipState {
    bool fixed_built;
    uint32_t history;  // bytes of the previous block usable behind the buffer start: 0 or WINDOW
    uint32_t fixed_litlen_bits;
    uint32_t fixed_dist_bits;
    HuffEntry fixed_litlen[1u << FIXED_LITLEN_ROOT];
    HuffEntry fixed_dist[1u << FIXED_DIST_ROOT];
    HuffEntry codelen[CODELEN_AREA];
    HuffEntry litlen[LITLEN_AREA];
    HuffEntry dist[DIST_AREA];
    uint8_t lengths[286 + 30];
};

uint32_t ReverseBits(uint32_t code, uint32_t length) {
    code = ((code & 0x5555) << 1) | ((code >> 1) & 0x5555);
    code = ((code & 0x3333) << 2) | ((code >> 2) & 0x3333);
    code = ((code & 0x0F0F) << 4) | ((code >> 4) & 0x0F0F);
    code = ((code & 0x00FF) << 8) | ((code >> 8) & 0x00FF);
    return code >> (16 - length);
}

// Builds a decoding table for the code lengths of n symbols into area. Symbols below literal_count
// are literals (256 the end of block), the others take base and extra from the given tables.
// *root_bits is clamped to the code lengths present and handed back.
BuildResult BuildTable(const uint8_t* lengths,
                       uint32_t n,
                       uint32_t literal_count,
                       const uint16_t* base,
                       const uint8_t* extra,
                       HuffEntry* area,
                       uint32_t capacity,
                       uint32_t* root_bits) {
    uint32_t count[MAX_CODE_BITS + 1] = {};
    for (uint32_t i = 0; i < n; ++i)
        ++count[lengths[i]];
    count[0] = 0;
    uint32_t min_length = 1;
    while (min_length <= MAX_CODE_BITS && count[min_length] == 0)
        ++min_length;
    if (min_length > MAX_CODE_BITS) {
        // An empty code: every lookup lands on an invalid entry.
        *root_bits = 0;
        area[0] = INVALID_ENTRY;
        return BUILD_OK;
    }
    uint32_t max_length = MAX_CODE_BITS;
    while (count[max_length] == 0)
        --max_length;
    uint32_t root = *root_bits;
    if (root < min_length)
        root = min_length;
    if (root > max_length)
        root = max_length;
    *root_bits = root;

    int32_t left = 1;
    for (uint32_t len = 1; len <= MAX_CODE_BITS; ++len) {
        left = (left << 1) - static_cast<int32_t>(count[len]);
        if (left < 0)
            return BUILD_OVERSUBSCRIBED;
    }
    bool incomplete = left > 0;

    // Symbols sorted by code length, then by symbol: the canonical order of RFC 1951, 3.2.2.
    uint16_t offsets[MAX_CODE_BITS + 2];
    offsets[1] = 0;
    for (uint32_t len = 1; len <= MAX_CODE_BITS; ++len)
        offsets[len + 1] = static_cast<uint16_t>(offsets[len] + count[len]);
    uint16_t sorted[320];
    for (uint32_t i = 0; i < n; ++i) {
        if (lengths[i])
            sorted[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
    }
    uint32_t total = offsets[MAX_CODE_BITS + 1];

    uint32_t root_size = 1u << root;
    if (root_size > capacity)
        return BUILD_TOO_BIG;
    if (incomplete) {
        for (uint32_t i = 0; i < root_size; ++i)
            area[i] = INVALID_ENTRY;
    }
    uint32_t used = root_size;

    uint32_t code = 0;  // canonical code of the current symbol, most significant bit first
    uint32_t len = min_length;
    uint32_t remaining[MAX_CODE_BITS + 1];
    memcpy(remaining, count, sizeof(count));
    uint32_t sub_prefix = ~0u;  // root-bit prefix (reversed) of the current subtable
    uint32_t sub_start = 0;
    uint32_t sub_bits = 0;
    for (uint32_t k = 0; k < total; ++k) {
        uint32_t symbol = sorted[k];
        while (remaining[len] == 0) {
            ++len;
            code <<= 1;
        }
        uint32_t op;
        uint32_t value;
        if (symbol < literal_count) {
            op = symbol < 256 ? OP_LITERAL : OP_END;
            value = symbol < 256 ? symbol : 0;
        } else {
            op = extra[symbol - literal_count];
            value = op == OP_INVALID ? 0 : base[symbol - literal_count];
        }
        uint32_t reversed = ReverseBits(code, len);
        if (len <= root) {
            HuffEntry e = MakeEntry(len, op, value);
            for (uint32_t i = reversed; i < root_size; i += 1u << len)
                area[i] = e;
        } else {
            uint32_t prefix = reversed & (root_size - 1);
            if (prefix != sub_prefix) {
                // A new subtable: as wide as needed for the codes that share this prefix to fill it.
                sub_prefix = prefix;
                sub_bits = len - root;
                int32_t room = 1 << sub_bits;
                while (sub_bits + root < max_length) {
                    room -= static_cast<int32_t>(remaining[sub_bits + root]);
                    if (room <= 0)
                        break;
                    ++sub_bits;
                    room <<= 1;
                }
                uint32_t sub_size = 1u << sub_bits;
                if (used + sub_size > capacity)
                    return BUILD_TOO_BIG;
                sub_start = used;
                used += sub_size;
                for (uint32_t i = 0; i < sub_size; ++i)
                    area[sub_start + i] = INVALID_ENTRY;
                area[prefix] = MakeEntry(root, OP_LITERAL + sub_bits, sub_start);
            }
            HuffEntry e = MakeEntry(len, op, value);
            for (uint32_t i = reversed >> root; i < (1u << sub_bits); i += 1u << (len - root))
                area[sub_start + i] = e;
        }
        --remaining[len];
        ++code;
    }
    if (incomplete && max_length != 1)
        return BUILD_INCOMPLETE;
    return BUILD_OK;
}

bool BuildFixedTables(MszipState* s) {
    uint8_t lengths[288];
    for (uint32_t i = 0; i < 288; ++i)
        lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    s->fixed_litlen_bits = FIXED_LITLEN_ROOT;
    if (BuildTable(lengths, 288, 257, LENGTH_BASE, LENGTH_EXTRA, s->fixed_litlen, 1u << FIXED_LITLEN_ROOT,
                   &s->fixed_litlen_bits) != BUILD_OK)
        return false;
    for (uint32_t i = 0; i < 30; ++i)
        lengths[i] = 5;
    s->fixed_dist_bits = FIXED_DIST_ROOT;
    BuildResult result =
        BuildTable(lengths, 30, 0, DIST_BASE, DIST_EXTRA, s->fixed_dist, 1u << FIXED_DIST_ROOT, &s->fixed_dist_bits);
    // The fixed distance code leaves two of its 32 codes unused.
    if (result != BUILD_OK && result != BUILD_INCOMPLETE)
        return false;
    s->fixed_built = true;
    return true;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Bits leave from bit 0. Past the end of the input, zero bytes are supplied for as long as asked.
struct BitReader {
    const uint8_t* start;
    const uint8_t* in;
    const uint8_t* end;
    uint64_t buffer;
    uint32_t count;    // valid bits held; bits above them are zero or the next input bits
    uint32_t overrun;  // zero bytes supplied past the end
};

// Leaves 56 to 63 bits held.
inline void RefillCareful(BitReader& b) {
    while (b.count < 56) {
        uint64_t byte = 0;
        if (b.in < b.end)
            byte = *b.in++;
        else
            ++b.overrun;
        b.buffer |= byte << b.count;
        b.count += 8;
    }
}

// Needs 8 readable bytes at b.in; leaves at least 56 bits held.
inline void RefillFast(BitReader& b) {
    b.buffer |= Load64(b.in) << b.count;
    b.in += (63 - b.count) >> 3;
    b.count |= 56;
}

inline uint32_t PeekBits(const BitReader& b, uint32_t n) {
    return static_cast<uint32_t>(b.buffer & ((uint64_t{1} << n) - 1));
}

inline void DropBits(BitReader& b, uint32_t n) {
    b.buffer >>= n;
    b.count -= n;
}

uint32_t GetBits(BitReader& b, uint32_t n) {
    if (b.count < n)
        RefillCareful(b);
    uint32_t v = PeekBits(b, n);
    DropBits(b, n);
    return v;
}

// Byte position of the next unread bit's byte, counting supplied zero bytes.
inline uint64_t BytePosition(const BitReader& b) {
    return static_cast<uint64_t>(b.in - b.start) + b.overrun - (b.count >> 3);
}

// Copies len bytes from src to dst, dst > src, repeating bytes just written when they overlap.
inline void LzCopy(uint8_t* dst, const uint8_t* src, uint32_t len) {
    size_t distance = static_cast<size_t>(dst - src);
    if (distance >= 8) {
        if (len >= 8) {
            // Whole 8-byte steps read only finished bytes; the last step ends exactly at len.
            uint32_t i = 0;
            for (; i + 8 <= len; i += 8)
                memcpy(dst + i, src + i, 8);
            if (i != len)
                memcpy(dst + len - 8, src + len - 8, 8);
            return;
        }
        if (len >= 4) {
            uint32_t head;
            uint32_t tail;
            memcpy(&head, src, 4);
            memcpy(&tail, src + len - 4, 4);
            memcpy(dst, &head, 4);
            memcpy(dst + len - 4, &tail, 4);
            return;
        }
    } else if (distance == 1) {
        memset(dst, *src, len);
        return;
    }
    for (uint32_t i = 0; i < len; ++i)
        dst[i] = src[i];
}

struct Output {
    uint8_t* start;  // the window: WINDOW bytes, the previous block's bytes behind the cursor
    uint8_t* cursor;
    uint8_t* end;  // where the budget runs out
    uint32_t history;
};

// Copies a match; false when it reaches behind the bytes this folder has produced.
inline bool CopyMatch(Output& o, uint32_t distance, uint32_t length) {
    uint32_t produced = static_cast<uint32_t>(o.cursor - o.start);
    if (distance <= produced) {
        LzCopy(o.cursor, o.cursor - distance, length);
        o.cursor += length;
        return true;
    }
    if (distance > produced + o.history)
        return false;
    // The source lies in the previous block's tail and runs on into this block's start.
    uint8_t* source = o.cursor + (WINDOW - distance);
    uint32_t tail = distance - produced;
    if (tail >= length) {
        memmove(o.cursor, source, length);
        o.cursor += length;
        return true;
    }
    memmove(o.cursor, source, tail);
    o.cursor += tail;
    LzCopy(o.cursor, o.start, length - tail);
    o.cursor += length - tail;
    return true;
}

enum CodesResult { CODES_END, CODES_BUDGET, CODES_ERROR };

inline HuffEntry Lookup(const HuffEntry* table, uint32_t root, uint64_t bits) {
    HuffEntry e = table[bits & ((uint64_t{1} << root) - 1)];
    uint32_t op = EntryOp(e);
    if (op > OP_LITERAL && op != OP_INVALID)
        e = table[EntryValue(e) + ((bits >> root) & ((uint64_t{1} << (op - OP_LITERAL)) - 1))];
    return e;
}

// Decodes literal/length and distance codes until the end of the block or of the budget.
CodesResult DecodeCodes(BitReader& b,
                        Output& o,
                        const HuffEntry* litlen,
                        uint32_t litlen_bits,
                        const HuffEntry* dist,
                        uint32_t dist_bits) {
    // Fast loop: enough input for whole-word refills and room for the longest match. After a
    // refill 56 bits cover a length code with its extra bits (20) and a distance with its (28).
    while (b.end - b.in >= 8 && o.end - o.cursor >= 258) {
        RefillFast(b);
        HuffEntry e = Lookup(litlen, litlen_bits, b.buffer);
        uint32_t op = EntryOp(e);
        if (op == OP_LITERAL) {
            // A second literal fits in the bits left; anything else waits for the next refill.
            DropBits(b, EntryBits(e));
            *o.cursor++ = static_cast<uint8_t>(EntryValue(e));
            e = Lookup(litlen, litlen_bits, b.buffer);
            if (EntryOp(e) == OP_LITERAL) {
                DropBits(b, EntryBits(e));
                *o.cursor++ = static_cast<uint8_t>(EntryValue(e));
            }
            continue;
        }
        if (op <= 13) {
            uint32_t n = EntryBits(e);
            uint32_t length = EntryValue(e) + static_cast<uint32_t>((b.buffer >> n) & ((1u << op) - 1));
            DropBits(b, n + op);
            HuffEntry d = Lookup(dist, dist_bits, b.buffer);
            uint32_t dop = EntryOp(d);
            if (dop > 13)
                return CODES_ERROR;
            n = EntryBits(d);
            uint32_t distance = EntryValue(d) + static_cast<uint32_t>((b.buffer >> n) & ((1u << dop) - 1));
            DropBits(b, n + dop);
            if (!CopyMatch(o, distance, length))
                return CODES_ERROR;
            continue;
        }
        if (op == OP_END) {
            DropBits(b, EntryBits(e));
            return CODES_END;
        }
        return CODES_ERROR;
    }

    // Careful loop: byte-wise refills with zero fill past the end, budget checked at every byte.
    for (;;) {
        if (o.cursor == o.end)
            return CODES_BUDGET;
        RefillCareful(b);
        HuffEntry e = Lookup(litlen, litlen_bits, b.buffer);
        uint32_t op = EntryOp(e);
        if (op == OP_LITERAL) {
            DropBits(b, EntryBits(e));
            *o.cursor++ = static_cast<uint8_t>(EntryValue(e));
            continue;
        }
        if (op == OP_END) {
            DropBits(b, EntryBits(e));
            return CODES_END;
        }
        if (op > 13)
            return CODES_ERROR;
        uint32_t n = EntryBits(e);
        uint32_t length = EntryValue(e) + static_cast<uint32_t>((b.buffer >> n) & ((1u << op) - 1));
        DropBits(b, n + op);
        HuffEntry d = Lookup(dist, dist_bits, b.buffer);
        uint32_t dop = EntryOp(d);
        if (dop > 13)
            return CODES_ERROR;
        n = EntryBits(d);
        uint32_t distance = EntryValue(d) + static_cast<uint32_t>((b.buffer >> n) & ((1u << dop) - 1));
        DropBits(b, n + dop);
        uint32_t room = static_cast<uint32_t>(o.end - o.cursor);
        if (length > room)
            length = room;
        if (!CopyMatch(o, distance, length))
            return CODES_ERROR;
    }
}

bool DecodeStored(BitReader& b, Output& o) {
    DropBits(b, b.count & 7);
    uint32_t length = GetBits(b, 16);
    uint32_t complement = GetBits(b, 16);
    if (length != (~complement & 0xFFFF))
        return false;
    uint64_t position = BytePosition(b);
    uint64_t size = static_cast<uint64_t>(b.end - b.start);
    uint64_t left = position < size ? size - position : 0;
    if (length > left)
        return false;
    uint32_t room = static_cast<uint32_t>(o.end - o.cursor);
    uint32_t count = length < room ? length : room;
    memcpy(o.cursor, b.start + position, count);
    o.cursor += count;
    b.in = b.start + position + length;
    b.buffer = 0;
    b.count = 0;
    b.overrun = 0;
    return true;
}

bool DecodeDynamicHeader(MszipState* s, BitReader& b, uint32_t* litlen_bits, uint32_t* dist_bits) {
    uint32_t hlit = GetBits(b, 5) + 257;
    uint32_t hdist = GetBits(b, 5) + 1;
    uint32_t hclen = GetBits(b, 4) + 4;
    if (hlit > 286 || hdist > 30)
        return false;
    uint8_t codelen_lengths[19] = {};
    for (uint32_t i = 0; i < hclen; ++i)
        codelen_lengths[CODELEN_ORDER[i]] = static_cast<uint8_t>(GetBits(b, 3));
    uint32_t codelen_bits = CODELEN_ROOT;
    if (BuildTable(codelen_lengths, 19, 19, nullptr, nullptr, s->codelen, CODELEN_AREA, &codelen_bits) != BUILD_OK)
        return false;

    uint32_t total = hlit + hdist;
    uint8_t* lengths = s->lengths;
    uint32_t i = 0;
    uint32_t previous = 0;
    while (i < total) {
        RefillCareful(b);
        HuffEntry e = s->codelen[PeekBits(b, codelen_bits)];
        if (EntryOp(e) != OP_LITERAL)
            return false;
        DropBits(b, EntryBits(e));
        uint32_t symbol = EntryValue(e);
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        uint32_t repeat;
        uint32_t value = 0;
        if (symbol == 16) {
            repeat = 3 + GetBits(b, 2);
            value = previous;
        } else if (symbol == 17) {
            repeat = 3 + GetBits(b, 3);
            previous = 0;
        } else {
            repeat = 11 + GetBits(b, 7);
            previous = 0;
        }
        if (i + repeat > total)
            return false;
        memset(lengths + i, static_cast<int>(value), repeat);
        i += repeat;
    }

    *litlen_bits = LITLEN_ROOT;
    if (BuildTable(lengths, hlit, 257, LENGTH_BASE, LENGTH_EXTRA, s->litlen, LITLEN_AREA, litlen_bits) != BUILD_OK)
        return false;
    *dist_bits = DIST_ROOT;
    return BuildTable(lengths + hlit, hdist, 0, DIST_BASE, DIST_EXTRA, s->dist, DIST_AREA, dist_bits) == BUILD_OK;
}

}  // namespace

struct MszipDecoder {
    uint32_t tag;
    CabAllocFn alloc;
    CabFreeFn free_fn;
    uint32_t max_block;
    MszipState* state;
};

int32_t MszipCreate(uint32_t* max_block_size,
                    CabAllocFn alloc,
                    CabFreeFn free_fn,
                    uint32_t* compressed_buffer_size,
                    MszipDecoder** handle) {
    if (!max_block_size || !compressed_buffer_size)
        return CAB_DECODER_BAD_PARAMETER;
    if (*max_block_size == 0 || *max_block_size > CAB_BLOCK_MAX)
        *max_block_size = CAB_BLOCK_MAX;
    *compressed_buffer_size = *max_block_size + SLACK;
    if (!handle)
        return CAB_DECODER_OK;
    *handle = nullptr;
    if (!alloc || !free_fn)
        return CAB_DECODER_BAD_PARAMETER;
    MszipDecoder* decoder = static_cast<MszipDecoder*>(alloc(sizeof(MszipDecoder)));
    if (!decoder)
        return CAB_DECODER_NO_MEMORY;
    MszipState* state = static_cast<MszipState*>(alloc(sizeof(MszipState)));
    if (!state) {
        free_fn(decoder);
        return CAB_DECODER_NO_MEMORY;
    }
    memset(state, 0, sizeof(*state));
    decoder->alloc = alloc;
    decoder->free_fn = free_fn;
    decoder->max_block = *max_block_size;
    decoder->state = state;
    decoder->tag = MSZIP_TAG;
    *handle = decoder;
    return CAB_DECODER_OK;
}

int32_t MszipDecompress(MszipDecoder* handle,
                        const uint8_t* input,
                        uint32_t input_size,
                        uint8_t* output,
                        uint32_t* output_size) {
    if (!handle || handle->tag != MSZIP_TAG)
        return CAB_DECODER_BAD_HANDLE;
    if (input_size > handle->max_block + SLACK || !output || !output_size || (!input && input_size))
        return CAB_DECODER_BAD_PARAMETER;
    MszipState* s = handle->state;
    if (!s->fixed_built && !BuildFixedTables(s))
        return CAB_DECODER_DATA_ERROR;
    uint32_t budget = *output_size < handle->max_block ? *output_size : handle->max_block;
    *output_size = 0;
    // Until this block decodes, the buffer no longer holds one whole previous block.
    uint32_t history = s->history;
    s->history = 0;
    if (input_size < 2 || input[0] != 'C' || input[1] != 'K')
        return CAB_DECODER_DATA_ERROR;

    BitReader b = {input + 2, input + 2, input + input_size, 0, 0, 0};
    Output o = {output, output, output + budget, history};
    bool last = false;
    while (!last && o.cursor < o.end) {
        last = GetBits(b, 1) != 0;
        uint32_t type = GetBits(b, 2);
        CodesResult result = CODES_END;
        if (type == 0) {
            if (!DecodeStored(b, o))
                return CAB_DECODER_DATA_ERROR;
        } else if (type == 1) {
            result = DecodeCodes(b, o, s->fixed_litlen, s->fixed_litlen_bits, s->fixed_dist, s->fixed_dist_bits);
        } else if (type == 2) {
            uint32_t litlen_bits;
            uint32_t dist_bits;
            if (!DecodeDynamicHeader(s, b, &litlen_bits, &dist_bits))
                return CAB_DECODER_DATA_ERROR;
            result = DecodeCodes(b, o, s->litlen, litlen_bits, s->dist, dist_bits);
        } else {
            return CAB_DECODER_DATA_ERROR;
        }
        if (result == CODES_ERROR)
            return CAB_DECODER_DATA_ERROR;
    }
    // Zero bits past the end let decoding run on, but a block that needed them is cut short: its
    // bytes from the cut on are wrong even when their count happens to come out right.
    uint64_t consumed_bits = 8 * (static_cast<uint64_t>(b.in - b.start) + b.overrun) - b.count;
    if (consumed_bits > 8 * static_cast<uint64_t>(b.end - b.start))
        return CAB_DECODER_DATA_ERROR;
    uint32_t produced = static_cast<uint32_t>(o.cursor - output);
    *output_size = produced;
    s->history = produced == WINDOW ? WINDOW : 0;
    return CAB_DECODER_OK;
}

int32_t MszipReset(MszipDecoder* handle) {
    if (!handle || handle->tag != MSZIP_TAG)
        return CAB_DECODER_BAD_HANDLE;
    handle->state->history = 0;
    return CAB_DECODER_OK;
}

int32_t MszipDestroy(MszipDecoder* handle) {
    if (!handle || handle->tag != MSZIP_TAG)
        return CAB_DECODER_BAD_HANDLE;
    handle->tag = 0;
    CabFreeFn free_fn = handle->free_fn;
    free_fn(handle->state);
    free_fn(handle);
    return CAB_DECODER_OK;
}
