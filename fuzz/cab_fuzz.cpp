// libFuzzer target over the cabinet reader, MSZIP and Quantum, with in-memory callbacks that check for leaks.
//
// Input: one mode byte, then the data.
//   mode & 3 == 0 or 3: the data is one cabinet.
//   mode & 3 == 1: the data is up to three cabinets of a set, separated by SPLIT_MARK.
//   mode & 3 == 2: the data is MSZIP blocks, each preceded by its 16-bit little-endian size,
//                  decoded one after another into one window.
//   mode & 4: every other file is skipped; mode & 8: a decrypt callback is passed.
//   mode & 16: the Quantum window cannot be had in one piece, so the decoder pages it through a work file
//              kept in memory; (mode >> 5) & 3 picks how many page buffers it gets: as many as it asks
//              for, 3, 4 or 6 (the fewer, the more pages go to the work file and come back).
//   mode & 128: one work-file call fails (which one follows from the input size).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cab_reader.h"
#include "mszip.h"

namespace {

constexpr char SPLIT_MARK[] = "\n--cab--\n";
constexpr size_t SPLIT_SIZE = sizeof(SPLIT_MARK) - 1;
constexpr int MAX_CABINETS = 3;
constexpr int MAX_HANDLES = 16;
constexpr int MODE_PAGED = 16;
constexpr int MODE_WORK_FILE_FAULT = 128;
constexpr int WORK_FILE_FLAGS = 0x8102;
constexpr int WORK_FILE_MODE = 0x0180;
constexpr size_t WORK_FILE_MAX = 4u << 20;  // twice the largest window; a work file never grows beyond
// A page buffer is its 4096 data bytes and a little bookkeeping; a 4096-byte request is a window.
constexpr uint32_t PAGE_BUFFER_MIN = 4096 + 1;
constexpr uint32_t PAGE_BUFFER_MAX = 4096 + 64;

struct Cabinet {
    const uint8_t* data;
    size_t size;
};

enum HandleKind { HANDLE_CABINET, HANDLE_OUTPUT, HANDLE_WORK_FILE };

struct WorkFile {
    uint8_t* bytes;
    size_t size;
};

struct Handle {
    bool open;
    HandleKind kind;
    int cabinet;
    int64_t position;
    WorkFile work;
};

Cabinet g_cabinets[MAX_CABINETS];
int g_cabinet_count;
Handle g_handles[MAX_HANDLES];
int64_t g_live_blocks;
int g_open_handles;
int g_files_seen;
int g_files_done;
int g_mode;
uint32_t g_sink;
// Paged mode: a request for CAB_BLOCK_MAX bytes (the reader's output buffer, made just before a
// decoder) arms the refusal of the next power-of-two request of 1 KiB to 2 MiB, which for a Quantum
// folder is its window; any other request of 1 KiB or more disarms it.
bool g_refuse_window_armed;
int g_page_buffer_limit;  // page buffers granted to each paged window; negative: no limit
int g_page_buffers_left;  // for the window being set up
int64_t g_work_file_calls;
int64_t g_work_file_fault_at;  // the work-file read, write or seek (from 0) that fails; -1: none
// With CAB_FUZZ_TRACE set, each run prints its outcome, so that seeds can be checked by hand.
bool g_trace;
int g_work_files_opened;
int64_t g_work_file_reads;
int64_t g_work_file_writes;

bool IsPowerOfTwo(uint32_t size) {
    return (size & (size - 1)) == 0;
}

// Whether the paged mode refuses this request; see the flags above.
bool RefusedInPagedMode(uint32_t size) {
    if (!(g_mode & MODE_PAGED))
        return false;
    if (size >= PAGE_BUFFER_MIN && size <= PAGE_BUFFER_MAX && g_page_buffers_left >= 0) {
        if (g_page_buffers_left == 0)
            return true;
        --g_page_buffers_left;
        return false;
    }
    if (size == CAB_BLOCK_MAX && !g_refuse_window_armed) {
        g_refuse_window_armed = true;
        return false;
    }
    if (size < 1024)
        return false;
    const bool window = g_refuse_window_armed && IsPowerOfTwo(size) && size <= (2u << 20);
    g_refuse_window_armed = false;
    if (window)
        g_page_buffers_left = g_page_buffer_limit;  // the page buffers of this window follow
    return window;
}

void* FuzzAlloc(uint32_t size) {
    // Large enough for any reader buffer; beyond that an allocation may fail, as it may anywhere.
    if (size > (64u << 20) || RefusedInPagedMode(size))
        return nullptr;
    ++g_live_blocks;
    void* p = malloc(size ? size : 1);
    memset(p, 0xA5, size);
    return p;
}

void FuzzFree(void* block) {
    if (block)
        --g_live_blocks;
    free(block);
}

intptr_t NewHandle(HandleKind kind, int cabinet) {
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (!g_handles[i].open) {
            g_handles[i] = Handle{true, kind, cabinet, 0, WorkFile{nullptr, 0}};
            ++g_open_handles;
            return i + 1;
        }
    }
    return -1;
}

