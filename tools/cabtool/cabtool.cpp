// cabtool: lists, extracts and tests cabinet files from the command line through the cabinet reader.
//
// cabtool list CAB
// cabtool extract CAB DIR [NAME...]
// cabtool test CAB [NAME...]
//
// Names held by a cabinet are untrusted. A name is written below DIR only when it is relative and
// every part of it (split at "\" and "/") is a plain name: absolute names, drive letters, empty
// parts, "." and ".." are refused, reported as "refused" and skipped; parts below DIR are created as
// folders, never followed through symbolic links.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "cab_reader.h"

namespace {

enum ToolMode { MODE_LIST, MODE_EXTRACT, MODE_TEST };

constexpr uint32_t READ_BUFFER_SIZE = 64 * 1024;
constexpr int MAX_HANDLES = 16;

// One open file: a cabinet read through a buffer, an output file, or a sink for the test mode.
struct ToolFile {
    bool used;
    bool output;
    bool finished;   // the output's bytes are complete; an unfinished output is removed on close
    bool work_file;  // the Quantum decoder's pages: read and written in place, never buffered
    int fd;          // -1 for the test mode's sink
    int64_t position;
    int64_t buffer_position;
    uint32_t buffer_length;
    uint8_t* buffer;
    char path[512];  // of an output, relative to the output folder
};

struct ToolRun {
    ToolMode mode;
    int cabinet_folder;  // descriptor of the folder that holds the cabinets
    int output_folder;   // descriptor of DIR
    char** names;
    int name_count;
    int32_t tool_error;  // what made the tool abort, reported instead of CAB_ERR_ABORTED
};

ToolFile g_files[MAX_HANDLES];
ToolRun g_run;

ToolFile* FileOf(intptr_t handle) {
    if (handle < 1 || handle > MAX_HANDLES || !g_files[handle - 1].used)
        return nullptr;
    return &g_files[handle - 1];
}

intptr_t AddFile(int fd, bool output) {
    for (int i = 0; i < MAX_HANDLES; ++i) {
        ToolFile& f = g_files[i];
        if (f.used)
            continue;
        memset(&f, 0, sizeof(f));
        f.used = true;
        f.output = output;
        f.fd = fd;
        if (!output) {
            f.buffer = static_cast<uint8_t*>(malloc(READ_BUFFER_SIZE));
            if (!f.buffer) {
                f.used = false;
                return -1;
            }
        }
        return i + 1;
    }
    return -1;
}

// CABTOOL_ALLOC_LIMIT=N keeps the memory held through the reader at N bytes at most, as on a
// machine short of memory; a Quantum window that does not fit is then paged to a work file.
struct AllocHeader {
    uint64_t size;
    uint64_t pad;  // keeps the block 16-byte aligned
};

uint64_t g_alloc_limit = 0;
uint64_t g_alloc_live = 0;

void* ToolAlloc(uint32_t size) {
    if (g_alloc_limit != 0 && g_alloc_live + size > g_alloc_limit)
        return nullptr;
    AllocHeader* header = static_cast<AllocHeader*>(malloc(sizeof(AllocHeader) + size));
    if (!header)
        return nullptr;
    header->size = size;
    g_alloc_live += size;
    return header + 1;
}

void ToolFree(void* block) {
    if (!block)
        return;
    AllocHeader* header = static_cast<AllocHeader*>(block) - 1;
    g_alloc_live -= header->size;
    free(header);
}

// A work file for the Quantum decoder's paged window: "*", a 0 byte and the size, little-endian.
intptr_t OpenWorkFile(const char* name) {
    uint32_t size = static_cast<uint8_t>(name[2]) | (static_cast<uint8_t>(name[3]) << 8) |
                    (static_cast<uint8_t>(name[4]) << 16) |
                    (static_cast<uint32_t>(static_cast<uint8_t>(name[5])) << 24);
    const char* folder = getenv("TMPDIR");
    char path[512];
    snprintf(path, sizeof(path), "%s/cabtool-work-XXXXXX", folder && *folder ? folder : "/tmp");
    int fd = mkstemp(path);
    if (fd < 0)
        return -1;
    unlink(path);
    if (ftruncate(fd, size) != 0) {
        close(fd);
        return -1;
    }
    intptr_t handle = AddFile(fd, false);
    if (handle == -1)
        close(fd);
    else
        g_files[handle - 1].work_file = true;
    return handle;
}

intptr_t ToolOpen(const char* name, int flags, int mode) {
    if (!name)
        return -1;
    if (name[0] == '*')
        return OpenWorkFile(name);
    // Cabinets are opened in the cabinet's own folder; the reader's path prefix is empty.
    int fd = openat(g_run.cabinet_folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    intptr_t handle = AddFile(fd, false);
    if (handle == -1)
        close(fd);
    return handle;
}

int32_t ToolRead(intptr_t handle, void* buffer, uint32_t count) {
    ToolFile* f = FileOf(handle);
    if (!f || f->output || count > INT32_MAX)
        return -1;
    uint8_t* to = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (f->work_file && done < count) {
        ssize_t got = pread(f->fd, to + done, count - done, f->position);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return done ? static_cast<int32_t>(done) : -1;
        done += static_cast<uint32_t>(got);
        f->position += got;
    }
    while (done < count) {
        int64_t in_buffer = f->position - f->buffer_position;
        if (in_buffer >= 0 && in_buffer < f->buffer_length) {
            uint32_t n = f->buffer_length - static_cast<uint32_t>(in_buffer);
            if (n > count - done)
                n = count - done;
            memcpy(to + done, f->buffer + in_buffer, n);
            done += n;
            f->position += n;
            continue;
        }
        ssize_t got;
        if (count - done >= READ_BUFFER_SIZE / 2) {
            got = pread(f->fd, to + done, count - done, f->position);
            if (got > 0) {
                done += static_cast<uint32_t>(got);
                f->position += got;
                continue;
            }
        } else {
            got = pread(f->fd, f->buffer, READ_BUFFER_SIZE, f->position);
            if (got > 0) {
                f->buffer_position = f->position;
                f->buffer_length = static_cast<uint32_t>(got);
                continue;
            }
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && done == 0)
            return -1;
        break;
    }
    return static_cast<int32_t>(done);
}

int32_t ToolWrite(intptr_t handle, const void* buffer, uint32_t count) {
    ToolFile* f = FileOf(handle);
    if (!f || count > INT32_MAX)
        return -1;
    if (f->fd == -1)
        return static_cast<int32_t>(count);
    const uint8_t* from = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    if (f->work_file) {
        // The work file is written where its last seek put it.
        while (done < count) {
            ssize_t n = pwrite(f->fd, from + done, count - done, f->position);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<uint32_t>(n);
            f->position += n;
        }
        return static_cast<int32_t>(done);
    }
    while (done < count) {
        ssize_t n = write(f->fd, from + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(done);
}

int ToolClose(intptr_t handle) {
    ToolFile* f = FileOf(handle);
    if (!f)
        return -1;
    int result = 0;
    if (f->fd != -1 && close(f->fd) != 0)
        result = -1;
    // An output closed before its last byte holds wrong data: it does not stay.
    if (f->output && f->fd != -1 && !f->finished)
        unlinkat(g_run.output_folder, f->path, 0);
    free(f->buffer);
    f->used = false;
    return result;
}

int32_t ToolSeek(intptr_t handle, int32_t offset, int origin) {
    ToolFile* f = FileOf(handle);
    if (!f || f->output)
        return -1;
    int64_t target = origin == CAB_SEEK_SET ? offset : origin == CAB_SEEK_CUR ? f->position + offset : -1;
    if (target < 0 || target > INT32_MAX)
        return -1;
    f->position = target;
    return static_cast<int32_t>(target);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Equal ignoring ASCII case, with "\" and "/" taken as the same separator.
bool SameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a;
        char y = *b;
        if (IsSeparator(x) && IsSeparator(y))
            continue;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (!x)
            return true;
    }
}

bool Wanted(const char* name) {
    if (g_run.name_count == 0)
        return true;
    for (int i = 0; i < g_run.name_count; ++i) {
        if (SameName(name, g_run.names[i]))
            return true;
    }
    return false;
}

// Turns a cabinet name into a path below the output folder, or explains why it is refused.
const char* SafePath(const char* name, char* path, size_t size) {
    if (!name[0])
        return "empty name";
    if (IsSeparator(name[0]))
        return "absolute name";
    if (((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) && name[1] == ':')
        return "drive letter";
    size_t length = strlen(name);
    if (length + 1 > size)
        return "name too long";
    const char* part = name;
    size_t out = 0;
    while (*part) {
        size_t n = 0;
        while (part[n] && !IsSeparator(part[n]))
            ++n;
        if (n == 0)
            return "empty path part";
        if ((n == 1 && part[0] == '.') || (n == 2 && part[0] == '.' && part[1] == '.'))
            return "relative path part";
        memcpy(path + out, part, n);
        out += n;
        part += n;
        if (*part) {
            path[out++] = '/';
            ++part;
            if (!*part)
                return "empty path part";
        }
    }
    path[out] = '\0';
    return nullptr;
}

// Creates the folders of path below the output folder; an existing part must be a real folder.
bool MakeParents(const char* path) {
    char partial[512];
    for (size_t i = 0; path[i]; ++i) {
        if (path[i] != '/')
            continue;
        memcpy(partial, path, i);
        partial[i] = '\0';
        struct stat st;
        if (fstatat(g_run.output_folder, partial, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false;
            continue;
        }
        if (mkdirat(g_run.output_folder, partial, 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

void FormatAttributes(uint16_t attributes, char* text) {
    static const struct {
        uint16_t bit;
        char letter;
    } letters[] = {{0x01, 'r'}, {0x02, 'h'}, {0x04, 's'}, {0x20, 'a'}, {CAB_ATTRIBUTE_RUN, 'x'}};
    for (size_t i = 0; i < sizeof(letters) / sizeof(letters[0]); ++i)
        text[i] = (attributes & letters[i].bit) ? letters[i].letter : '-';
    text[sizeof(letters) / sizeof(letters[0])] = '\0';
}

void PrintEntry(const CabNotification* n) {
    char attributes[8];
    FormatAttributes(n->attributes, attributes);
    printf("%10u %04u-%02u-%02u %02u:%02u:%02u %s %s\n", static_cast<uint32_t>(n->size), 1980u + (n->date >> 9),
           (n->date >> 5) & 15u, n->date & 31u, n->time >> 11, (n->time >> 5) & 63u, (n->time & 31u) * 2, attributes,
           n->name1);
}

void StampFile(int fd, uint16_t date, uint16_t time) {
    struct tm when = {};
    when.tm_year = 80 + (date >> 9);
    when.tm_mon = ((date >> 5) & 15) - 1;
    when.tm_mday = date & 31;
    when.tm_hour = time >> 11;
    when.tm_min = (time >> 5) & 63;
    when.tm_sec = (time & 31) * 2;
    when.tm_isdst = -1;
    time_t stamp = mktime(&when);
    if (stamp == static_cast<time_t>(-1))
        return;
    struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
    futimens(fd, times);
}

intptr_t StartFile(const CabNotification* n) {
    if (!Wanted(n->name1))
        return 0;
    if (g_run.mode == MODE_TEST) {
        printf("tested %s\n", n->name1);
        return AddFile(-1, true);
    }
    char path[512];
    const char* refusal = SafePath(n->name1, path, sizeof(path));
    if (refusal) {
        printf("refused %s: %s\n", n->name1, refusal);
        return 0;
    }
    if (!MakeParents(path)) {
        g_run.tool_error = CAB_ERR_TARGET_FILE;
        return -1;
    }
    int fd = openat(g_run.output_folder, path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        g_run.tool_error = CAB_ERR_TARGET_FILE;
        return -1;
    }
    intptr_t handle = AddFile(fd, true);
    if (handle == -1) {
        close(fd);
        unlinkat(g_run.output_folder, path, 0);
        g_run.tool_error = CAB_ERR_NO_MEMORY;
        return -1;
    }
    snprintf(FileOf(handle)->path, sizeof(FileOf(handle)->path), "%s", path);
    printf("extracted %s\n", n->name1);
    return handle;
}

intptr_t FinishFile(const CabNotification* n) {
    ToolFile* f = FileOf(n->handle);
    if (!f)
        return 0;
    f->finished = true;
    if (f->fd != -1)
        StampFile(f->fd, n->date, n->time);
    return ToolClose(n->handle) == 0 ? 1 : 0;
}

// Finds a cabinet of the set in the cabinet folder by its name, ignoring case as Windows would.
bool FindCabinet(char* name) {
    if (!name[0] || strchr(name, '/') || strchr(name, '\\'))
        return false;
    struct stat st;
    if (fstatat(g_run.cabinet_folder, name, &st, 0) == 0 && S_ISREG(st.st_mode))
        return true;
    // A descriptor of its own: a duplicate would share the listing position with earlier lookups.
    int fd = openat(g_run.cabinet_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!folder) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    bool found = false;
    while (struct dirent* item = readdir(folder)) {
        if (strcasecmp(item->d_name, name) == 0 && strlen(item->d_name) < 256) {
            strcpy(name, item->d_name);
            found = true;
            break;
        }
    }
    closedir(folder);
    return found;
}

intptr_t ToolNotify(CabNotifyKind kind, CabNotification* n) {
    switch (kind) {
        case CAB_NOTIFY_CABINET:
            return 0;
        case CAB_NOTIFY_CONTINUED:
            if (g_run.mode == MODE_LIST)
                PrintEntry(n);
            else
                printf("continued %s (from %s)\n", n->name1, n->name2);
            return 0;
        case CAB_NOTIFY_FILE:
            if (g_run.mode == MODE_LIST) {
                PrintEntry(n);
                return 0;
            }
            return StartFile(n);
        case CAB_NOTIFY_FILE_DONE:
            return FinishFile(n);
        case CAB_NOTIFY_NEXT_CABINET:
            // A repeated request means the cabinet named could not be used: stop instead of asking again.
            if (n->error != CAB_ERR_NONE) {
                g_run.tool_error = n->error;
                return -1;
            }
            if (!FindCabinet(n->name1)) {
                g_run.tool_error = CAB_ERR_CABINET_NOT_FOUND;
                return -1;
            }
            n->name3[0] = '\0';
            return 0;
    }
    return -1;
}

int Usage() {
    fprintf(stderr,
            "usage: cabtool list CAB\n"
            "       cabtool extract CAB DIR [NAME...]\n"
            "       cabtool test CAB [NAME...]\n");
    return 2;
}

bool MakeFolders(const char* path) {
    char partial[4096];
    size_t length = strlen(path);
    if (length >= sizeof(partial))
        return false;
    for (size_t i = 1; i <= length; ++i) {
        if (path[i] != '/' && path[i] != '\0')
            continue;
        memcpy(partial, path, i);
        partial[i] = '\0';
        if (mkdir(partial, 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    const char* command = argv[1];
    const char* cabinet = argv[2];
    int first_name = 3;
    if (strcmp(command, "list") == 0 && argc == 3) {
        g_run.mode = MODE_LIST;
    } else if (strcmp(command, "extract") == 0 && argc >= 4) {
        g_run.mode = MODE_EXTRACT;
        first_name = 4;
    } else if (strcmp(command, "test") == 0) {
        g_run.mode = MODE_TEST;
    } else {
        return Usage();
    }
    g_run.names = argv + first_name;
    g_run.name_count = argc - first_name;
    g_run.output_folder = -1;

    // The reader gets the cabinet's bare name; its folder is held open for this and the next cabinets.
    char folder[4096];
    const char* slash = strrchr(cabinet, '/');
    const char* name = slash ? slash + 1 : cabinet;
    size_t folder_length = slash ? static_cast<size_t>(slash - cabinet) + 1 : 0;
    if (folder_length >= sizeof(folder))
        folder_length = 0;
    memcpy(folder, cabinet, folder_length);
    folder[folder_length] = '\0';
    g_run.cabinet_folder = open(folder_length ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    CabError error = {};
    if (g_run.cabinet_folder < 0 || !*name) {
        fprintf(stderr, "error %d %s\n", CAB_ERR_CABINET_NOT_FOUND, CabErrorName(CAB_ERR_CABINET_NOT_FOUND));
        return 1;
    }
    if (g_run.mode == MODE_EXTRACT) {
        if (!MakeFolders(argv[3]) || (g_run.output_folder = open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC)) < 0) {
            fprintf(stderr, "error %d %s\n", CAB_ERR_TARGET_FILE, CabErrorName(CAB_ERR_TARGET_FILE));
            return 1;
        }
    }

    if (const char* limit = getenv("CABTOOL_ALLOC_LIMIT"))
        g_alloc_limit = strtoull(limit, nullptr, 10);
    CabReader* reader =
        CabReaderCreate(ToolAlloc, ToolFree, ToolOpen, ToolRead, ToolWrite, ToolClose, ToolSeek, &error);
    bool ok = reader && CabReaderExtract(reader, name, "", ToolNotify, nullptr, nullptr);
    if (reader)
        CabReaderDestroy(reader);
    fflush(stdout);
    if (ok)
        return 0;
    int32_t code = error.code;
    if (code == CAB_ERR_ABORTED && g_run.tool_error != CAB_ERR_NONE)
        code = g_run.tool_error;
    fprintf(stderr, "error %d %s\n", code, CabErrorName(code));
    return 1;
}
