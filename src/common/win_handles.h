// Owner types for the Win32 handles the co-installer opens. Each one closes its
// handle when it goes out of scope, is move-only, and knows its own "no handle"
// value. Closing never disturbs the thread's last error, so a caller may read
// GetLastError() after an owner has been reset or destroyed.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <cstdio>
#include <utility>

namespace zk {

template <typename Traits>
class UniqueHandleOf {
public:
    using Handle = typename Traits::Handle;

    UniqueHandleOf() = default;
    explicit UniqueHandleOf(Handle handle) : handle_(handle) {}
    ~UniqueHandleOf() { Reset(); }
    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : handle_(other.Release()) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    bool IsValid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return handle_; }

    // For functions that return a handle through an out parameter.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

    [[nodiscard]] Handle Release() {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }

    void Reset(Handle handle = Traits::Invalid()) {
        if (IsValid()) {
            DWORD lastError = GetLastError();
            Traits::Close(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

// Process, thread and mutex handles: "no handle" is null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};

// CreateFile handles: "no handle" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct InfHandleTraits {
    using Handle = HINF;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { SetupCloseInfFile(h); }
};

struct DevInfoTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { SetupDiDestroyDeviceInfoList(h); }
};

// Keys from SetupDiOpenClassRegKey and SetupDiOpenDevRegKey, which fail with
// INVALID_HANDLE_VALUE rather than null.
struct SetupRegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return static_cast<HKEY>(INVALID_HANDLE_VALUE); }
    static void Close(Handle h) { RegCloseKey(h); }
};

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseServiceHandle(h); }
};

struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { GlobalFree(h); }
};

struct StdioFileTraits {
    using Handle = FILE*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { fclose(h); }
};

using UniqueRegKey = UniqueHandleOf<RegKeyTraits>;
using UniqueHandle = UniqueHandleOf<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandleOf<FileHandleTraits>;
using UniqueFindHandle = UniqueHandleOf<FindHandleTraits>;
using UniqueInf = UniqueHandleOf<InfHandleTraits>;
using UniqueDevInfo = UniqueHandleOf<DevInfoTraits>;
using UniqueSetupRegKey = UniqueHandleOf<SetupRegKeyTraits>;
using UniqueServiceHandle = UniqueHandleOf<ServiceHandleTraits>;
using UniqueGlobal = UniqueHandleOf<GlobalMemoryTraits>;
using UniqueStdioFile = UniqueHandleOf<StdioFileTraits>;

}  // namespace zk
