// Callback types shared by the cabinet reader and its decoders, and the decoder status values.
#pragma once

#include <stdint.h>

// Memory and file callbacks supplied by whoever creates a reader; the reader and its decoders
// do no allocation or input/output of their own. Handles are chosen by the caller (a pointer-sized
// value, 32 bits on the Windows side); -1 is failure. The types are the same as the Quantum
// decoder's, so the reader hands its callbacks on unchanged.
using CabAllocFn = void* (*)(uint32_t size);
using CabFreeFn = void (*)(void* block);
using CabOpenFn = intptr_t (*)(const char* name, int flags, int mode);
using CabReadFn = int32_t (*)(intptr_t handle, void* buffer, uint32_t count);
using CabWriteFn = int32_t (*)(intptr_t handle, const void* buffer, uint32_t count);
using CabCloseFn = int (*)(intptr_t handle);
using CabSeekFn = int32_t (*)(intptr_t handle, int32_t offset, int origin);

constexpr int CAB_OPEN_READ_BINARY = 0x8000;
constexpr int CAB_OPEN_MODE = 0x0180;
constexpr int CAB_SEEK_SET = 0;
constexpr int CAB_SEEK_CUR = 1;

// Largest uncompressed block any decoder produces, and the history window of MSZIP.
constexpr uint32_t CAB_BLOCK_MAX = 32768;

// Status of every decoder operation.
enum CabDecoderStatus : int32_t {
    CAB_DECODER_OK = 0,
    CAB_DECODER_NO_MEMORY = 1,
    CAB_DECODER_BAD_HANDLE = 2,
    CAB_DECODER_BAD_PARAMETER = 3,
    CAB_DECODER_DATA_ERROR = 4,
    CAB_DECODER_BAD_WINDOW = 5,
};