Handle* HandleOf(intptr_t h) {
    if (h < 1 || h > MAX_HANDLES || !g_handles[h - 1].open)
        return nullptr;
    return &g_handles[h - 1];
}

// A work-file call that the fault mode makes fail.
bool WorkFileFault() {
    return g_work_file_calls++ == g_work_file_fault_at;
}

// The Quantum decoder's work file, asked for by a 6-byte name ("*", a 0 byte and the wanted size,
// 32-bit little-endian): a new in-memory file of that size.
intptr_t OpenWorkFile(const char* name, int flags, int mode) {
    if (flags != WORK_FILE_FLAGS || mode != WORK_FILE_MODE || name[1] != '\0') {
        fprintf(stderr, "work file asked for with flags 0x%x, mode 0%o\n", flags, mode);
        abort();
    }
    const uint8_t* n = reinterpret_cast<const uint8_t*>(name);
    const size_t size = n[2] | n[3] << 8 | n[4] << 16 | size_t(n[5]) << 24;
    if (size > WORK_FILE_MAX || WorkFileFault())
        return -1;
    ++g_work_files_opened;
    const intptr_t h = NewHandle(HANDLE_WORK_FILE, 0);
    if (h == -1)
        return -1;
    WorkFile& file = g_handles[h - 1].work;
    file.bytes = static_cast<uint8_t*>(malloc(size ? size : 1));
    memset(file.bytes, 0xEE, size);  // the contents of a new work file are not promised
    file.size = size;
    return h;
}

intptr_t FuzzOpen(const char* name, int flags, int mode) {
    if (!name)
        abort();
    if (name[0] == '*')
        return OpenWorkFile(name, flags, mode);
    if (flags != CAB_OPEN_READ_BINARY || mode != CAB_OPEN_MODE) {
        fprintf(stderr, "cabinet opened with flags 0x%x, mode 0%o\n", flags, mode);
        abort();
    }
    // Cabinets are "0.cab", "1.cab" and "2.cab"; anything else is not found.
    if (name[0] < '0' || name[0] >= '0' + g_cabinet_count || strcmp(name + 1, ".cab") != 0)
        return -1;
    return NewHandle(HANDLE_CABINET, name[0] - '0');
}

int32_t ReadWorkFile(Handle* h, void* buffer, uint32_t count) {
    ++g_work_file_reads;
    if (WorkFileFault())
        return -1;
    const WorkFile& file = h->work;
    if (h->position >= static_cast<int64_t>(file.size))
        return 0;
    size_t n = file.size - static_cast<size_t>(h->position);
    if (n > count)
        n = count;
    memcpy(buffer, file.bytes + h->position, n);
    h->position += static_cast<int64_t>(n);
    return static_cast<int32_t>(n);
}

// Writes at the position, growing the file up to WORK_FILE_MAX; what lies beyond is not written.
int32_t WriteWorkFile(Handle* h, const void* buffer, uint32_t count) {
    ++g_work_file_writes;
    if (WorkFileFault())
        return -1;
    WorkFile& file = h->work;
    const size_t at = static_cast<size_t>(h->position);
    size_t n = at >= WORK_FILE_MAX ? 0 : WORK_FILE_MAX - at;
    if (n > count)
        n = count;
    if (at + n > file.size) {
        uint8_t* grown = static_cast<uint8_t*>(realloc(file.bytes, at + n));
        if (!grown)
            return -1;
        memset(grown + file.size, 0xEE, at + n - file.size);
        file.bytes = grown;
        file.size = at + n;
    }
    memcpy(file.bytes + at, buffer, n);
    h->position += static_cast<int64_t>(n);
    return static_cast<int32_t>(n);
}

