// Cabinet reader: parses headers and file lists, follows folders across a set, checks data blocks and drives the
// decoders.
#include "cab_reader.h"

#include <string.h>

#include "mszip.h"
#if CAB_WITH_QUANTUM
#include "quantum.h"
#endif

namespace {

constexpr uint32_t NAME_SIZE = 256;  // every name buffer: at most 255 characters and the NUL
constexpr uint32_t HEADER_SIZE = 36;
constexpr uint32_t FILE_ENTRY_SIZE = 16;
constexpr uint32_t FOLDER_ENTRY_BASE = 8;
constexpr uint32_t DATA_HEADER_BASE = 8;
constexpr uint16_t CAB_VERSION = 0x0103;

constexpr uint16_t SIZE_UNKNOWN = 0xFFFF;
constexpr uint16_t NO_FOLDER = 0xFFFF;
constexpr uint16_t NO_DECODER = 15;

constexpr uint16_t FLAG_PREVIOUS = 0x0001;
constexpr uint16_t FLAG_NEXT = 0x0002;
constexpr uint16_t FLAG_RESERVE = 0x0004;

constexpr uint16_t FOLDER_FROM_PREVIOUS = 0xFFFD;
constexpr uint16_t FOLDER_TO_NEXT = 0xFFFE;
constexpr uint16_t FOLDER_BOTH = 0xFFFF;

constexpr uint16_t METHOD_STORED = 0;
constexpr uint16_t METHOD_MSZIP = 1;
constexpr uint16_t METHOD_QUANTUM = 2;

constexpr uint32_t STORED_BUFFER_SIZE = 32768;
constexpr uint32_t QUANTUM_SLACK = 10240;

struct CabHeader {
    uint32_t files_offset;
    uint16_t folder_count;
    uint16_t file_count;
    uint16_t flags;
    uint16_t set_id;
    uint16_t cabinet_index;
};

struct CabFileEntry {
    uint32_t size;
    uint32_t offset;
    uint16_t folder;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
};

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

struct CabReader {
    CabAllocFn alloc;
    CabFreeFn free_fn;
    CabOpenFn open;
    CabReadFn read;
    CabWriteFn write;
    CabCloseFn close;
    CabSeekFn seek;
    CabError* error;

    CabNotifyFn notify;
    CabDecryptFn decrypt;
    void* user;

    intptr_t list_handle;
    intptr_t data_handle;
    intptr_t output_handle;

    uint8_t raw_header[HEADER_SIZE];
    CabHeader header;
    CabFileEntry entry;
    char file_name[NAME_SIZE];
    char scratch_name[NAME_SIZE];  // entries skipped after a change of cabinet

    char previous_cabinet[NAME_SIZE];
    char previous_disk[NAME_SIZE];
    char next_cabinet[NAME_SIZE];
    char next_disk[NAME_SIZE];
    char request_cabinet[NAME_SIZE];  // what the next-cabinet notification may rewrite
    char request_disk[NAME_SIZE];
    char folder_path[NAME_SIZE];
    char open_path[NAME_SIZE];

    uint16_t header_reserve_size;
    bool header_reserve_known;  // 0xFFFF is a size a cabinet may give, so it cannot mark "unknown"
    uint16_t folder_entry_size;
    uint16_t data_header_size;
    uint16_t cabinet_header_reserve;  // the reserve bytes this cabinet holds (0 without the flag)
    uint8_t* header_reserve;
    uint8_t* folder_entry;
    uint8_t* data_header;

    int32_t folder_table_position;

    uint16_t folder_index;
    uint16_t blocks_left;
    uint64_t block_start;  // offset in the folder's uncompressed data of the current block
    uint32_t block_size;   // uncompressed bytes of the current block; 0 before the first one
    uint32_t block_checksum;
    uint32_t block_compressed;
    uint32_t block_uncompressed;
    const uint8_t* block_data;  // the current block's uncompressed bytes

    uint16_t compression_type;
    void* decoder;
    uint8_t* compressed;
    uint32_t compressed_size;
    uint8_t* uncompressed;

