// Cabinet reader: extracts the files of a cabinet set through caller-supplied memory, file and notification callbacks.
#pragma once

#include <stdint.h>

#include "cab_decoder.h"

// Error codes recorded in CabError::code.
enum CabErrorCode : int32_t {
    CAB_ERR_NONE = 0,
    CAB_ERR_CABINET_NOT_FOUND = 1,
    CAB_ERR_NOT_A_CABINET = 2,
    CAB_ERR_UNKNOWN_VERSION = 3,
    CAB_ERR_CORRUPT = 4,
    CAB_ERR_NO_MEMORY = 5,
    CAB_ERR_BAD_COMPRESSION = 6,
    CAB_ERR_DECODER = 7,
    CAB_ERR_TARGET_FILE = 8,
    CAB_ERR_RESERVE_MISMATCH = 9,
    CAB_ERR_WRONG_CABINET = 10,
    CAB_ERR_ABORTED = 11,
};

// The code's name ("CAB_ERR_CORRUPT"), or "CAB_ERR_UNKNOWN" for a value outside the list.
const char* CabErrorName(int32_t code);

// Owned by the reader's creator; filled whenever an operation fails, never cleared by the reader.
struct CabError {
    int32_t code;
    int32_t detail;  // the version found for CAB_ERR_UNKNOWN_VERSION, otherwise 0
    bool failed;
};

enum CabNotifyKind : int {
    CAB_NOTIFY_CABINET = 0,
    CAB_NOTIFY_CONTINUED = 1,
    CAB_NOTIFY_FILE = 2,
    CAB_NOTIFY_FILE_DONE = 3,
    CAB_NOTIFY_NEXT_CABINET = 4,
};

// Which fields hold a value depends on the kind. For CAB_NOTIFY_NEXT_CABINET the callback may
// rewrite name1 (the next cabinet's name) and name3 (its folder), at most 255 characters each.
struct CabNotification {
    int32_t size;
    char* name1;
    char* name2;
    char* name3;
    void* user;
    intptr_t handle;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
    uint16_t set_id;
    uint16_t cabinet_index;
    int32_t error;
};

constexpr uint16_t CAB_ATTRIBUTE_RUN = 0x40;  // run the file after extraction

enum CabDecryptKind : int32_t {
    CAB_DECRYPT_CABINET = 0,
    CAB_DECRYPT_FOLDER = 1,
    CAB_DECRYPT_BLOCK = 2,
};

// For a block, data covers the whole compressed block held so far: data_size bytes, of which the
// first partial_size came from the previous cabinet when split is true.
struct CabDecryptRecord {
    int32_t kind;
    void* user;
    uint8_t* reserve;  // null when reserve_size is 0
    uint16_t reserve_size;
    uint16_t set_id;         // kind 0
    uint32_t cabinet_index;  // kind 0
    uint16_t folder_index;   // kind 1
    uint8_t* data;           // kind 2
    uint16_t data_size;      // kind 2
    bool split;              // kind 2
    uint16_t partial_size;   // kind 2
};

// Answers: -1 aborts; for CAB_NOTIFY_FILE 0 skips and any other value is the output handle.
using CabNotifyFn = intptr_t (*)(CabNotifyKind kind, CabNotification* record);
using CabDecryptFn = int (*)(CabDecryptRecord* record);

struct CabReader;

// Returns a new idle reader (freed by CabReaderDestroy), or null after recording CAB_ERR_NO_MEMORY.
CabReader* CabReaderCreate(CabAllocFn alloc,
                           CabFreeFn free_fn,
                           CabOpenFn open,
                           CabReadFn read,
                           CabWriteFn write,
                           CabCloseFn close,
                           CabSeekFn seek,
                           CabError* error);

// Extracts from the cabinet cabinet_path + cabinet_name (plainly joined, at most 255 characters),
// following the set into later cabinets as the notifications direct. True when every file entry of
// the cabinet has been handled; false after recording an error. decrypt may be null.
bool CabReaderExtract(CabReader* reader,
                      const char* cabinet_name,
                      const char* cabinet_path,
                      CabNotifyFn notify,
                      CabDecryptFn decrypt,
                      void* user);

// Releases the decoder, the buffers and any open cabinet handle, then the reader. Returns true.
bool CabReaderDestroy(CabReader* reader);

// The data-block checksum: 32-bit little-endian groups XORed into seed, then the 0 to 3 bytes
// left as one value with the first of them most significant.
uint32_t CabBlockChecksum(const uint8_t* bytes, uint32_t count, uint32_t seed);