int32_t FuzzRead(intptr_t handle, void* buffer, uint32_t count) {
    Handle* h = HandleOf(handle);
    if (!h || h->kind == HANDLE_OUTPUT)
        return -1;
    if (h->kind == HANDLE_WORK_FILE)
        return ReadWorkFile(h, buffer, count);
    const Cabinet& c = g_cabinets[h->cabinet];
    if (h->position >= static_cast<int64_t>(c.size))
        return 0;
    size_t n = c.size - static_cast<size_t>(h->position);
    if (n > count)
        n = count;
    memcpy(buffer, c.data + h->position, n);
    h->position += static_cast<int64_t>(n);
    return static_cast<int32_t>(n);
}

int32_t FuzzWrite(intptr_t handle, const void* buffer, uint32_t count) {
    Handle* h = HandleOf(handle);
    if (!h || h->kind == HANDLE_CABINET)
        return -1;
    if (h->kind == HANDLE_WORK_FILE)
        return WriteWorkFile(h, buffer, count);
    // Touch every byte so that the sanitizer sees reads outside the reader's buffers.
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i)
        g_sink += p[i];
    return static_cast<int32_t>(count);
}

int FuzzClose(intptr_t handle) {
    Handle* h = HandleOf(handle);
    if (!h)
        return -1;
    free(h->work.bytes);
    h->work = WorkFile{nullptr, 0};
    h->open = false;
    --g_open_handles;
    return 0;
}

int32_t FuzzSeek(intptr_t handle, int32_t offset, int origin) {
    Handle* h = HandleOf(handle);
    if (!h || h->kind == HANDLE_OUTPUT)
        return -1;
    if (h->kind == HANDLE_WORK_FILE && WorkFileFault())
        return -1;
    int64_t target = origin == CAB_SEEK_SET ? offset : origin == CAB_SEEK_CUR ? h->position + offset : -1;
    const int64_t limit = h->kind == HANDLE_WORK_FILE ? static_cast<int64_t>(WORK_FILE_MAX) : INT32_MAX;
    if (target < 0 || target > limit)
        return -1;
    h->position = target;
    return static_cast<int32_t>(target);
}

intptr_t FuzzNotify(CabNotifyKind kind, CabNotification* n) {
    switch (kind) {
        case CAB_NOTIFY_CABINET:
        case CAB_NOTIFY_CONTINUED:
            return 0;
        case CAB_NOTIFY_FILE:
            if ((g_mode & 4) && (g_files_seen++ & 1))
                return 0;
            return NewHandle(HANDLE_OUTPUT, 0);
        case CAB_NOTIFY_FILE_DONE:
            ++g_files_done;
            return FuzzClose(n->handle) == 0 ? 1 : 0;
        case CAB_NOTIFY_NEXT_CABINET:
            // Every request must end: a repeated one or an index past the set is refused.
            if (n->error != 0 || n->cabinet_index >= g_cabinet_count)
                return -1;
            n->name1[0] = static_cast<char>('0' + n->cabinet_index);
            strcpy(n->name1 + 1, ".cab");
            n->name3[0] = '\0';
            return 0;
    }
    return -1;
}

int FuzzDecrypt(CabDecryptRecord* r) {
    for (uint32_t i = 0; i < r->reserve_size; ++i)
        g_sink += r->reserve[i];
    if (r->kind == CAB_DECRYPT_BLOCK) {
        for (uint32_t i = 0; i < r->data_size; ++i)
            g_sink += r->data[i];
    }
    return 0;
}

void RunReader() {
    CabError error = {};
    CabReader* reader =
        CabReaderCreate(FuzzAlloc, FuzzFree, FuzzOpen, FuzzRead, FuzzWrite, FuzzClose, FuzzSeek, &error);
    if (!reader)
        abort();
    bool ok = CabReaderExtract(reader, "0.cab", "", FuzzNotify, (g_mode & 8) ? FuzzDecrypt : nullptr, nullptr);
    if (!ok && !error.failed)
        abort();  // a failure must be recorded
    const int first_files = g_files_done;
    // A second extraction by the same reader must be as safe as the first.
    g_files_seen = 0;
    error = CabError{};
    const bool again = CabReaderExtract(reader, "0.cab", "", FuzzNotify, nullptr, nullptr);
    if (!again && !error.failed)
        abort();
    CabReaderDestroy(reader);
    if (g_trace) {
        fprintf(stderr, "extract: %s after %d files, again: %s (%s); work files %d, reads %lld, writes %lld\n",
                ok ? "ok" : "failed", first_files, again ? "ok" : "failed", CabErrorName(error.code),
                g_work_files_opened, static_cast<long long>(g_work_file_reads),
                static_cast<long long>(g_work_file_writes));
    }
}

