// In-memory callbacks for the cabinet reader and a harness that runs one extraction and records what it saw.
#pragma once

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "cab_reader.h"

// The callbacks' world: cabinets by path, open handles, counted allocations and injected failures.
// One instance; MemReset() starts afresh.
struct MemWorld {
    std::map<std::string, std::string> cabinets;  // by the path the reader opens
    int64_t allocations = 0;
    int64_t live_blocks = 0;
    int64_t fail_allocation = -1;  // the n-th allocation (from 0) fails
    int64_t reads = 0;
    int64_t fail_read = -1;  // the n-th read returns -1
    int64_t fail_seek = -1;  // the n-th seek returns -1
    int64_t seeks = 0;
    int64_t short_write = -1;  // the n-th write writes one byte short
    int64_t writes = 0;
    bool fail_close = false;          // every close of a cabinet handle returns -1
    std::vector<std::string> opened;  // paths, in order
    int open_handles = 0;
};

MemWorld& Mem();
void MemReset();

void* MemAlloc(uint32_t size);
void MemFree(void* block);
intptr_t MemOpen(const char* name, int flags, int mode);
int32_t MemRead(intptr_t handle, void* buffer, uint32_t count);
int32_t MemWrite(intptr_t handle, const void* buffer, uint32_t count);
int MemClose(intptr_t handle);
int32_t MemSeek(intptr_t handle, int32_t offset, int origin);

// A notification as the harness saw it.
struct KitEvent {
    CabNotifyKind kind;
    std::string name1;
    std::string name2;
    std::string name3;
    int32_t size;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
    uint16_t set_id;
    uint16_t cabinet_index;
    int32_t error;
};

// How the harness answers.
struct KitPolicy {
    std::set<std::string> skip;                      // CAB_NOTIFY_FILE answered 0
    int abort_kind = -1;                             // first notification of this kind answered -1 ...
    std::string abort_name;                          // ... or only the one whose name1 is this
    intptr_t file_done_answer = 1;                   // answer to CAB_NOTIFY_FILE_DONE
    int next_cabinet_tries = 3;                      // repeated next-cabinet requests answered 0 before -1
    std::map<std::string, std::string> rename_next;  // next cabinet name -> name to open instead
    bool decrypt = false;                            // pass a decrypt callback that records its records
    int decrypt_abort_kind = -1;
};

struct KitDecryptEvent {
    int32_t kind;
    std::string reserve;
    uint16_t set_id;
    uint32_t cabinet_index;
    uint16_t folder_index;
    uint16_t data_size;
    bool split;
    uint16_t partial_size;
};

struct KitResult {
    bool ok = false;
    CabError error = {};
    std::vector<KitEvent> events;
    std::vector<KitDecryptEvent> decrypts;
    std::map<std::string, std::string> files;  // finished files by name
    std::vector<std::string> order;            // finished files in order
    int64_t leaked_blocks = 0;                 // allocations not freed after destroy
    int open_handles = 0;                      // handles not closed after destroy
};

// Extracts cabinet `first` (opened as "mem/" + first) from the world's cabinets with one reader.
KitResult KitExtract(const std::map<std::string, std::string>& cabinets,
                     const std::string& first,
                     const KitPolicy& policy = KitPolicy());

// The same on a reader that the caller made and keeps (for several extractions by one reader).
KitResult KitExtractWith(CabReader* reader, CabError* error, const std::string& first, const KitPolicy& policy);

// Short text of the events, one per line ("FILE a.txt"), for failure messages.
std::string KitDescribe(const KitResult& result);
