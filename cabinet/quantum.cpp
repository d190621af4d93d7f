// Quantum decoder: adaptive arithmetic decoding of literals and matches into a window kept in memory or in pages.
#include "quantum.h"

#include <string.h>

// The hot path must be inlined into the block loop so that the coder stays in registers.
#if defined(__GNUC__)
#define QUANTUM_HOT inline __attribute__((always_inline))
#else
#define QUANTUM_HOT inline
#endif

namespace {

// The slot tables are written out for reading; these checks keep them equal to the rules they come from.
constexpr bool SlotTablesFollowRules() {
    for (uint32_t k = 0; k < QUANTUM_LENGTH_SLOTS; ++k) {
        const uint32_t extra = (k < 6 || k == 26) ? 0 : (k - 2) / 4;
        if (QUANTUM_LENGTH_EXTRA[k] != extra)
            return false;
        if (k > 0 && QUANTUM_LENGTH_BASE[k] != QUANTUM_LENGTH_BASE[k - 1] + (1u << QUANTUM_LENGTH_EXTRA[k - 1]))
            return false;
    }
    for (uint32_t k = 0; k < QUANTUM_POSITION_SLOTS; ++k) {
        const uint32_t extra = k < 4 ? 0 : k / 2 - 1;
        if (QUANTUM_POSITION_EXTRA[k] != extra)
            return false;
        if (k > 0 && QUANTUM_POSITION_BASE[k] != QUANTUM_POSITION_BASE[k - 1] + (1u << QUANTUM_POSITION_EXTRA[k - 1]))
            return false;
    }
    return QUANTUM_LENGTH_BASE[0] == 0 && QUANTUM_POSITION_BASE[0] == 0;
}
static_assert(SlotTablesFollowRules(), "slot tables");
static_assert(QUANTUM_POSITION_BASE[41] + (1u << 19) == 1u << 21, "the largest window is covered exactly");

enum : uint32_t {
    CUMULATIVE_LIMIT = 3800,
    FREQUENCY_STEP = 8,
    FIRST_COUNTDOWN = 4,
    REBUILD_INTERVAL = 50,
};

struct QuantumPageBuffer {
    uint8_t data[QUANTUM_PAGE_SIZE];
    int32_t page;  // -1 while free
    bool dirty;
    QuantumPageBuffer* newer;  // towards the most recently used
    QuantumPageBuffer* older;
};

struct QuantumPageEntry {
    QuantumPageBuffer* buffer;  // null while the page is not in memory
    bool written;               // the page has a copy in the work file
};

struct QuantumPagedWindow {
    intptr_t work_file;
    QuantumPageEntry* table;
    uint32_t count;  // pages in the table
    uint32_t span;   // count * page size: the paged window wraps here
    uint32_t buffer_count;
    QuantumPageBuffer* most_recent;
    QuantumPageBuffer* least_recent;
    QuantumPageBuffer* write_page;
    uint32_t write_page_number;
    uint32_t write_cursor;
};

// Module-wide working state; belongs to `owner`, the handle whose window is set up in it.
struct QuantumState {
    QuantumDecoder* current;
    QuantumDecoder* owner;

    int window_bits;
    uint32_t window_size;
    uint32_t window_mask;
    uint32_t position;
    uint8_t* window;  // null when paged
    uint32_t write_index;
    bool paged;
    QuantumPagedWindow pages;

    uint8_t* output;
    uint16_t remaining;
    const uint8_t* input;
    uint32_t input_left;
    uint32_t bit_byte;
    uint32_t bits_left;
    uint16_t low;
    uint16_t high;
    uint16_t value;
    bool overrun;
    bool exhausted;
    bool paging_error;

    QuantumModel selector;
    QuantumModel literal[4];
    QuantumModel length;
    QuantumModel position3;
    QuantumModel position4;
    QuantumModel position_long;
};

QuantumState g_quantum;

}  // namespace

struct QuantumDecoder {
    uint32_t tag;
    QuantumAllocFn alloc;
    QuantumFreeFn free_block;
    QuantumOpenFn open;
    QuantumReadFn read;
    QuantumWriteFn write;
    QuantumCloseFn close;
    QuantumSeekFn seek;
    uint32_t max_block;
    int window_bits;
};

