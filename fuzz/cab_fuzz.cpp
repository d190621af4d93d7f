// libFuzzer target over the cabinet reader and the MSZIP decoder, with in-memory callbacks that check for leaks.
//
// Input: one mode byte, then the data.
//   mode & 3 == 0: the data is one cabinet.
//   mode & 3 == 1: the data is up to three cabinets of a set, separated by SPLIT_MARK.
//   mode & 3 == 2: the data is MSZIP blocks, each preceded by its 16-bit little-endian size,
//                  decoded one after another into one window.
//   mode & 4: every other file is skipped; mode & 8: a decrypt callback is passed.
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

struct Cabinet {
    const uint8_t* data;
    size_t size;
};

struct Handle {
    bool open;
    bool output;
    int cabinet;
    int64_t position;
};

Cabinet g_cabinets[MAX_CABINETS];
int g_cabinet_count;
Handle g_handles[MAX_HANDLES];
int64_t g_live_blocks;
int g_open_handles;
int g_files_seen;
int g_mode;
uint32_t g_sink;

void* FuzzAlloc(uint32_t size) {
    // Large enough for any reader buffer; beyond that an allocation may fail, as it may anywhere.
    if (size > (64u << 20))
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

intptr_t NewHandle(bool output, int cabinet) {
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (!g_handles[i].open) {
            g_handles[i] = Handle{true, output, cabinet, 0};
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

intptr_t FuzzOpen(const char* name, int flags, int mode) {
    // Cabinets are "0.cab", "1.cab" and "2.cab"; anything else (a Quantum work file) is refused.
    if (!name || name[0] < '0' || name[0] >= '0' + g_cabinet_count || strcmp(name + 1, ".cab") != 0)
        return -1;
    return NewHandle(false, name[0] - '0');
}

int32_t FuzzRead(intptr_t handle, void* buffer, uint32_t count) {
    Handle* h = HandleOf(handle);
    if (!h || h->output)
        return -1;
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
    if (!h || !h->output)
        return -1;
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
    h->open = false;
    --g_open_handles;
    return 0;
}

int32_t FuzzSeek(intptr_t handle, int32_t offset, int origin) {
    Handle* h = HandleOf(handle);
    if (!h || h->output)
        return -1;
    int64_t target = origin == CAB_SEEK_SET ? offset : origin == CAB_SEEK_CUR ? h->position + offset : -1;
    if (target < 0 || target > INT32_MAX)
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
            return NewHandle(true, 0);
        case CAB_NOTIFY_FILE_DONE:
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
    // A second extraction by the same reader must be as safe as the first.
    g_files_seen = 0;
    CabReaderExtract(reader, "0.cab", "", FuzzNotify, nullptr, nullptr);
    CabReaderDestroy(reader);
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
    memset(g_handles, 0, sizeof(g_handles));

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
