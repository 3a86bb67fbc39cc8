#include "common/ascii_text.h"

#include <cstring>

char LowerAsciiChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void LowerAscii(char* text, size_t size) {
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        text[i] = LowerAsciiChar(text[i]);
    }
}

size_t BoundedLength(const char* text, size_t size) {
    if (text == nullptr) {
        return 0;
    }
    const void* nul = memchr(text, '\0', size);
    return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
}

const char* FindBytes(const char* haystack, size_t haystackLength, const char* needle,
                      size_t needleLength) {
    if (needleLength > haystackLength) {
        return nullptr;
    }
    for (size_t i = 0; i + needleLength <= haystackLength; ++i) {
        if (memcmp(haystack + i, needle, needleLength) == 0) {
            return haystack + i;
        }
    }
    return nullptr;
}
