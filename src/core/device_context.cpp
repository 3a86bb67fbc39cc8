#include "core/device_context.h"

#include <windows.h>

#include "core/driver_records.h"
#include "core/install_log.h"
#include "core/mutex_wait.h"
#include "core/tracked_alloc.h"

namespace {

struct ContextRegistry {
    DeviceContext head;  // sentinel of the circular list, in creation order
    uint32_t count;
    HANDLE mutex;
};

ContextRegistry g_registry = {
    {nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr}, 0, nullptr};

bool WaitForRegistry() {
    return TakeMutex(g_registry.mutex);
}

// The record of handle, or null; the caller holds the registry's mutex.
DeviceContext* FindLocked(const void* handle) {
    for (DeviceContext* c = g_registry.head.next; c != &g_registry.head; c = c->next) {
        if (c->key == handle) {
            return c;
        }
    }
    return nullptr;
}

void Unlink(DeviceContext* context) {
    context->prev->next = context->next;
    context->next->prev = context->prev;
    g_registry.count -= 1;
}

}  // namespace

void StartContextRegistry() {
    g_registry.mutex = CreateMutexA(nullptr, FALSE, nullptr);
    g_registry.head.next = &g_registry.head;
    g_registry.head.prev = &g_registry.head;
    g_registry.count = 0;
}

void StopContextRegistry() {
    if (WaitForRegistry()) {
        while (g_registry.count != 0 && g_registry.head.next != &g_registry.head) {
            DeviceContext* context = g_registry.head.next;
            Unlink(context);
            // No stop line: the run was not ended. But the stream is closed
            // here. It lives in msvcrt.dll, which outlives this library, and an
            // open stream would keep the log locked for the rest of the process
            // (a device installer that unloads the co-installer between calls
            // would lose every later run).
            if (context->logStream != nullptr) {
                (void)fclose(context->logStream);
                context->logStream = nullptr;
            }
            ForgetKeptDetail(context);
            TrackedFree(context);
        }
        ReleaseMutex(g_registry.mutex);
    }
    if (g_registry.mutex != nullptr) {
        CloseHandle(g_registry.mutex);
        g_registry.mutex = nullptr;
    }
}

DeviceContext* FindDeviceContext(const void* handle) {
    if (!WaitForRegistry()) {
        return nullptr;
    }
    DeviceContext* found = FindLocked(handle);
    ReleaseMutex(g_registry.mutex);
    return found;
}

DeviceContext* GetDeviceContext(const void* handle) {
    DeviceContext* context = FindDeviceContext(handle);
    if (context != nullptr) {
        return context;
    }
    if (!WaitForRegistry()) {
        return nullptr;
    }
    // Another thread may have created the handle's record between the lookup
    // and this wait; a second record would split the handle's calls between two.
    context = FindLocked(handle);
    if (context != nullptr) {
        ReleaseMutex(g_registry.mutex);
        return context;
    }
    context = static_cast<DeviceContext*>(TrackedAlloc(sizeof(DeviceContext)));
    if (context == nullptr) {
        ReleaseMutex(g_registry.mutex);
        return nullptr;
    }
    context->next = nullptr;
    context->prev = nullptr;
    context->logStream = nullptr;
    context->finishInstallPending = 0;
    context->driverRecords = nullptr;
    context->keptDetail = nullptr;
    context->key = handle;
    // A context whose log did not open stays: each log write tries again.
    OpenInstallLog(&context->logStream);
    context->next = &g_registry.head;
    context->prev = g_registry.head.prev;
    g_registry.head.prev->next = context;
    g_registry.head.prev = context;
    g_registry.count += 1;
    ReleaseMutex(g_registry.mutex);
    return context;
}

void ReleaseDeviceContext(DeviceContext* context) {
    if (context == nullptr || !WaitForRegistry()) {
        return;
    }
    Unlink(context);
    CloseInstallLog(&context->logStream);
    ForgetKeptDetail(context);
    TrackedFree(context);
    ReleaseMutex(g_registry.mutex);
}

uint32_t GetDeviceContextCount() {
    if (!WaitForRegistry()) {
        return 0;
    }
    uint32_t count = g_registry.count;
    ReleaseMutex(g_registry.mutex);
    return count;
}
