#include "driverstack/value_text.h"

#include <cstring>

size_t ValueTextLength(const char* value, size_t size) {
    if (value == nullptr) {
        return 0;
    }
    const void* nul = memchr(value, '\0', size);
    return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - value) : size;
}

bool ValueTextContains(const char* value, size_t size, const char* part) {
    size_t partLength = part == nullptr ? 0 : strlen(part);
    size_t textLength = ValueTextLength(value, size);
    if (partLength == 0) {
        return true;
    }
    if (partLength > textLength) {
        return false;
    }
    for (size_t at = 0; at + partLength <= textLength; ++at) {
        if (memcmp(value + at, part, partLength) == 0) {
            return true;
        }
    }
    return false;
}
