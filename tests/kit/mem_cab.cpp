// In-memory callbacks for the cabinet reader and the extraction harness used by tests and the fuzzer.
#include "tests/kit/mem_cab.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct MemHandle {
    bool open = false;
    bool output = false;
    std::string name;
    const std::string* data = nullptr;  // a cabinet
    std::string written;                // an output
    int64_t position = 0;
};

MemWorld g_world;
std::vector<MemHandle> g_handles;

MemHandle* HandleOf(intptr_t h) {
    if (h < 1 || h > static_cast<intptr_t>(g_handles.size()) || !g_handles[h - 1].open)
        return nullptr;
    return &g_handles[h - 1];
}

intptr_t NewHandle() {
    for (size_t i = 0; i < g_handles.size(); ++i) {
        if (!g_handles[i].open) {
            g_handles[i] = MemHandle();
            g_handles[i].open = true;
            ++g_world.open_handles;
            return static_cast<intptr_t>(i + 1);
        }
    }
    g_handles.emplace_back();
    g_handles.back().open = true;
    ++g_world.open_handles;
    return static_cast<intptr_t>(g_handles.size());
}

struct Session {
    const KitPolicy* policy;
    KitResult* result;
    int next_requests = 0;
    bool aborted = false;
};

bool ShouldAbort(Session* s, CabNotifyKind kind, const char* name) {
    if (s->aborted || s->policy->abort_kind != static_cast<int>(kind))
        return false;
    if (!s->policy->abort_name.empty() && (!name || s->policy->abort_name != name))
        return false;
    s->aborted = true;
    return true;
}

intptr_t KitNotify(CabNotifyKind kind, CabNotification* n) {
    Session* s = static_cast<Session*>(n->user);
    KitEvent e = {kind,
                  n->name1 ? n->name1 : "",
                  n->name2 ? n->name2 : "",
                  n->name3 ? n->name3 : "",
                  n->size,
                  n->date,
                  n->time,
                  n->attributes,
                  n->set_id,
                  n->cabinet_index,
                  n->error};
    // Only the fields that hold a value for the kind are kept, so that tables can compare events.
    if (kind == CAB_NOTIFY_CABINET || kind == CAB_NOTIFY_NEXT_CABINET) {
        e.size = 0;
        e.date = e.time = e.attributes = 0;
    } else {
        e.set_id = e.cabinet_index = 0;
    }
    if (kind != CAB_NOTIFY_NEXT_CABINET)
        e.error = 0;
    if (kind == CAB_NOTIFY_FILE_DONE)
        e.name2 = e.name3 = "";
    s->result->events.push_back(e);
    if (ShouldAbort(s, kind, n->name1))
        return -1;
    switch (kind) {
        case CAB_NOTIFY_CABINET:
        case CAB_NOTIFY_CONTINUED:
            return 0;
        case CAB_NOTIFY_FILE: {
            if (s->policy->skip.count(n->name1))
                return 0;
            intptr_t h = NewHandle();
            g_handles[h - 1].output = true;
            g_handles[h - 1].name = n->name1;
            return h;
        }
        case CAB_NOTIFY_FILE_DONE: {
            MemHandle* h = HandleOf(n->handle);
            if (!h || !h->output || h->name != n->name1)
                return 0;
            // Answering 0 means the close failed; the handle is gone all the same. After -1 the reader closes it.
            if (s->policy->file_done_answer == 1) {
                s->result->files[h->name] = h->written;
                s->result->order.push_back(h->name);
            }
            if (s->policy->file_done_answer != -1)
                MemClose(n->handle);
            return s->policy->file_done_answer;
        }
        case CAB_NOTIFY_NEXT_CABINET: {
            if (n->error != 0 && ++s->next_requests > s->policy->next_cabinet_tries)
                return -1;
            auto renamed = s->policy->rename_next.find(n->name1);
            if (renamed != s->policy->rename_next.end())
                snprintf(n->name1, 256, "%s", renamed->second.c_str());
            return 0;
        }
    }
    return -1;
}

int KitDecrypt(CabDecryptRecord* r) {
    Session* s = static_cast<Session*>(r->user);
    KitDecryptEvent e = {
        r->kind, r->reserve ? std::string(reinterpret_cast<char*>(r->reserve), r->reserve_size) : "", 0, 0, 0, 0, false,
        0};
    if (r->kind == CAB_DECRYPT_CABINET) {
        e.set_id = r->set_id;
        e.cabinet_index = r->cabinet_index;
    } else if (r->kind == CAB_DECRYPT_FOLDER) {
        e.folder_index = r->folder_index;
    } else {
        e.data_size = r->data_size;
        e.split = r->split;
        e.partial_size = r->partial_size;
        // The whole block held so far must be readable.
        volatile uint8_t sink = 0;
        for (uint32_t i = 0; i < r->data_size; ++i)
            sink = static_cast<uint8_t>(sink ^ r->data[i]);
    }
    s->result->decrypts.push_back(e);
    return r->kind == s->policy->decrypt_abort_kind ? -1 : 0;
}

}  // namespace

