// Test cabinet writer: cabinet layout, block checksums, chained MSZIP compression and hand-made deflate bits.
#include "tests/kit/cab_writer.h"

#include <string.h>
#include <zlib.h>

namespace {

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutName(std::string& out, const std::string& name) {
    out += name;
    out.push_back('\0');
}

void Patch32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

uint32_t KitChecksum(const void* bytes, size_t count, uint32_t seed) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t sum = seed;
    size_t groups = count / 4;
    for (size_t g = 0; g < groups; ++g, p += 4)
        sum ^= static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    switch (count % 4) {
        case 3:
            sum ^= (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
            break;
        case 2:
            sum ^= (static_cast<uint32_t>(p[0]) << 8) | p[1];
            break;
        case 1:
            sum ^= p[0];
            break;
    }
    return sum;
}

std::string BuildCabinet(const KitCabinet& c) {
    std::string out;
    out += "MSCF";
    Put32(out, 0);
    size_t total_at = out.size();
    Put32(out, 0);
    Put32(out, 0);
    size_t files_at = out.size();
    Put32(out, 0);
    Put32(out, 0);
    Put16(out, c.version);
    Put16(out, static_cast<uint32_t>(c.folders.size()));
    Put16(out, static_cast<uint32_t>(c.files.size()));
    uint32_t flags = (c.has_previous ? 1 : 0) | (c.has_next ? 2 : 0) | (c.reserve ? 4 : 0);
    Put16(out, flags);
    Put16(out, c.set_id);
    Put16(out, c.index);
    if (c.reserve) {
        Put16(out, static_cast<uint32_t>(c.header_reserve.size()));
        out.push_back(static_cast<char>(c.folder_reserve));
        out.push_back(static_cast<char>(c.data_reserve));
        out += c.header_reserve;
    }
    if (c.has_previous) {
        PutName(out, c.previous_cabinet);
        PutName(out, c.previous_disk);
    }
    if (c.has_next) {
        PutName(out, c.next_cabinet);
        PutName(out, c.next_disk);
    }
    std::vector<size_t> folder_at;
    for (const KitFolder& f : c.folders) {
        folder_at.push_back(out.size());
        Put32(out, 0);
        Put16(out, static_cast<uint32_t>(f.blocks.size()));
        Put16(out, f.type);
        std::string reserve = f.reserve;
        reserve.resize(c.reserve ? c.folder_reserve : 0, '\0');
        out += reserve;
    }
    Patch32(out, files_at, static_cast<uint32_t>(out.size()));
    for (const KitFile& f : c.files) {
        Put32(out, f.size);
        Put32(out, f.offset);
        Put16(out, f.folder);
        Put16(out, f.date);
        Put16(out, f.time);
        Put16(out, f.attributes);
        PutName(out, f.name);
    }
    for (size_t i = 0; i < c.folders.size(); ++i) {
        Patch32(out, folder_at[i], static_cast<uint32_t>(out.size()));
        for (const KitBlock& b : c.folders[i].blocks) {
            std::string header;
            Put32(header, 0);
            Put16(header, static_cast<uint32_t>(b.data.size()));
            Put16(header, b.uncompressed);
            std::string reserve = b.reserve;
            reserve.resize(c.reserve ? c.data_reserve : 0, '\0');
            header += reserve;
            uint32_t checksum = b.checksum_value;
            if (b.right_checksum) {
                checksum = KitChecksum(b.data.data(), b.data.size(), 0);
                checksum = KitChecksum(header.data() + 4, b.sum_reserve ? header.size() - 4 : 4, checksum);
            }
            Patch32(header, 0, checksum);
            out += header;
            out += b.data;
        }
    }
    Patch32(out, total_at, static_cast<uint32_t>(out.size()));
    return out;
}

std::vector<KitBlock> MszipBlocks(const std::string& data, bool chained, KitDeflate kind) {
    std::vector<KitBlock> blocks;
    size_t at = 0;
    do {
        size_t n = data.size() - at < 32768 ? data.size() - at : 32768;
        z_stream z = {};
        int level = kind == KIT_DEFLATE_STORED ? 0 : 6;
        int strategy = kind == KIT_DEFLATE_FIXED ? Z_FIXED : Z_DEFAULT_STRATEGY;
        deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
        if (chained && at > 0)
            deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(data.data() + at - 32768), 32768);
        std::string out(deflateBound(&z, n) + 16, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        z.avail_in = static_cast<uInt>(n);
        z.next_out = reinterpret_cast<Bytef*>(&out[0]);
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        KitBlock b;
        b.data = "CK" + out;
        b.uncompressed = static_cast<uint16_t>(n);
        blocks.push_back(b);
        at += n;
    } while (at < data.size());
    return blocks;
}

std::vector<KitBlock> StoredBlocks(const std::string& data) {
    std::vector<KitBlock> blocks;
    for (size_t at = 0; at < data.size(); at += 32768) {
        KitBlock b;
        b.data = data.substr(at, 32768);
        b.uncompressed = static_cast<uint16_t>(b.data.size());
        blocks.push_back(b);
    }
    return blocks;
}

KitCabinet SimpleCabinet(const std::vector<std::pair<std::string, std::string>>& files,
                         uint16_t type,
                         bool chained,
                         KitDeflate kind) {
    KitCabinet c;
    std::string all;
    for (const auto& f : files) {
        KitFile entry;
        entry.name = f.first;
        entry.size = static_cast<uint32_t>(f.second.size());
        entry.offset = static_cast<uint32_t>(all.size());
        c.files.push_back(entry);
        all += f.second;
    }
    KitFolder folder;
    folder.type = type;
    if (!all.empty())
        folder.blocks = type == 1 ? MszipBlocks(all, chained, kind) : StoredBlocks(all);
    c.folders.push_back(folder);
    return c;
}

std::string KitContent(size_t size, uint32_t seed) {
    static const char* const words[] = {"cabinet ", "folder ", "block ",   "the ", "wheel ",  "mouse ",
                                        "driver ",  "setup ",  "install ", "\n",   "scroll ", "0x4349444D "};
    std::string out;
    out.reserve(size);
    uint32_t x = seed * 2654435761u + 12345;
    auto next = [&x]() {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    while (out.size() < size) {
        uint32_t kind = next() % 4;
        size_t run = 200 + next() % 3000;
        for (size_t i = 0; i < run && out.size() < size; ++i) {
            if (kind == 0) {
                const char* w = words[next() % 12];
                out += w;
                i += strlen(w);
            } else if (kind == 1) {
                out.push_back(static_cast<char>((i * 7 + (next() & 3)) & 0xFF));
            } else if (kind == 2) {
                out.push_back(static_cast<char>(next() & 0xFF));
            } else {
                out.push_back('\0');
            }
        }
    }
    out.resize(size);
    return out;
}

void KitBits::Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        accumulator_ |= ((value >> i) & 1u) << held_;
        if (++held_ == 8) {
            bytes_.push_back(static_cast<char>(accumulator_));
            accumulator_ = 0;
            held_ = 0;
        }
    }
}

void KitBits::PutCode(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i)
        Put((code >> i) & 1u, 1);
}

void KitBits::FixedLiteral(uint32_t symbol) {
    if (symbol < 144)
        PutCode(0x30 + symbol, 8);
    else if (symbol < 256)
        PutCode(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        PutCode(symbol - 256, 7);
    else
        PutCode(0xC0 + symbol - 280, 8);
}

void KitBits::FixedMatch(uint32_t length, uint32_t distance) {
    static const uint16_t length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t length_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t dist_base[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t dist_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                           6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    int l = 28;
    while (length_base[l] > length)
        --l;
    FixedLiteral(257 + l);
    Put(length - length_base[l], length_extra[l]);
    int d = 29;
    while (dist_base[d] > distance)
        --d;
    PutCode(d, 5);
    Put(distance - dist_base[d], dist_extra[d]);
}

void KitBits::AlignToByte() {
    if (held_)
        Put(0, 8 - held_);
}

std::string KitBits::Finish() {
    AlignToByte();
    return bytes_;
}
