#include "common/bounded_text.h"
#include "common/system_printf.h"

#include <cstdio>
#include <cstring>

namespace zk {

bool CopyText(char* dst, size_t capacity, const char* src) {
    if (dst == nullptr || capacity == 0) {
        return false;
    }
    size_t length = src == nullptr ? 0 : strlen(src);
    if (src == nullptr || length >= capacity) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst, src, length + 1);
    return true;
}

bool AppendText(char* dst, size_t capacity, const char* src) {
    if (dst == nullptr || capacity == 0) {
        return false;
    }
    size_t used = strnlen(dst, capacity);
    size_t length = src == nullptr ? 0 : strlen(src);
    if (src == nullptr || used >= capacity || length >= capacity - used) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst + used, src, length + 1);
    return true;
}

bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args) {
    if (dst == nullptr || capacity == 0) {
        return false;
    }
    // A text that does not fit gives -1 or a count of capacity or more (on
    // Windows without a terminator); both are refused.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): args comes started from the caller.
    int written = ZK_VSNPRINTF(dst, capacity, format, args);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        dst[0] = '\0';
        return false;
    }
    return true;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
bool FormatText(char* dst, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return ok;
}

}  // namespace zk