namespace {

// ---- Models -----------------------------------------------------------------------------------------

void ModelInit(QuantumModel* model, uint32_t symbols) {
    model->symbols = symbols;
    model->countdown = FIRST_COUNTDOWN;
    for (uint32_t i = 0; i <= symbols; ++i) {
        model->entries[i].cumulative = symbols - i;
        model->entries[i].symbol = i;
    }
}

void ModelRescale(QuantumModel* model) {
    QuantumModelEntry* e = model->entries;
    const uint32_t n = model->symbols;
    if (--model->countdown == 0) {
        model->countdown = REBUILD_INTERVAL;
        for (uint32_t i = 0; i < n; ++i)
            e[i].cumulative = (e[i].cumulative - e[i + 1].cumulative + 1) / 2;
        // This exchange sort is not stable; the order it leaves is part of the format.
        for (uint32_t i = 0; i < n; ++i) {
            for (uint32_t j = i + 1; j < n; ++j) {
                if (e[i].cumulative < e[j].cumulative) {
                    QuantumModelEntry swap = e[i];
                    e[i] = e[j];
                    e[j] = swap;
                }
            }
        }
        for (uint32_t i = n; i-- > 0;)
            e[i].cumulative += e[i + 1].cumulative;
    } else {
        for (uint32_t i = n; i-- > 0;) {
            e[i].cumulative /= 2;
            if (e[i].cumulative <= e[i + 1].cumulative)
                e[i].cumulative = e[i + 1].cumulative + 1;
        }
    }
}

QUANTUM_HOT void ModelUpdate(QuantumModel* model, uint32_t index) {
    for (uint32_t i = 0; i <= index; ++i)
        model->entries[i].cumulative += FREQUENCY_STEP;
    if (model->entries[0].cumulative > CUMULATIVE_LIMIT)
        ModelRescale(model);
}

void InitModels(int window_bits) {
    QuantumState& q = g_quantum;
    ModelInit(&q.selector, 7);
    for (QuantumModel& literal : q.literal)
        ModelInit(&literal, 64);
    ModelInit(&q.length, QUANTUM_LENGTH_SLOTS);
    ModelInit(&q.position3, QuantumPositionSymbols3(window_bits));
    ModelInit(&q.position4, QuantumPositionSymbols4(window_bits));
    ModelInit(&q.position_long, QuantumPositionSymbolsLong(window_bits));
}

// ---- Arithmetic decoder -----------------------------------------------------------------------------

// The coder registers and bit reader of one block, kept in locals while the block is decoded. The
// bit reader holds up to 32 unread bits left-aligned in `bits`, the next one at the top.
struct BlockCoder {
    const uint8_t* input;
    const uint8_t* input_end;
    uint32_t bits;
    uint32_t bit_count;
    uint32_t low;
    uint32_t high;
    uint32_t value;
    bool exhausted;
};

QUANTUM_HOT void Refill(BlockCoder& c) {
    while (c.bit_count <= 24 && c.input != c.input_end) {
        c.bits |= uint32_t(*c.input++) << (24 - c.bit_count);
        c.bit_count += 8;
    }
}

QUANTUM_HOT uint32_t ReadBit(BlockCoder& c) {
    if (c.bit_count == 0) {
        Refill(c);
        if (c.bit_count == 0) {
            c.exhausted = true;  // past the input the bits are 0
            return 0;
        }
    }
    const uint32_t bit = c.bits >> 31;
    c.bits <<= 1;
    --c.bit_count;
    return bit;
}

// How many of the top bits of two 16-bit values agree (1 to 16; called when at least the top one does).
QUANTUM_HOT uint32_t LeadingEqualBits(uint32_t a, uint32_t b) {
    const uint32_t differ = ((a ^ b) << 16) | 0x8000;
#if defined(__GNUC__)
    return uint32_t(__builtin_clz(differ));
#else
    uint32_t n = 0;
    while (!(differ & (0x80000000u >> n)))
        ++n;
    return n;
#endif
}

// Reads `count` raw bits (0 to 24), most significant first.
QUANTUM_HOT uint32_t ReadBits(BlockCoder& c, uint32_t count) {
    if (count == 0)
        return 0;
    if (c.bit_count < count) {
        Refill(c);
        if (c.bit_count < count) {
            c.exhausted = true;
            c.bit_count = count;  // the missing low bits are already 0
        }
    }
    const uint32_t result = c.bits >> (32 - count);
    c.bits <<= count;
    c.bit_count -= count;
    return result;
}

// Decodes one symbol and updates the model. The range never empties whatever the input: after
// renormalisation it spans more than 0x4000, while a model total never exceeds 3808 and every
// symbol keeps a frequency of at least 1.
QUANTUM_HOT uint32_t DecodeSymbol(BlockCoder& c, QuantumModel* model) {
    QuantumModelEntry* e = model->entries;
    const uint32_t range = c.high - c.low + 1;
    const uint32_t total = e[0].cumulative;
    const uint32_t target = ((c.value - c.low + 1) * total - 1) / range;
    // The search passes exactly the entries that the update credits, so it credits them on the way;
    // the entry found is credited once its old frequency has narrowed the range.
    uint32_t i = 0;
    while (target < e[i + 1].cumulative) {
        e[i].cumulative += FREQUENCY_STEP;
        ++i;
    }
    const uint32_t symbol = e[i].symbol;
    const uint32_t old_low = c.low;
    c.high = (old_low + (e[i].cumulative * range) / total - 1) & 0xFFFF;
    c.low = (old_low + (e[i + 1].cumulative * range) / total) & 0xFFFF;
    e[i].cumulative += FREQUENCY_STEP;
    for (;;) {
        if ((c.low ^ c.high) & 0x8000) {
            if (!(c.low & 0x4000) || (c.high & 0x4000))
                break;
            c.low &= 0x3FFF;
            c.value ^= 0x4000;
            c.high |= 0x4000;
            c.low = (c.low << 1) & 0xFFFF;
            c.high = ((c.high << 1) | 1) & 0xFFFF;
            c.value = ((c.value << 1) | ReadBit(c)) & 0xFFFF;
            continue;
        }
        // All leading bits that low and high share shift out together, one input bit each.
        const uint32_t shift = LeadingEqualBits(c.low, c.high);
        c.low = (c.low << shift) & 0xFFFF;
        c.high = ((c.high << shift) | ((1u << shift) - 1)) & 0xFFFF;
        c.value = ((c.value << shift) | ReadBits(c, shift)) & 0xFFFF;
    }
    if (e[0].cumulative > CUMULATIVE_LIMIT)
        ModelRescale(model);
    return symbol;
}

// ---- Window setup and release -----------------------------------------------------------------------

void UnlinkBuffer(QuantumPagedWindow& p, QuantumPageBuffer* b) {
    if (b->newer)
        b->newer->older = b->older;
    else
        p.most_recent = b->older;
    if (b->older)
        b->older->newer = b->newer;
    else
        p.least_recent = b->newer;
    b->newer = b->older = nullptr;
}

void PushFront(QuantumPagedWindow& p, QuantumPageBuffer* b) {
    b->newer = nullptr;
    b->older = p.most_recent;
    if (p.most_recent)
        p.most_recent->newer = b;
    else
        p.least_recent = b;
    p.most_recent = b;
}

void MoveToFront(QuantumPagedWindow& p, QuantumPageBuffer* b) {
    if (p.most_recent == b)
        return;
    UnlinkBuffer(p, b);
    PushFront(p, b);
}

void ReleasePages(const QuantumDecoder* owner) {
    QuantumPagedWindow& p = g_quantum.pages;
    while (QuantumPageBuffer* b = p.most_recent) {
        UnlinkBuffer(p, b);
        owner->free_block(b);
    }
    if (p.table)
        owner->free_block(p.table);
    p.table = nullptr;
    if (p.work_file != -1 && owner->close)
        owner->close(p.work_file);
    p.work_file = -1;
    p.buffer_count = 0;
    p.write_page = nullptr;
}

void ReleaseWindow(const QuantumDecoder* owner) {
    QuantumState& q = g_quantum;
    if (q.window)
        owner->free_block(q.window);
    q.window = nullptr;
    if (q.paged)
        ReleasePages(owner);
    q.paged = false;
    q.owner = nullptr;
}

QuantumPageBuffer* GetPage(uint32_t page, bool for_writing);

void ResetPages() {
    QuantumPagedWindow& p = g_quantum.pages;
    p.write_page = nullptr;
    for (QuantumPageBuffer* b = p.most_recent; b; b = b->older) {
        b->page = -1;
        b->dirty = false;
    }
    for (uint32_t i = 0; i < p.count; ++i)
        p.table[i] = QuantumPageEntry{nullptr, false};
    // All buffers are free and page 0 was never written, so this needs no file access and cannot fail.
    p.write_page = GetPage(0, true);
    p.write_page_number = 0;
    p.write_cursor = 0;
}

bool SetUpPagedWindow(const QuantumDecoder* d) {
    QuantumState& q = g_quantum;
    QuantumPagedWindow& p = q.pages;
    p = QuantumPagedWindow{};
    p.work_file = -1;
    p.count = q.window_size / QUANTUM_PAGE_SIZE;
    if (p.count < 3)
        p.count = 3;
    p.span = p.count * QUANTUM_PAGE_SIZE;
    if (!d->open || !d->read || !d->write || !d->seek || !d->close)
        return false;
    // The file must hold every page; for windows of at least four pages that is the window size.
    char name[QUANTUM_WORK_FILE_NAME_SIZE] = {
        '*', 0, char(p.span & 0xFF), char((p.span >> 8) & 0xFF), char((p.span >> 16) & 0xFF), char(p.span >> 24)};
    p.work_file = d->open(name, QUANTUM_WORK_FILE_FLAGS, QUANTUM_WORK_FILE_MODE);
    if (p.work_file == -1)
        return false;
    q.paged = true;
    p.table = static_cast<QuantumPageEntry*>(d->alloc(p.count * sizeof(QuantumPageEntry)));
    if (!p.table) {
        ReleasePages(d);
        q.paged = false;
        return false;
    }
    while (p.buffer_count < p.count) {
        QuantumPageBuffer* b = static_cast<QuantumPageBuffer*>(d->alloc(sizeof(QuantumPageBuffer)));
        if (!b)
            break;
        b->page = -1;
        b->dirty = false;
        PushFront(p, b);
        ++p.buffer_count;
    }
    if (p.buffer_count < 3) {
        ReleasePages(d);
        q.paged = false;
        return false;
    }
    ResetPages();
    return true;
}

bool SetUpWindow(QuantumDecoder* d) {
    QuantumState& q = g_quantum;
    q.window_bits = d->window_bits;
    q.window_size = 1u << d->window_bits;
    q.window_mask = q.window_size - 1;
    q.position = 0;
    q.write_index = 0;
    q.overrun = q.exhausted = q.paging_error = false;
    q.paged = false;
    q.pages.table = nullptr;
    q.pages.most_recent = q.pages.least_recent = nullptr;
    q.pages.work_file = -1;
    q.window = static_cast<uint8_t*>(d->alloc(q.window_size));
    if (q.window) {
        // Matches reaching before the first byte of a folder then give the same bytes every time.
        memset(q.window, 0, q.window_size);
    } else if (!SetUpPagedWindow(d)) {
        return false;
    }
    q.owner = d;
    InitModels(d->window_bits);
    return true;
}

void MakeCurrent(QuantumDecoder* d) {
    g_quantum.current = d;
}

// When another decoder's window occupies the working state, releases it through its owner's
// callbacks, so that nothing leaks or is freed twice; that decoder's blocks then fail until it resets.
void TakeOver(QuantumDecoder* d) {
    QuantumState& q = g_quantum;
    if (q.owner && q.owner != d)
        ReleaseWindow(q.owner);
}

// ---- Paged window -----------------------------------------------------------------------------------

bool WorkFileSeek(const QuantumDecoder* d, uint32_t page) {
    const int32_t offset = int32_t(page * QUANTUM_PAGE_SIZE);
    return d->seek(g_quantum.pages.work_file, offset, 0) == offset;
}

QuantumPageBuffer* PagingFailed() {
    g_quantum.paging_error = true;
    return nullptr;
}

// Brings `page` into a buffer at the front of the use list, evicting the least recently used one.
QuantumPageBuffer* GetPage(uint32_t page, bool for_writing) {
    QuantumPagedWindow& p = g_quantum.pages;
    const QuantumDecoder* d = g_quantum.owner;
    QuantumPageEntry& entry = p.table[page];
    if (QuantumPageBuffer* b = entry.buffer) {
        MoveToFront(p, b);
        if (for_writing)
            b->dirty = true;
        return b;
    }
    QuantumPageBuffer* b = p.least_recent;
    if (b == p.write_page)
        return PagingFailed();
    if (b->page >= 0) {
        QuantumPageEntry& evicted = p.table[b->page];
        if (b->dirty) {
            if (!WorkFileSeek(d, uint32_t(b->page)) ||
                d->write(p.work_file, b->data, QUANTUM_PAGE_SIZE) != int32_t(QUANTUM_PAGE_SIZE))
                return PagingFailed();
            evicted.written = true;
        }
        evicted.buffer = nullptr;
        b->page = -1;
        b->dirty = false;
    }
    MoveToFront(p, b);
    if (entry.written) {
        if (!WorkFileSeek(d, page) || d->read(p.work_file, b->data, QUANTUM_PAGE_SIZE) != int32_t(QUANTUM_PAGE_SIZE))
            return PagingFailed();
    } else if (!for_writing) {
        return PagingFailed();
    } else {
        // A page never written before holds no history; zeros match the memory window's start.
        memset(b->data, 0, QUANTUM_PAGE_SIZE);
    }
    b->page = int32_t(page);
    b->dirty = for_writing;
    entry.buffer = b;
    return b;
}

inline bool NextWritePage() {
    QuantumPagedWindow& p = g_quantum.pages;
    uint32_t next = p.write_page_number + 1;
    if (next == p.count)
        next = 0;
    // The full write page takes no more bytes, so it may be the one evicted: with three buffers a
    // match reading from two source pages leaves it least recently used.
    QuantumPageBuffer* const full = p.write_page;
    p.write_page = nullptr;
    QuantumPageBuffer* b = GetPage(next, true);
    if (!b) {
        p.write_page = full;
        return false;
    }
    p.write_page = b;
    p.write_page_number = next;
    p.write_cursor = 0;
    return true;
}

bool PagedPutByte(uint8_t byte) {
    QuantumPagedWindow& p = g_quantum.pages;
    p.write_page->data[p.write_cursor++] = byte;
    return p.write_cursor < QUANTUM_PAGE_SIZE || NextWritePage();
}

// Copies a match within the paged window. Sources are located relative to the write location, in
// the span that the write page cycles over; for windows of four pages and more that is exactly
// (position - distance) & mask, and for smaller windows it keeps every distance the window allows
// (at most its size, which is below the span) pointing at the byte written that far back.
bool PagedCopyMatch(uint8_t* out, uint32_t length, uint32_t distance) {
    QuantumPagedWindow& p = g_quantum.pages;
    MoveToFront(p, p.write_page);
    uint32_t write_location = p.write_page_number * QUANTUM_PAGE_SIZE + p.write_cursor;
    uint32_t source = write_location >= distance ? write_location - distance : write_location + p.span - distance;
    while (length > 0) {
        const uint32_t source_offset = source % QUANTUM_PAGE_SIZE;
        QuantumPageBuffer* from = GetPage(source / QUANTUM_PAGE_SIZE, false);
        if (!from)
            return false;
        uint32_t chunk = length;
        if (chunk > QUANTUM_PAGE_SIZE - p.write_cursor)
            chunk = QUANTUM_PAGE_SIZE - p.write_cursor;
        if (chunk > QUANTUM_PAGE_SIZE - source_offset)
            chunk = QUANTUM_PAGE_SIZE - source_offset;
        const uint8_t* src = from->data + source_offset;
        uint8_t* dst = p.write_page->data + p.write_cursor;
        for (uint32_t i = 0; i < chunk; ++i) {  // byte by byte: an overlapping match repeats its own output
            dst[i] = src[i];
            out[i] = dst[i];
        }
        out += chunk;
        length -= chunk;
        p.write_cursor += chunk;
        source += chunk;
        if (source >= p.span)
            source -= p.span;
        if (p.write_cursor == QUANTUM_PAGE_SIZE && !NextWritePage())
            return false;
    }
    return true;
}

// ---- Items ------------------------------------------------------------------------------------------

// Copies a match in the memory window; position and write index are the caller's locals.
QUANTUM_HOT void CopyMatchInMemory(uint8_t* window,
                                   uint32_t mask,
                                   uint32_t& position,
                                   uint32_t& write_index,
                                   uint8_t* out,
                                   uint32_t length,
                                   uint32_t distance) {
    uint32_t source = (position - distance) & mask;
    uint32_t target = write_index;
    position += length;
    write_index = (target + length) & mask;
    if (source + length <= mask + 1 && target + length <= mask + 1) {
        if (distance >= length) {
            memcpy(out, window + source, length);
            memcpy(window + target, out, length);
            return;
        }
        const uint8_t* from = window + source;
        uint8_t* to = window + target;
        for (uint32_t i = 0; i < length; ++i) {  // byte by byte: an overlapping match repeats its output
            const uint8_t byte = from[i];
            to[i] = byte;
            out[i] = byte;
        }
        return;
    }
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t byte = window[source];
        window[target] = byte;
        out[i] = byte;
        source = (source + 1) & mask;
        target = (target + 1) & mask;
    }
}

}  // namespace

