// Scoped owners for Win32 handles, one per kind with its own close.
#pragma once

#include <windows.h>

template <typename T, typename Traits>
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(T h) : handle_(h) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    T Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }
    T* Receive() {
        Reset();
        return &handle_;
    }
    T Release() {
        T h = handle_;
        handle_ = Traits::Invalid();
        return h;
    }
    void Reset(T h = Traits::Invalid()) {
        if (Traits::IsValid(handle_))
            Traits::Close(handle_);
        handle_ = h;
    }

private:
    T handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static bool IsValid(HGDIOBJ h) { return h != nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};

using ScopedKernelHandle = ScopedHandle<HANDLE, KernelHandleTraits>;
using ScopedRegKey = ScopedHandle<HKEY, RegKeyTraits>;
using ScopedGdiObject = ScopedHandle<HGDIOBJ, GdiObjectTraits>;
