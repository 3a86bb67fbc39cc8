#include "core/library.h"

#include <windows.h>

#include "core/device_context.h"
#include "core/tracked_alloc.h"

namespace {
volatile LONG g_attachCount = 0;
}

void LibraryProcessAttach() {
    if (InterlockedIncrement(&g_attachCount) == 1) {
        StartTrackedAllocator();
        StartContextRegistry();
    }
}

void LibraryProcessDetach() {
    if (InterlockedDecrement(&g_attachCount) == 0) {
        StopContextRegistry();
        StopTrackedAllocator();
    }
}