// ---- Model interface for the test kit ---------------------------------------------------------------

void QuantumModelInit(QuantumModel* model, uint32_t symbols) {
    ModelInit(model, symbols);
}

void QuantumModelUpdate(QuantumModel* model, uint32_t index) {
    ModelUpdate(model, index);
}

void QuantumModelRescale(QuantumModel* model) {
    ModelRescale(model);
}

uint32_t QuantumPositionSymbols3(int window_bits) {
    return window_bits * 2 < 24 ? uint32_t(window_bits * 2) : 24;
}

uint32_t QuantumPositionSymbols4(int window_bits) {
    return window_bits * 2 < 36 ? uint32_t(window_bits * 2) : 36;
}

uint32_t QuantumPositionSymbolsLong(int window_bits) {
    return uint32_t(window_bits * 2);
}

// ---- Decoder contract -------------------------------------------------------------------------------

int QuantumCreate(uint32_t* max_block_size,
                  int window_bits,
                  QuantumAllocFn alloc,
                  QuantumFreeFn free_block,
                  QuantumOpenFn open,
                  QuantumReadFn read,
                  QuantumWriteFn write,
                  QuantumCloseFn close,
                  QuantumSeekFn seek,
                  uint32_t* compressed_buffer_size,
                  QuantumDecoder** handle) {
    if (window_bits < QUANTUM_MIN_WINDOW_BITS || window_bits > QUANTUM_MAX_WINDOW_BITS)
        return QUANTUM_STATUS_BAD_WINDOW;
    if (!max_block_size || !compressed_buffer_size)
        return QUANTUM_STATUS_BAD_PARAMETER;
    if (*max_block_size == 0 || *max_block_size > QUANTUM_MAX_BLOCK)
        *max_block_size = QUANTUM_MAX_BLOCK;
    *compressed_buffer_size = *max_block_size + QUANTUM_BUFFER_SLACK;
    if (!handle)
        return QUANTUM_STATUS_OK;
    *handle = nullptr;
    if (!alloc || !free_block)
        return QUANTUM_STATUS_BAD_PARAMETER;
    QuantumDecoder* d = static_cast<QuantumDecoder*>(alloc(sizeof(QuantumDecoder)));
    if (!d)
        return QUANTUM_STATUS_NO_MEMORY;
    *d = QuantumDecoder{QUANTUM_TAG, alloc, free_block, open, read, write, close, seek, *max_block_size, window_bits};
    MakeCurrent(d);
    TakeOver(d);
    if (!SetUpWindow(d)) {
        d->tag = 0;
        free_block(d);
        g_quantum.current = nullptr;
        return QUANTUM_STATUS_NO_MEMORY;
    }
    *handle = d;
    return QUANTUM_STATUS_OK;
}

