#include "core/tracked_alloc.h"

#include <windows.h>
#include <cstdlib>

#include "core/mutex_wait.h"

namespace {

constexpr uint32_t kLiveTag = 0x2345DCBA;
constexpr uint32_t kStateRunning = 1;
constexpr uint32_t kStateStopped = 0xFEEDBACC;

// Lies immediately before the caller's area.
struct BlockHeader {
    uint32_t tag;
    BlockHeader* next;
    BlockHeader* prev;
    uint32_t size;
};

struct TrackedAllocator {
    volatile uint32_t state;
    HANDLE mutex;
    BlockHeader head;  // sentinel of the circular list of outstanding blocks
    uint32_t totalBytes;
    uint32_t blockCount;
};

TrackedAllocator g_allocator = {kStateStopped, nullptr, {0, nullptr, nullptr, 0}, 0, 0};

bool WaitForAllocator() {
    return TakeMutex(g_allocator.mutex);
}

// Whether the four bytes at address can be read without a fault. GCC has no
// structured exception handling, so the page is asked instead of touched.
bool IsReadableWord(const void* address) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof(info)) != sizeof(info)) {
        return false;
    }
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
        return false;
    }
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if ((info.Protect & readable) == 0) {
        return false;
    }
    const char* regionEnd = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (static_cast<const char*>(address) + sizeof(uint32_t) <= regionEnd) {
        return true;
    }
    // The word straddles into the next region: that one must be readable too.
    return IsReadableWord(regionEnd);
}

// The header of block if the block carries a live tag, else null.
BlockHeader* LiveHeaderOf(void* block) {
    uintptr_t address = reinterpret_cast<uintptr_t>(block);
    if (block == nullptr || address < sizeof(BlockHeader)) {
        return nullptr;
    }
    BlockHeader* header = reinterpret_cast<BlockHeader*>(address - sizeof(BlockHeader));
    if (!IsReadableWord(&header->tag)) {
        return nullptr;
    }
    return header->tag == kLiveTag ? header : nullptr;
}

}  // namespace

void StartTrackedAllocator() {
    g_allocator.mutex = CreateMutexA(nullptr, FALSE, nullptr);
    g_allocator.head.next = &g_allocator.head;
    g_allocator.head.prev = &g_allocator.head;
    g_allocator.totalBytes = 0;
    g_allocator.blockCount = 0;
    g_allocator.state = kStateRunning;
}

void StopTrackedAllocator() {
    g_allocator.state = kStateStopped;
    if (g_allocator.mutex != nullptr) {
        CloseHandle(g_allocator.mutex);
        g_allocator.mutex = nullptr;
    }
}

void* TrackedAlloc(uint32_t size) {
    if (g_allocator.state == kStateStopped) {
        return malloc(size);
    }
    if (!WaitForAllocator()) {
        return nullptr;
    }
    void* result = nullptr;
    // The header, the caller's bytes and one spare byte; refuse sizes that
    // would wrap around.
    if (size <= UINT32_MAX - sizeof(BlockHeader) - 1) {
        BlockHeader* header =
            static_cast<BlockHeader*>(malloc(static_cast<size_t>(size) + sizeof(BlockHeader) + 1));
        if (header != nullptr) {
            header->tag = kLiveTag;
            header->size = size;
            header->next = &g_allocator.head;
            header->prev = g_allocator.head.prev;
            g_allocator.head.prev->next = header;
            g_allocator.head.prev = header;
            g_allocator.totalBytes += size;
            g_allocator.blockCount += 1;
            result = header + 1;
        }
    }
    ReleaseMutex(g_allocator.mutex);
    return result;
}

void TrackedFree(void* block) {
    BlockHeader* header = LiveHeaderOf(block);
    if (header == nullptr) {
        free(block);
        return;
    }
    header->tag = 0;
    if (g_allocator.state != kStateStopped) {
        HANDLE mutex = g_allocator.mutex;
        if (!TakeMutex(mutex)) {
            return;  // the block is lost rather than unlinked without the lock
        }
        g_allocator.totalBytes -= header->size;
        g_allocator.blockCount -= 1;
        header->prev->next = header->next;
        header->next->prev = header->prev;
        ReleaseMutex(mutex);
    }
    free(header);
}

TrackedUsage GetTrackedUsage() {
    TrackedUsage usage = {0, 0};
    if (g_allocator.state == kStateStopped || !WaitForAllocator()) {
        return usage;
    }
    usage.blocks = g_allocator.blockCount;
    usage.bytes = g_allocator.totalBytes;
    ReleaseMutex(g_allocator.mutex);
    return usage;
}
