// Quantum decoder: turns the compressed blocks of a cabinet folder of method 2 back into their bytes.
//
// The decoder keeps its working state (window, models, coder registers) once per process. Every
// operation first makes the handle passed to it the current one; only one Quantum decoder should be
// alive and in use at a time (the cabinet reader creates at most one). A second decoder takes the
// working state over: the first one's window is then released, its further blocks fail with
// QUANTUM_STATUS_DATA_ERROR until it is reset (which takes the state back), and it can still be
// destroyed safely.
#pragma once

#include <stdint.h>

// Status values of every Quantum operation.
constexpr int QUANTUM_STATUS_OK = 0;
constexpr int QUANTUM_STATUS_NO_MEMORY = 1;
constexpr int QUANTUM_STATUS_BAD_HANDLE = 2;
constexpr int QUANTUM_STATUS_BAD_PARAMETER = 3;
constexpr int QUANTUM_STATUS_DATA_ERROR = 4;
constexpr int QUANTUM_STATUS_BAD_WINDOW = 5;

constexpr uint32_t QUANTUM_TAG = 0x43494451;
constexpr uint32_t QUANTUM_MAX_BLOCK = 32768;
constexpr uint32_t QUANTUM_BUFFER_SLACK = 10240;  // compressed-buffer size = maximum block + this
constexpr int QUANTUM_MIN_WINDOW_BITS = 10;
constexpr int QUANTUM_MAX_WINDOW_BITS = 21;
constexpr uint32_t QUANTUM_PAGE_SIZE = 4096;

// The work file is requested through the open callback with this name length, flags and mode:
// "*", a 0 byte and the wanted file size as a 32-bit little-endian value. The callback must create
// a new temporary file (its contents do not matter) usable with read, write, seek and close.
constexpr uint32_t QUANTUM_WORK_FILE_NAME_SIZE = 6;
constexpr int QUANTUM_WORK_FILE_FLAGS = 0x8102;  // binary, create, read and write
constexpr int QUANTUM_WORK_FILE_MODE = 0x0180;

// Callbacks, with the cabinet reader's meaning: handles are -1 on failure; read and write return the
// byte count done; close returns 0 on success; seek (origin 0 start, 1 current) returns the new
// position or -1.
typedef void* (*QuantumAllocFn)(uint32_t size);
typedef void (*QuantumFreeFn)(void* block);
typedef intptr_t (*QuantumOpenFn)(const char* name, int flags, int mode);
typedef int32_t (*QuantumReadFn)(intptr_t handle, void* buffer, uint32_t count);
typedef int32_t (*QuantumWriteFn)(intptr_t handle, const void* buffer, uint32_t count);
typedef int (*QuantumCloseFn)(intptr_t handle);
typedef int32_t (*QuantumSeekFn)(intptr_t handle, int32_t offset, int origin);

struct QuantumDecoder;

// Checks the window bits (QUANTUM_STATUS_BAD_WINDOW outside 10 to 21), clamps *max_block_size
// (0 or above 32768 becomes 32768) and reports the compressed-buffer size. With a null handle
// pointer that is all (a size query). Otherwise creates the decoder and sets up its window, in one
// piece or, when that allocation fails, as pages spilled to a work file. The decoder is released by
// QuantumDestroy. open, read, write, close and seek are needed only for the paged window.
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
                  QuantumDecoder** handle);

// Decodes one block: exactly *output_size bytes (at most the maximum block size) from input_size
// compressed bytes into output. *output_size is handed back unchanged.
int QuantumDecompress(QuantumDecoder* decoder,
                      const void* input,
                      uint32_t input_size,
                      void* output,
                      uint32_t* output_size);

// Restarts position and models for a new folder; the window bytes stay.
int QuantumReset(QuantumDecoder* decoder);

// Releases the window (or the pages and the work file) and the handle.
int QuantumDestroy(QuantumDecoder* decoder);

// The adaptive frequency model, shared with the test kit's encoder. Entry i's cumulative frequency
// is the sum of the frequencies of entries i to symbols - 1; entry `symbols` always holds 0.
struct QuantumModelEntry {
    uint32_t cumulative;
    uint32_t symbol;
};

constexpr uint32_t QUANTUM_MODEL_MAX_SYMBOLS = 64;

struct QuantumModel {
    uint32_t symbols;
    uint32_t countdown;
    QuantumModelEntry entries[QUANTUM_MODEL_MAX_SYMBOLS + 1];
};

void QuantumModelInit(QuantumModel* model, uint32_t symbols);
// Credits the symbol found at entry `index` and rescales when the total passes the limit.
void QuantumModelUpdate(QuantumModel* model, uint32_t index);
void QuantumModelRescale(QuantumModel* model);

// Slot tables: value = base[slot] + (extra[slot] raw bits); lengths then add 5, distances 1.
constexpr uint32_t QUANTUM_LENGTH_SLOTS = 27;
constexpr uint32_t QUANTUM_POSITION_SLOTS = 42;
inline constexpr uint32_t QUANTUM_LENGTH_BASE[QUANTUM_LENGTH_SLOTS] = {
    0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 18, 22, 26, 30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
inline constexpr uint8_t QUANTUM_LENGTH_EXTRA[QUANTUM_LENGTH_SLOTS] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                                                       3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr uint32_t QUANTUM_POSITION_BASE[QUANTUM_POSITION_SLOTS] = {
    0,     1,     2,     3,     4,     6,     8,      12,     16,     24,     32,     48,     64,      96,
    128,   192,   256,   384,   512,   768,   1024,   1536,   2048,   3072,   4096,   6144,   8192,    12288,
    16384, 24576, 32768, 49152, 65536, 98304, 131072, 196608, 262144, 393216, 524288, 786432, 1048576, 1572864};
inline constexpr uint8_t QUANTUM_POSITION_EXTRA[QUANTUM_POSITION_SLOTS] = {
    0, 0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,
    9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19};

// Symbol counts of the three position models for a window of `window_bits`.
uint32_t QuantumPositionSymbols3(int window_bits);
uint32_t QuantumPositionSymbols4(int window_bits);
uint32_t QuantumPositionSymbolsLong(int window_bits);