void RunMszip(const uint8_t* data, size_t size) {
    uint32_t max = 0;
    uint32_t buffer_size = 0;
    MszipDecoder* decoder = nullptr;
    if (MszipCreate(&max, FuzzAlloc, FuzzFree, &buffer_size, &decoder) != CAB_DECODER_OK)
        abort();
    uint8_t* window = static_cast<uint8_t*>(FuzzAlloc(32768));
    size_t at = 0;
    while (at + 2 <= size) {
        size_t n = data[at] | (data[at + 1] << 8);
        at += 2;
        if (n > size - at)
            n = size - at;
        // An exact-size copy, so that any read past the block is seen.
        uint8_t* block = static_cast<uint8_t*>(malloc(n ? n : 1));
        memcpy(block, data + at, n);
        uint32_t produced = 32768;
        int32_t status = MszipDecompress(decoder, block, static_cast<uint32_t>(n), window, &produced);
        free(block);
        if (produced > 32768)
            abort();
        if (status != CAB_DECODER_OK && status != CAB_DECODER_DATA_ERROR && status != CAB_DECODER_BAD_PARAMETER)
            abort();
        if (status == CAB_DECODER_DATA_ERROR && (data[at - 2] & 1))
            MszipReset(decoder);
        at += n;
    }
    FuzzFree(window);
    MszipDestroy(decoder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    g_mode = data[0];
    ++data;
    --size;
    g_live_blocks = 0;
    g_open_handles = 0;
    g_files_seen = 0;
    g_files_done = 0;
    memset(g_handles, 0, sizeof(g_handles));
    g_refuse_window_armed = false;
    static const int page_buffer_limits[4] = {-1, 3, 4, 6};
    g_page_buffer_limit = page_buffer_limits[(g_mode >> 5) & 3];
    g_page_buffers_left = g_page_buffer_limit;
    g_work_file_calls = 0;
    g_work_files_opened = 0;
    g_work_file_reads = g_work_file_writes = 0;
    static const bool trace = getenv("CAB_FUZZ_TRACE") != nullptr;
    g_trace = trace;
    g_work_file_fault_at = (g_mode & MODE_WORK_FILE_FAULT) ? static_cast<int64_t>(size % 64) : -1;

    if ((g_mode & 3) == 2) {
        RunMszip(data, size);
    } else {
        // Copies of exact size, so that a read past a cabinet's end is caught.
        uint8_t* copies[MAX_CABINETS] = {};
        g_cabinet_count = 0;
        size_t start = 0;
        for (;;) {
            size_t end = size;
            if ((g_mode & 3) == 1 && g_cabinet_count < MAX_CABINETS - 1) {
                const uint8_t* found =
                    static_cast<const uint8_t*>(memmem(data + start, size - start, SPLIT_MARK, SPLIT_SIZE));
                if (found)
                    end = static_cast<size_t>(found - data);
            }
            size_t n = end - start;
            copies[g_cabinet_count] = static_cast<uint8_t*>(malloc(n ? n : 1));
            memcpy(copies[g_cabinet_count], data + start, n);
            g_cabinets[g_cabinet_count] = Cabinet{copies[g_cabinet_count], n};
            ++g_cabinet_count;
            if (end == size)
                break;
            start = end + SPLIT_SIZE;
        }
        RunReader();
        for (uint8_t* copy : copies)
            free(copy);
    }
    // Nothing may be left behind: every block freed, every handle closed.
    if (g_live_blocks != 0 || g_open_handles != 0) {
        fprintf(stderr, "left behind: %lld blocks, %d handles\n", static_cast<long long>(g_live_blocks),
                g_open_handles);
        abort();
    }
    return 0;
}