    uint16_t files_left;
    uint16_t skipped;
    bool spanned;
};

namespace {

bool Fail(CabReader* r, int32_t code, int32_t detail = 0) {
    r->error->code = code;
    r->error->detail = detail;
    r->error->failed = true;
    return false;
}

bool ReadExact(CabReader* r, intptr_t handle, void* buffer, uint32_t count) {
    return r->read(handle, buffer, count) == static_cast<int32_t>(count);
}

// Reads a NUL-ended name of at most 255 characters at the list handle's position into buffer.
bool ReadName(CabReader* r, char* buffer) {
    int32_t position = r->seek(r->list_handle, 0, CAB_SEEK_CUR);
    if (position < 0)
        return Fail(r, CAB_ERR_CORRUPT);
    int32_t got = r->read(r->list_handle, buffer, NAME_SIZE);
    if (got <= 0 || got > static_cast<int32_t>(NAME_SIZE))
        return Fail(r, CAB_ERR_CORRUPT);
    // A name must end inside the bytes actually read; at the end of the file nothing past them counts.
    size_t length = strnlen(buffer, static_cast<size_t>(got));
    if (length == static_cast<size_t>(got) || length >= NAME_SIZE) {
        buffer[0] = '\0';
        return Fail(r, CAB_ERR_CORRUPT);
    }
    if (r->seek(r->list_handle, position + static_cast<int32_t>(length) + 1, CAB_SEEK_SET) < 0)
        return Fail(r, CAB_ERR_CORRUPT);
    return true;
}

bool ReadFileEntry(CabReader* r, CabFileEntry* entry, char* name) {
    uint8_t raw[FILE_ENTRY_SIZE];
    if (!ReadExact(r, r->list_handle, raw, FILE_ENTRY_SIZE))
        return Fail(r, CAB_ERR_CORRUPT);
    entry->size = Get32(raw);
    entry->offset = Get32(raw + 4);
    entry->folder = Get16(raw + 8);
    entry->date = Get16(raw + 10);
    entry->time = Get16(raw + 12);
    entry->attributes = Get16(raw + 14);
    return ReadName(r, name);
}

// Closes the data and list handles that are open. A failing close still counts as closed.
bool CloseCabinetHandles(CabReader* r) {
    bool closed = true;
    if (r->data_handle != -1) {
        closed = r->close(r->data_handle) == 0 && closed;
        r->data_handle = -1;
    }
    if (r->list_handle != -1) {
        closed = r->close(r->list_handle) == 0 && closed;
        r->list_handle = -1;
    }
    return closed;
}

void ReleaseBuffers(CabReader* r) {
    if (r->compressed)
        r->free_fn(r->compressed);
    if (r->uncompressed)
        r->free_fn(r->uncompressed);
    r->compressed = nullptr;
    r->uncompressed = nullptr;
    r->compressed_size = 0;
}

// Destroys the current decoder and its buffers; false when the decoder reports an error.
bool DestroyDecoder(CabReader* r) {
    int32_t status = CAB_DECODER_OK;
    if (r->decoder) {
        uint16_t method = r->compression_type & 0x000F;
        if (method == METHOD_MSZIP)
            status = MszipDestroy(static_cast<MszipDecoder*>(r->decoder));
#if CAB_WITH_QUANTUM
        else if (method == METHOD_QUANTUM)
            status = QuantumDestroy(static_cast<QuantumDecoder*>(r->decoder));
#endif
        r->decoder = nullptr;
    }
    ReleaseBuffers(r);
    r->compression_type = NO_DECODER;
    return status == CAB_DECODER_OK;
}

bool SetCompressionType(CabReader* r, uint16_t type) {
    uint16_t method = type & 0x000F;
    // 15 is only the reader's own "no decoder" mark; a folder claiming it is unsupported.
    if (type == r->compression_type && method <= METHOD_QUANTUM)
        return true;
    if (!DestroyDecoder(r))
        return Fail(r, CAB_ERR_DECODER);

    uint32_t max_block = CAB_BLOCK_MAX;
    uint32_t buffer_size = 0;
    switch (method) {
        case METHOD_STORED:
            buffer_size = STORED_BUFFER_SIZE;
            break;
        case METHOD_MSZIP:
            if (MszipCreate(&max_block, r->alloc, r->free_fn, &buffer_size, nullptr) != CAB_DECODER_OK)
                return Fail(r, CAB_ERR_DECODER);
            break;
#if CAB_WITH_QUANTUM
        case METHOD_QUANTUM:
            if (QuantumCreate(&max_block, (type >> 8) & 0x1F, r->alloc, r->free_fn, r->open, r->read, r->write,
                              r->close, r->seek, &buffer_size, nullptr) != CAB_DECODER_OK)
                return Fail(r, CAB_ERR_DECODER);
            break;
#endif
        default:
            return Fail(r, CAB_ERR_BAD_COMPRESSION);
    }

    r->compressed = static_cast<uint8_t*>(r->alloc(buffer_size));
    // Stored blocks are written straight from the compressed buffer.
    if (method != METHOD_STORED)
        r->uncompressed = static_cast<uint8_t*>(r->alloc(CAB_BLOCK_MAX));
    if (!r->compressed || (method != METHOD_STORED && !r->uncompressed)) {
        ReleaseBuffers(r);
        return Fail(r, CAB_ERR_NO_MEMORY);
    }
    r->compressed_size = buffer_size;

    int32_t status = CAB_DECODER_OK;
    if (method == METHOD_MSZIP) {
        MszipDecoder* decoder = nullptr;
        status = MszipCreate(&max_block, r->alloc, r->free_fn, &buffer_size, &decoder);
        r->decoder = decoder;
    }
#if CAB_WITH_QUANTUM
    if (method == METHOD_QUANTUM) {
        QuantumDecoder* decoder = nullptr;
        status = QuantumCreate(&max_block, (type >> 8) & 0x1F, r->alloc, r->free_fn, r->open, r->read, r->write,
                               r->close, r->seek, &buffer_size, &decoder);
        r->decoder = decoder;
    }
#endif
    if (status != CAB_DECODER_OK) {
        r->decoder = nullptr;
        ReleaseBuffers(r);
        return Fail(r, status == CAB_DECODER_NO_MEMORY ? CAB_ERR_NO_MEMORY : CAB_ERR_DECODER);
    }
    r->compression_type = type;
    return true;
}

bool ResetDecoder(CabReader* r) {
    int32_t status = CAB_DECODER_OK;
    uint16_t method = r->compression_type & 0x000F;
    if (r->compression_type != NO_DECODER && method == METHOD_MSZIP)
        status = MszipReset(static_cast<MszipDecoder*>(r->decoder));
#if CAB_WITH_QUANTUM
    if (r->compression_type != NO_DECODER && method == METHOD_QUANTUM)
        status = QuantumReset(static_cast<QuantumDecoder*>(r->decoder));
#endif
    return status == CAB_DECODER_OK ? true : Fail(r, CAB_ERR_DECODER);
}

// Seeks the data handle to folder `index` of the current cabinet and sets up its decoder. A folder
// continued from the previous cabinet must keep the compression type, or the history and the first
// part of a split block would be lost.
bool SeekFolder(CabReader* r, uint16_t index, bool continuation) {
    if (index >= r->header.folder_count)
        return Fail(r, CAB_ERR_CORRUPT);
    r->folder_index = index;
    int64_t position =
        static_cast<int64_t>(r->folder_table_position) + static_cast<int64_t>(index) * r->folder_entry_size;
    if (position > INT32_MAX || r->seek(r->data_handle, static_cast<int32_t>(position), CAB_SEEK_SET) < 0)
        return Fail(r, CAB_ERR_CORRUPT);
    if (!ReadExact(r, r->data_handle, r->folder_entry, r->folder_entry_size))
        return Fail(r, CAB_ERR_CORRUPT);
    uint32_t data_offset = Get32(r->folder_entry);
    if (data_offset > INT32_MAX || r->seek(r->data_handle, static_cast<int32_t>(data_offset), CAB_SEEK_SET) < 0)
        return Fail(r, CAB_ERR_CORRUPT);
    r->blocks_left = Get16(r->folder_entry + 4);
    uint16_t type = Get16(r->folder_entry + 6);
    if (continuation && type != r->compression_type)
        return Fail(r, CAB_ERR_CORRUPT);
    if (!SetCompressionType(r, type))
        return false;
    if (r->decrypt) {
        CabDecryptRecord record = {};
        record.kind = CAB_DECRYPT_FOLDER;
        record.user = r->user;
        record.reserve_size = static_cast<uint16_t>(r->folder_entry_size - FOLDER_ENTRY_BASE);
        record.reserve = record.reserve_size ? r->folder_entry + FOLDER_ENTRY_BASE : nullptr;
        record.folder_index = index;
        if (r->decrypt(&record) == -1)
            return Fail(r, CAB_ERR_ABORTED);
    }
    return true;
}

// Opens cabinet folder_path + name on both handles and parses its header. With check_set, its set
// identifier and index must be the expected ones.
bool OpenCabinet(CabReader* r, const char* name, bool check_set, uint16_t set_id, uint16_t index) {
    size_t path_length = strlen(r->folder_path);
    size_t name_length = strlen(name);
    if (path_length + name_length >= NAME_SIZE)
        return Fail(r, CAB_ERR_CABINET_NOT_FOUND);
    memcpy(r->open_path, r->folder_path, path_length);
    memcpy(r->open_path + path_length, name, name_length + 1);

    r->list_handle = r->open(r->open_path, CAB_OPEN_READ_BINARY, CAB_OPEN_MODE);
    if (r->list_handle == -1)
        return Fail(r, CAB_ERR_CABINET_NOT_FOUND);
    r->data_handle = r->open(r->open_path, CAB_OPEN_READ_BINARY, CAB_OPEN_MODE);
    if (r->data_handle == -1)
        return Fail(r, CAB_ERR_CABINET_NOT_FOUND);

    uint8_t raw[HEADER_SIZE];
    if (!ReadExact(r, r->list_handle, raw, HEADER_SIZE) || memcmp(raw, "MSCF", 4) != 0)
        return Fail(r, CAB_ERR_NOT_A_CABINET);
    uint16_t version = Get16(raw + 24);
    if (version != CAB_VERSION)
        return Fail(r, CAB_ERR_UNKNOWN_VERSION, version);
    CabHeader header;
    header.files_offset = Get32(raw + 16);
    header.folder_count = Get16(raw + 26);
    header.file_count = Get16(raw + 28);
    header.flags = Get16(raw + 30);
    header.set_id = Get16(raw + 32);
    header.cabinet_index = Get16(raw + 34);
    if (check_set && (header.set_id != set_id || header.cabinet_index != index))
        return Fail(r, CAB_ERR_WRONG_CABINET);
    memcpy(r->raw_header, raw, HEADER_SIZE);
    r->header = header;

    uint16_t header_reserve = 0;
    uint32_t folder_reserve = 0;
    uint32_t data_reserve = 0;
    if (header.flags & FLAG_RESERVE) {
        uint8_t sizes[4];
        if (!ReadExact(r, r->list_handle, sizes, 4))
            return Fail(r, CAB_ERR_NOT_A_CABINET);
        header_reserve = Get16(sizes);
        folder_reserve = sizes[2];
        data_reserve = sizes[3];
        if (!r->header_reserve_known) {
            if (header_reserve != 0) {
                r->header_reserve = static_cast<uint8_t*>(r->alloc(header_reserve));
                if (!r->header_reserve)
                    return Fail(r, CAB_ERR_NO_MEMORY);
            }
            r->header_reserve_size = header_reserve;
            r->header_reserve_known = true;
        } else if (header_reserve != r->header_reserve_size) {
            // Reading another size than this cabinet holds would misplace every name after it.
            return Fail(r, CAB_ERR_RESERVE_MISMATCH);
        }
        if (header_reserve != 0 && !ReadExact(r, r->list_handle, r->header_reserve, header_reserve))
            return Fail(r, CAB_ERR_NOT_A_CABINET);
    }
    r->cabinet_header_reserve = header_reserve;

    uint16_t folder_entry_size = static_cast<uint16_t>(FOLDER_ENTRY_BASE + folder_reserve);
    if (r->folder_entry_size == SIZE_UNKNOWN) {
        r->folder_entry = static_cast<uint8_t*>(r->alloc(folder_entry_size));
        if (!r->folder_entry)
            return Fail(r, CAB_ERR_NO_MEMORY);
        r->folder_entry_size = folder_entry_size;
    } else if (folder_entry_size != r->folder_entry_size) {
        return Fail(r, CAB_ERR_RESERVE_MISMATCH);
    }
    uint16_t data_header_size = static_cast<uint16_t>(DATA_HEADER_BASE + data_reserve);
    if (r->data_header_size == SIZE_UNKNOWN) {
        r->data_header = static_cast<uint8_t*>(r->alloc(data_header_size));
        if (!r->data_header)
            return Fail(r, CAB_ERR_NO_MEMORY);
        r->data_header_size = data_header_size;
    } else if (data_header_size != r->data_header_size) {
        return Fail(r, CAB_ERR_RESERVE_MISMATCH);
    }

    r->previous_cabinet[0] = r->previous_disk[0] = '\0';
    r->next_cabinet[0] = r->next_disk[0] = '\0';
    if ((header.flags & FLAG_PREVIOUS) && (!ReadName(r, r->previous_cabinet) || !ReadName(r, r->previous_disk)))
        return false;
    if ((header.flags & FLAG_NEXT) && (!ReadName(r, r->next_cabinet) || !ReadName(r, r->next_disk)))
        return false;

    r->folder_table_position = r->seek(r->list_handle, 0, CAB_SEEK_CUR);
    if (r->folder_table_position < 0 || header.files_offset > INT32_MAX ||
        r->seek(r->list_handle, static_cast<int32_t>(header.files_offset), CAB_SEEK_SET) < 0)
        return Fail(r, CAB_ERR_CORRUPT);
    r->files_left = header.file_count;

    CabNotification note = {};
    note.name1 = r->next_cabinet;
    note.name2 = r->next_disk;
    note.name3 = r->folder_path;
    note.set_id = header.set_id;
    note.cabinet_index = header.cabinet_index;
    note.user = r->user;
    if (r->notify(CAB_NOTIFY_CABINET, &note) == -1)
        return Fail(r, CAB_ERR_ABORTED);
    r->folder_path[NAME_SIZE - 1] = '\0';
    if (r->decrypt) {
        CabDecryptRecord record = {};
        record.kind = CAB_DECRYPT_CABINET;
        record.user = r->user;
        record.reserve_size = header_reserve;
        record.reserve = header_reserve ? r->header_reserve : nullptr;
        record.set_id = header.set_id;
        record.cabinet_index = header.cabinet_index;
        if (r->decrypt(&record) == -1)
            return Fail(r, CAB_ERR_ABORTED);
    }
    return true;
}

// Opens the next cabinet of the set, asking the notification callback for as long as it does not
// abort, and positions the data handle on its first folder, which continues the current one.
bool MoveToNextCabinet(CabReader* r) {
    // Without a next cabinet the folder's data has simply run short.
    if (!(r->header.flags & FLAG_NEXT))
        return Fail(r, CAB_ERR_CORRUPT);
    // Indexes only grow within one extraction, so a set cannot lead round in a circle.
    if (r->header.cabinet_index >= 0xFFFE)
        return Fail(r, CAB_ERR_CORRUPT);
    uint16_t set_id = r->header.set_id;
    uint16_t index = static_cast<uint16_t>(r->header.cabinet_index + 1);
    memcpy(r->request_cabinet, r->next_cabinet, NAME_SIZE);
    memcpy(r->request_disk, r->next_disk, NAME_SIZE);

    CabNotification note = {};
    note.name1 = r->request_cabinet;
    note.name2 = r->request_disk;
    note.name3 = r->folder_path;
    note.set_id = set_id;
    note.cabinet_index = index;
    note.error = CAB_ERR_NONE;
    note.user = r->user;
    for (;;) {
        if (!CloseCabinetHandles(r))
            return Fail(r, CAB_ERR_CORRUPT);
        if (r->notify(CAB_NOTIFY_NEXT_CABINET, &note) == -1)
            return Fail(r, CAB_ERR_ABORTED);
        r->request_cabinet[NAME_SIZE - 1] = '\0';
        r->folder_path[NAME_SIZE - 1] = '\0';
        if (OpenCabinet(r, r->request_cabinet, true, set_id, index) && SeekFolder(r, 0, true))
            break;
        if (r->error->code == CAB_ERR_ABORTED)
            return false;
        note.error = r->error->code;
    }

    // The entries of the file being extracted and of the skipped files that continue here come first.
    uint32_t to_skip = static_cast<uint32_t>(r->skipped) + 1;
    if (r->files_left < to_skip)
        return Fail(r, CAB_ERR_CORRUPT);
    for (uint32_t i = 0; i < to_skip; ++i) {
        --r->files_left;
        CabFileEntry entry;
        if (!ReadFileEntry(r, &entry, r->scratch_name))
            return false;
    }
    r->skipped = 0;
    r->spanned = true;
    return true;
}

// Reads one block header and its data to offset `at` of the compressed buffer and checks its checksum.
bool ReadBlockAt(CabReader* r, uint32_t at) {
    if (!ReadExact(r, r->data_handle, r->data_header, r->data_header_size))
        return Fail(r, CAB_ERR_CORRUPT);
    uint32_t checksum = Get32(r->data_header);
    uint32_t size = Get16(r->data_header + 4);
    if (at + size > r->compressed_size)
        return Fail(r, CAB_ERR_CORRUPT);
    uint8_t* data = r->compressed + at;
    if (!ReadExact(r, r->data_handle, data, size))
        return Fail(r, CAB_ERR_CORRUPT);
    if (checksum != 0) {
        uint32_t of_data = CabBlockChecksum(data, size, 0);
        uint32_t with_reserve = CabBlockChecksum(r->data_header + 4, r->data_header_size - 4u, of_data);
        // Other cabinet makers leave the data reserve out of the sum; such blocks are sound too.
        uint32_t sizes_only = CabBlockChecksum(r->data_header + 4, 4, of_data);
        if (checksum != with_reserve && checksum != sizes_only)
            return Fail(r, CAB_ERR_CORRUPT);
    }
    r->block_checksum = checksum;
    r->block_compressed = at + size;
    r->block_uncompressed = Get16(r->data_header + 6);
    if (r->decrypt) {
        CabDecryptRecord record = {};
        record.kind = CAB_DECRYPT_BLOCK;
        record.user = r->user;
        record.reserve_size = static_cast<uint16_t>(r->data_header_size - DATA_HEADER_BASE);
        record.reserve = record.reserve_size ? r->data_header + DATA_HEADER_BASE : nullptr;
        record.data = r->compressed;
        record.data_size = static_cast<uint16_t>(r->block_compressed);
        record.split = at != 0 || r->block_uncompressed == 0;
        record.partial_size = static_cast<uint16_t>(at);
        if (r->decrypt(&record) == -1)
            return Fail(r, CAB_ERR_ABORTED);
    }
    return true;
}

bool DecompressBlock(CabReader* r) {
    if (r->block_uncompressed > CAB_BLOCK_MAX)
        return Fail(r, CAB_ERR_CORRUPT);
    uint32_t produced = 0;
    int32_t status = CAB_DECODER_OK;
    switch (r->compression_type & 0x000F) {
        case METHOD_STORED:
            produced = r->block_compressed;
            r->block_data = r->compressed;
            break;
        case METHOD_MSZIP:
            produced = CAB_BLOCK_MAX;
            status = MszipDecompress(static_cast<MszipDecoder*>(r->decoder), r->compressed, r->block_compressed,
                                     r->uncompressed, &produced);
            r->block_data = r->uncompressed;
            break;
#if CAB_WITH_QUANTUM
        case METHOD_QUANTUM:
            produced = r->block_uncompressed;
            status = QuantumDecompress(static_cast<QuantumDecoder*>(r->decoder), r->compressed, r->block_compressed,
                                       r->uncompressed, &produced);
            r->block_data = r->uncompressed;
            break;
#endif
        default:
            return Fail(r, CAB_ERR_BAD_COMPRESSION);
    }
    if (status != CAB_DECODER_OK || produced != r->block_uncompressed)
        return Fail(r, CAB_ERR_DECODER);
    return true;
}

// Makes the folder's next block current, joining a block split across cabinets first.
bool ReadNextBlock(CabReader* r) {
    r->block_start += r->block_size;
    r->block_size = 0;
    while (r->blocks_left == 0) {
        if (!MoveToNextCabinet(r))
            return false;
    }
    --r->blocks_left;
    if (!ReadBlockAt(r, 0))
        return false;
    while (r->block_uncompressed == 0) {
        // The rest of the block is the first block of the next cabinet's first folder, which counts it.
        uint32_t first_part = r->block_compressed;
        if (!MoveToNextCabinet(r))
            return false;
        if (r->blocks_left == 0)
            return Fail(r, CAB_ERR_CORRUPT);
        --r->blocks_left;
        if (!ReadBlockAt(r, first_part))
            return false;
    }
    if (!DecompressBlock(r))
        return false;
    r->block_size = r->block_uncompressed;
    return true;
}

// Positions decoding at the start of folder `index` of the current cabinet.
bool StartFolder(CabReader* r, uint16_t index) {
    if (!ResetDecoder(r) || !SeekFolder(r, index, false))
        return false;
    r->block_start = 0;
    r->block_size = 0;
    return true;
}

bool SelectFolder(CabReader* r, uint16_t folder) {
    if (r->spanned)
        return true;
    if (folder == FOLDER_TO_NEXT || folder == FOLDER_BOTH) {
        if (r->header.folder_count == 0)
            return Fail(r, CAB_ERR_CORRUPT);
        folder = static_cast<uint16_t>(r->header.folder_count - 1);
    }
    if (folder >= r->header.folder_count)
        return Fail(r, CAB_ERR_CORRUPT);
    if (folder == r->folder_index)
        return true;
    return StartFolder(r, folder);
}

// Writes the current file entry's bytes to r->output_handle and finishes it.
bool ExtractFile(CabReader* r) {
    const CabFileEntry entry = r->entry;
    if (!SelectFolder(r, entry.folder))
        return false;
    uint64_t position = entry.offset;
    uint64_t needed = entry.size;
    if (needed > 0 && position < r->block_start) {
        // The file lies before the block being decoded: decode its folder again from the start,
        // unless that start is in an earlier cabinet of the set.
        if (r->spanned)
            return Fail(r, CAB_ERR_CORRUPT);
        if (!StartFolder(r, r->folder_index))
            return false;
    }
    while (needed > 0) {
        while (position >= r->block_start + r->block_size) {
            if (!ReadNextBlock(r))
                return false;
        }
        uint64_t in_block = position - r->block_start;
        uint64_t count = r->block_size - in_block;
        if (count > needed)
            count = needed;
        if (r->write(r->output_handle, r->block_data + in_block, static_cast<uint32_t>(count)) !=
            static_cast<int32_t>(count))
            return Fail(r, CAB_ERR_TARGET_FILE);
        position += count;
        needed -= count;
    }

    CabNotification note = {};
    note.name1 = r->file_name;
    note.handle = r->output_handle;
    note.date = entry.date;
    note.time = entry.time;
    note.attributes = static_cast<uint16_t>(entry.attributes & ~CAB_ATTRIBUTE_RUN);
    note.size = (entry.attributes & CAB_ATTRIBUTE_RUN) ? 1 : 0;
    note.user = r->user;
    intptr_t answer = r->notify(CAB_NOTIFY_FILE_DONE, &note);
    if (answer == -1)
        return Fail(r, CAB_ERR_ABORTED);
    r->output_handle = -1;
    if (answer == 0)
        return Fail(r, CAB_ERR_TARGET_FILE);
    return true;
}

bool ExtractEntries(CabReader* r) {
    while (r->files_left > 0) {
        --r->files_left;
        if (!ReadFileEntry(r, &r->entry, r->file_name))
            return false;
        const CabFileEntry& entry = r->entry;
        CabNotification note = {};
        note.size = static_cast<int32_t>(entry.size);
        note.name1 = r->file_name;
        note.name2 = r->previous_cabinet;
        note.name3 = r->previous_disk;
        note.date = entry.date;
        note.time = entry.time;
        note.attributes = entry.attributes;
        note.user = r->user;

        bool from_previous = entry.folder == FOLDER_FROM_PREVIOUS || entry.folder == FOLDER_BOTH;
        if (from_previous && !r->spanned) {
            if (r->notify(CAB_NOTIFY_CONTINUED, &note) == -1)
                return Fail(r, CAB_ERR_ABORTED);
            continue;
        }
        if (!from_previous && r->spanned)
            continue;

        intptr_t answer = r->notify(CAB_NOTIFY_FILE, &note);
        if (answer == -1)
            return Fail(r, CAB_ERR_ABORTED);
        if (answer == 0) {
            if (entry.folder == FOLDER_TO_NEXT || entry.folder == FOLDER_BOTH)
                ++r->skipped;
            continue;
        }
        r->output_handle = answer;
        if (!ExtractFile(r))
            return false;
    }
    return true;
}

}  // namespace

const char* CabErrorName(int32_t code) {
    static const char* const names[] = {
        "CAB_ERR_NONE",        "CAB_ERR_CABINET_NOT_FOUND", "CAB_ERR_NOT_A_CABINET",   "CAB_ERR_UNKNOWN_VERSION",
        "CAB_ERR_CORRUPT",     "CAB_ERR_NO_MEMORY",         "CAB_ERR_BAD_COMPRESSION", "CAB_ERR_DECODER",
        "CAB_ERR_TARGET_FILE", "CAB_ERR_RESERVE_MISMATCH",  "CAB_ERR_WRONG_CABINET",   "CAB_ERR_ABORTED",
    };
    if (code < 0 || code >= static_cast<int32_t>(sizeof(names) / sizeof(names[0])))
        return "CAB_ERR_UNKNOWN";
    return names[code];
}

uint32_t CabBlockChecksum(const uint8_t* bytes, uint32_t count, uint32_t seed) {
    // Two 32-bit groups at a time: the XOR of 64-bit words folds back to the XOR of their halves.
    uint64_t wide = 0;
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        memcpy(&word, bytes + i, 8);
        wide ^= word;
    }
    uint32_t sum = seed;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    sum ^= static_cast<uint32_t>(wide) ^ static_cast<uint32_t>(wide >> 32);
#else
    for (uint32_t j = 0; j < (i & ~7u); j += 4)
        sum ^= Get32(bytes + j);
#endif
    for (; i + 4 <= count; i += 4)
        sum ^= Get32(bytes + i);
    uint32_t tail = 0;
    for (; i < count; ++i)
        tail = (tail << 8) | bytes[i];
    return sum ^ tail;
}