int QuantumDecompress(QuantumDecoder* decoder,
                      const void* input,
                      uint32_t input_size,
                      void* output,
                      uint32_t* output_size) {
    if (!decoder || decoder->tag != QUANTUM_TAG)
        return QUANTUM_STATUS_BAD_HANDLE;
    MakeCurrent(decoder);
    if (!output_size || *output_size > decoder->max_block || (*output_size > 0 && !output) ||
        (input_size > 0 && !input))
        return QUANTUM_STATUS_BAD_PARAMETER;
    QuantumState& q = g_quantum;
    // A window taken over by another decoder, or one whose paging failed, cannot continue the folder.
    if (q.owner != decoder || q.paging_error)
        return QUANTUM_STATUS_DATA_ERROR;

    uint8_t* out = static_cast<uint8_t*>(output);
    uint32_t remaining = *output_size;
    q.overrun = false;
    BlockCoder c;
    c.input = static_cast<const uint8_t*>(input);
    c.input_end = c.input + input_size;
    c.bits = 0;
    c.bit_count = 0;
    c.exhausted = false;
    c.value = ReadBits(c, 16);
    c.low = 0;
    c.high = 0xFFFF;
    const bool paged = q.paged;
    uint8_t* const window = q.window;
    const uint32_t mask = q.window_mask;
    uint32_t position = q.position;
    uint32_t write_index = q.write_index;

    while (remaining != 0 && !c.exhausted) {
        const uint32_t selector = DecodeSymbol(c, &q.selector);
        if (selector < 4) {
            const uint8_t byte = uint8_t(DecodeSymbol(c, &q.literal[selector]) + 64 * selector);
            --remaining;
            ++position;
            *out++ = byte;
            if (!paged) {
                window[write_index] = byte;
                write_index = (write_index + 1) & mask;
            } else if (!PagedPutByte(byte)) {
                remaining = 0;
            }
            continue;
        }
        uint32_t length;
        uint32_t slot;
        if (selector == 4) {
            length = 3;
            slot = DecodeSymbol(c, &q.position3);
        } else if (selector == 5) {
            length = 4;
            slot = DecodeSymbol(c, &q.position4);
        } else {
            const uint32_t length_slot = DecodeSymbol(c, &q.length);
            length = QUANTUM_LENGTH_BASE[length_slot] + ReadBits(c, QUANTUM_LENGTH_EXTRA[length_slot]) + 5;
            slot = DecodeSymbol(c, &q.position_long);
        }
        const uint32_t distance = QUANTUM_POSITION_BASE[slot] + ReadBits(c, QUANTUM_POSITION_EXTRA[slot]) + 1;
        if (remaining < length) {
            q.overrun = true;
            remaining = 0;
            continue;
        }
        remaining -= length;
        if (!paged) {
            CopyMatchInMemory(window, mask, position, write_index, out, length, distance);
        } else {
            position += length;
            if (!PagedCopyMatch(out, length, distance))
                remaining = 0;
        }
        out += length;
    }

    q.position = position;
    q.write_index = write_index;
    q.output = out;
    q.remaining = uint16_t(remaining);
    q.input = c.input;
    q.input_left = uint32_t(c.input_end - c.input);
    q.bit_byte = c.bits >> 24;
    q.bits_left = c.bit_count;
    q.low = uint16_t(c.low);
    q.high = uint16_t(c.high);
    q.value = uint16_t(c.value);
    q.exhausted = c.exhausted;
    if (q.exhausted || q.overrun || q.paging_error)
        return QUANTUM_STATUS_DATA_ERROR;
    return QUANTUM_STATUS_OK;
}

int QuantumReset(QuantumDecoder* decoder) {
    if (!decoder || decoder->tag != QUANTUM_TAG)
        return QUANTUM_STATUS_BAD_HANDLE;
    MakeCurrent(decoder);
    QuantumState& q = g_quantum;
    if (q.owner != decoder) {
        // Another decoder took the working state: take it back with a fresh window.
        TakeOver(decoder);
        return SetUpWindow(decoder) ? QUANTUM_STATUS_OK : QUANTUM_STATUS_NO_MEMORY;
    }
    q.position = 0;
    q.write_index = 0;
    q.paging_error = false;
    if (q.paged)
        ResetPages();
    InitModels(q.window_bits);
    return QUANTUM_STATUS_OK;
}

int QuantumDestroy(QuantumDecoder* decoder) {
    if (!decoder || decoder->tag != QUANTUM_TAG)
        return QUANTUM_STATUS_BAD_HANDLE;
    MakeCurrent(decoder);
    if (g_quantum.owner == decoder)
        ReleaseWindow(decoder);
    decoder->tag = 0;
    g_quantum.current = nullptr;
    decoder->free_block(decoder);
    return QUANTUM_STATUS_OK;
}