MemWorld& Mem() {
    return g_world;
}

void MemReset() {
    g_world = MemWorld();
    g_handles.clear();
}

void* MemAlloc(uint32_t size) {
    if (g_world.allocations++ == g_world.fail_allocation)
        return nullptr;
    ++g_world.live_blocks;
    // Not zeroed: the reader must not rely on fresh memory.
    void* p = malloc(size ? size : 1);
    memset(p, 0xA5, size);
    return p;
}

void MemFree(void* block) {
    if (block)
        --g_world.live_blocks;
    free(block);
}

intptr_t MemOpen(const char* name, int flags, int mode) {
    if (!name)
        return -1;
    g_world.opened.push_back(name);
    auto found = g_world.cabinets.find(name);
    if (found == g_world.cabinets.end() || flags != CAB_OPEN_READ_BINARY)
        return -1;
    intptr_t h = NewHandle();
    g_handles[h - 1].name = name;
    g_handles[h - 1].data = &found->second;
    return h;
}

int32_t MemRead(intptr_t handle, void* buffer, uint32_t count) {
    MemHandle* h = HandleOf(handle);
    if (!h || h->output || g_world.reads++ == g_world.fail_read)
        return -1;
    int64_t size = static_cast<int64_t>(h->data->size());
    if (h->position >= size)
        return 0;
    int64_t n = size - h->position < count ? size - h->position : count;
    memcpy(buffer, h->data->data() + h->position, static_cast<size_t>(n));
    h->position += n;
    return static_cast<int32_t>(n);
}

int32_t MemWrite(intptr_t handle, const void* buffer, uint32_t count) {
    MemHandle* h = HandleOf(handle);
    if (!h || !h->output)
        return -1;
    uint32_t n = count;
    if (g_world.writes++ == g_world.short_write && n > 0)
        --n;
    h->written.append(static_cast<const char*>(buffer), n);
    return static_cast<int32_t>(n);
}

int MemClose(intptr_t handle) {
    MemHandle* h = HandleOf(handle);
    if (!h)
        return -1;
    bool fail = g_world.fail_close && !h->output;
    h->open = false;
    h->written.clear();
    --g_world.open_handles;
    return fail ? -1 : 0;
}

int32_t MemSeek(intptr_t handle, int32_t offset, int origin) {
    MemHandle* h = HandleOf(handle);
    if (!h || h->output || g_world.seeks++ == g_world.fail_seek)
        return -1;
    int64_t target = origin == CAB_SEEK_SET ? offset : origin == CAB_SEEK_CUR ? h->position + offset : -1;
    if (target < 0)
        return -1;
    h->position = target;
    return static_cast<int32_t>(target);
}

KitResult KitExtractWith(CabReader* reader, CabError* error, const std::string& first, const KitPolicy& policy) {
    KitResult result;
    Session session = {&policy, &result};
    result.ok =
        CabReaderExtract(reader, first.c_str(), "mem/", KitNotify, policy.decrypt ? KitDecrypt : nullptr, &session);
    result.error = *error;
    return result;
}

KitResult KitExtract(const std::map<std::string, std::string>& cabinets,
                     const std::string& first,
                     const KitPolicy& policy) {
    MemWorld settings = Mem();
    MemReset();
    Mem() = settings;
    for (const auto& c : cabinets)
        Mem().cabinets["mem/" + c.first] = c.second;
    CabError error = {};
    CabReader* reader = CabReaderCreate(MemAlloc, MemFree, MemOpen, MemRead, MemWrite, MemClose, MemSeek, &error);
    KitResult result;
    if (reader) {
        result = KitExtractWith(reader, &error, first, policy);
        CabReaderDestroy(reader);
    } else {
        result.error = error;
    }
    result.leaked_blocks = Mem().live_blocks;
    result.open_handles = Mem().open_handles;
    return result;
}

std::string KitDescribe(const KitResult& result) {
    static const char* const kinds[] = {"CABINET", "CONTINUED", "FILE", "FILE_DONE", "NEXT_CABINET"};
    std::string text;
    for (const KitEvent& e : result.events) {
        text += kinds[e.kind];
        text += " " + e.name1;
        if (e.kind == CAB_NOTIFY_NEXT_CABINET)
            text += " error " + std::to_string(e.error);
        text += "\n";
    }
    text += result.ok ? "-> true\n" : "-> false, code " + std::to_string(result.error.code) + "\n";
    return text;
}