CabReader* CabReaderCreate(CabAllocFn alloc,
                           CabFreeFn free_fn,
                           CabOpenFn open,
                           CabReadFn read,
                           CabWriteFn write,
                           CabCloseFn close,
                           CabSeekFn seek,
                           CabError* error) {
    CabReader* r = static_cast<CabReader*>(alloc(sizeof(CabReader)));
    if (!r) {
        error->code = CAB_ERR_NO_MEMORY;
        error->detail = 0;
        error->failed = true;
        return nullptr;
    }
    memset(r, 0, sizeof(*r));
    r->alloc = alloc;
    r->free_fn = free_fn;
    r->open = open;
    r->read = read;
    r->write = write;
    r->close = close;
    r->seek = seek;
    r->error = error;
    r->list_handle = -1;
    r->data_handle = -1;
    r->output_handle = -1;
    r->header_reserve_size = SIZE_UNKNOWN;
    r->folder_entry_size = SIZE_UNKNOWN;
    r->data_header_size = SIZE_UNKNOWN;
    r->folder_index = NO_FOLDER;
    r->compression_type = NO_DECODER;
    return r;
}

bool CabReaderExtract(CabReader* r,
                      const char* cabinet_name,
                      const char* cabinet_path,
                      CabNotifyFn notify,
                      CabDecryptFn decrypt,
                      void* user) {
    r->notify = notify;
    r->decrypt = decrypt;
    r->user = user;
    r->skipped = 0;
    r->spanned = false;
    r->folder_index = NO_FOLDER;
    r->block_start = 0;
    r->block_size = 0;
    size_t path_length = strlen(cabinet_path);
    bool ok = false;
    if (path_length >= NAME_SIZE) {
        Fail(r, CAB_ERR_CABINET_NOT_FOUND);
    } else {
        memcpy(r->folder_path, cabinet_path, path_length + 1);
        if (OpenCabinet(r, cabinet_name, false, 0, 0xFFFF)) {
            memcpy(r->folder_path, cabinet_path, path_length + 1);
            ok = ExtractEntries(r);
        }
    }
    if (r->output_handle != -1) {
        r->close(r->output_handle);
        r->output_handle = -1;
    }
    CloseCabinetHandles(r);
    // The folder position is lost with the handles; the next extraction selects its folder afresh.
    r->folder_index = NO_FOLDER;
    return ok;
}

bool CabReaderDestroy(CabReader* r) {
    if (!r)
        return true;
    DestroyDecoder(r);
    if (r->output_handle != -1)
        r->close(r->output_handle);
    CloseCabinetHandles(r);
    if (r->header_reserve)
        r->free_fn(r->header_reserve);
    if (r->folder_entry)
        r->free_fn(r->folder_entry);
    if (r->data_header)
        r->free_fn(r->data_header);
    r->free_fn(r);
    return true;
}
