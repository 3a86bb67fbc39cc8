// Text read from the registry or from a device property, always terminated.
//
// The fixed readers offer the value capacity - 1 bytes and keep the last byte
// zero, so the text ends inside the buffer even when it was stored without its
// terminator; a value that does not fit is refused (ERROR_MORE_DATA, or the
// device installer's ERROR_INSUFFICIENT_BUFFER), never cut. The sized readers
// take a tracked block of the value's own size plus the zero bytes asked for.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "core/tracked_alloc.h"

// ERROR_SUCCESS, or RegQueryValueExA's error. text is cleared first.
LONG ReadTextValue(HKEY key, const char* name, char* text, DWORD capacity);

// 0, or the device installer's error. text is cleared first.
DWORD ReadTextProperty(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                       char* text, DWORD capacity);

// Where a sized read stopped.
enum class SizedReadStep {
    kDone,
    kSize,      // the size could not be had, or it is zero
    kAllocate,  // no block of that size
    kRead,      // the read into the block failed
};
struct SizedRead {
    SizedReadStep failedAt;
    DWORD error;  // the registry's or the thread's error at that step (0 for kAllocate)
};

// The value whole in *text, followed by terminators zero bytes.
SizedRead ReadSizedTextValue(HKEY key, const char* name, DWORD terminators, TrackedBuffer* text);

// The property whole in *text, followed by terminators zero bytes.
SizedRead ReadSizedTextProperty(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                DWORD property, DWORD terminators, TrackedBuffer* text);
