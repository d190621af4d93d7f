// Test doubles for the Quantum decoder's callbacks: a counting allocator that can refuse, and work
// files kept in memory that can fail on request.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "cabinet/quantum.h"
#include "tests/kit/quantum_encoder.h"

// What the callbacks do and what they saw. One instance, reset by each test through Reset().
struct QuantumTestPlatform {
    // Allocation: a request of exactly refuse_size bytes fails; after allow_allocations successful
    // allocations (when not negative) every further one fails.
    uint32_t refuse_size = 0;
    int allow_allocations = -1;
    int page_buffer_limit = -1;  // allocations of a page buffer's size (just above 4096) allowed
    int page_buffers = 0;
    int allocations = 0;
    std::map<void*, uint32_t> live;  // blocks not yet freed
    int bad_frees = 0;               // frees of blocks never handed out (or freed twice)

    // Work files.
    bool refuse_open = false;
    int fail_seek_at = -1;   // the n-th seek (counting from 0) returns a wrong position
    int fail_write_at = -1;  // the n-th write writes one byte short
    int fail_read_at = -1;   // the n-th read reads one byte short
    int opens = 0;
    std::string open_name;  // the bytes of the last name, 6 of them for a work file
    int open_flags = 0;
    int open_mode = 0;
    int seeks = 0;
    int reads = 0;
    int writes = 0;
    int closes = 0;
    std::map<uint32_t, int> writes_at;  // writes per file offset
    std::map<intptr_t, std::vector<uint8_t>> files;
    std::map<intptr_t, uint32_t> file_positions;
    std::map<std::string, std::vector<uint8_t>> inputs;   // opened by name (cabinets)
    std::map<intptr_t, std::string> output_names;         // files handed to the reader for writing
    std::map<std::string, std::vector<uint8_t>> outputs;  // their bytes once closed

    void Reset();
};

extern QuantumTestPlatform g_platform;

void* TestAlloc(uint32_t size);
// A new empty in-memory file whose bytes land in outputs[name] when it is closed.
intptr_t NewOutputFile(const std::string& name);
void TestFree(void* block);
intptr_t TestOpen(const char* name, int flags, int mode);
int32_t TestRead(intptr_t handle, void* buffer, uint32_t count);
int32_t TestWrite(intptr_t handle, const void* buffer, uint32_t count);
int TestClose(intptr_t handle);
int32_t TestSeek(intptr_t handle, int32_t offset, int origin);

// Creates a decoder on the test callbacks; `paged` refuses the one-piece window so that the
// decoder falls back to pages. Status as QuantumCreate returns it.
int CreateTestDecoder(int window_bits, bool paged, QuantumDecoder** decoder);

// Decodes blocks one after another into `out`; returns the first non-zero status, or 0.
int DecodeBlocks(QuantumDecoder* decoder, const std::vector<QuantumBlock>& blocks, std::vector<uint8_t>* out);

// The bytes that items produce after `history` (the reference meaning of literals and matches).
void ApplyItems(const std::vector<QuantumItem>& items, std::vector<uint8_t>* history);

// Encodes item lists as consecutive blocks of one folder with a fresh encoder.
std::vector<QuantumBlock> EncodeItemBlocks(int window_bits, const std::vector<std::vector<QuantumItem>>& blocks);

// Pseudo-random bytes with repeats near and far, so that matches of every kind occur.
std::vector<uint8_t> MixedData(size_t size, uint32_t seed, uint32_t max_distance);

// Items covering the given match kinds over every position slot that the window allows, laid out
// in blocks of block_size bytes (all but the last full), preceded by enough history to reach the
// farthest slot.
std::vector<std::vector<QuantumItem>> SlotSweepItems(int window_bits, uint32_t block_size, uint32_t seed);
