// Test cabinet writer: lays out cabinets byte by byte, including the fields and faults that cabinet tools do not make.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

struct KitBlock {
    std::string data;             // the compressed bytes as stored
    uint16_t uncompressed = 0;    // 0 marks the first part of a split block
    bool right_checksum = true;   // otherwise checksum_value is stored as it stands
    bool sum_reserve = true;      // the checksum covers the data reserve (other makers leave it out)
    uint32_t checksum_value = 0;  // 0 means "not checked"
    std::string reserve;          // data-reserve bytes, as long as the cabinet's data reserve
};

struct KitFolder {
    uint16_t type = 0;
    std::vector<KitBlock> blocks;
    std::string reserve;  // folder-reserve bytes
};

struct KitFile {
    std::string name;
    uint32_t size = 0;
    uint32_t offset = 0;
    uint16_t folder = 0;
    uint16_t date = 0x5A21;  // 2025-01-01
    uint16_t time = 0x6000;  // 12:00:00
    uint16_t attributes = 0x20;
};

struct KitCabinet {
    uint16_t version = 0x0103;
    uint16_t set_id = 0x2468;
    uint16_t index = 0;
    bool reserve = false;  // flag 0x0004 with the three sizes below
    std::string header_reserve;
    uint8_t folder_reserve = 0;
    uint8_t data_reserve = 0;
    bool has_previous = false;
    std::string previous_cabinet;
    std::string previous_disk;
    bool has_next = false;
    std::string next_cabinet;
    std::string next_disk;
    std::vector<KitFolder> folders;
    std::vector<KitFile> files;
};

// The cabinet's bytes: header, names, folder entries, file entries, then each folder's blocks.
std::string BuildCabinet(const KitCabinet& cabinet);

// The data-block checksum, written apart from the reader's own.
uint32_t KitChecksum(const void* bytes, size_t count, uint32_t seed);

enum KitDeflate {
    KIT_DEFLATE_DYNAMIC,  // the compressor's default choice, dynamic codes for ordinary data
    KIT_DEFLATE_FIXED,    // fixed codes only
    KIT_DEFLATE_STORED,   // stored deflate blocks
};

// MSZIP blocks of 32 KiB. Chained blocks are compressed with the previous block as preset
// dictionary, as cabinet makers do; otherwise each block stands alone.
std::vector<KitBlock> MszipBlocks(const std::string& data, bool chained, KitDeflate kind = KIT_DEFLATE_DYNAMIC);
std::vector<KitBlock> StoredBlocks(const std::string& data);

// One cabinet with one folder of the given type (0 stored, 1 MSZIP) holding the files in order.
KitCabinet SimpleCabinet(const std::vector<std::pair<std::string, std::string>>& files,
                         uint16_t type,
                         bool chained = true,
                         KitDeflate kind = KIT_DEFLATE_DYNAMIC);

// Deterministic test content: text-like, binary-like, random and zero runs mixed.
std::string KitContent(size_t size, uint32_t seed);

// Writes deflate bits least significant first, Huffman codes most significant first.
class KitBits {
public:
    void Put(uint32_t value, int count);
    void PutCode(uint32_t code, int length);
    // Fixed-code pieces (RFC 1951, 3.2.6).
    void FixedLiteral(uint32_t symbol);
    void FixedMatch(uint32_t length, uint32_t distance);
    void AlignToByte();
    std::string Finish();  // pads the last byte with zero bits

private:
    std::string bytes_;
    uint32_t accumulator_ = 0;
    int held_ = 0;
};
