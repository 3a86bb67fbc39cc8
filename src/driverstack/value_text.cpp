#include "driverstack/value_text.h"

#include <cstring>

#include "common/ascii_text.h"

size_t ValueTextLength(const char* value, size_t size) {
    return BoundedLength(value, size);
}

bool ValueTextContains(const char* value, size_t size, const char* part) {
    size_t partLength = part == nullptr ? 0 : strlen(part);
    if (partLength == 0) {
        return true;
    }
    return FindBytes(value, ValueTextLength(value, size), part, partLength) != nullptr;
}
