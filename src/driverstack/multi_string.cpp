#include "driverstack/multi_string.h"

#include <cstring>

#include "common/ascii_text.h"

namespace {

// Calls visit(text, length) for every non-empty string of the list, in order.
// A string ends at its NUL or at the list's end, whichever comes first.
template <typename Visit>
void ForEachString(const char* list, size_t listSize, Visit visit) {
    size_t at = 0;
    while (list != nullptr && at < listSize) {
        if (list[at] == '\0') {
            ++at;
            continue;
        }
        const void* nul = memchr(list + at, '\0', listSize - at);
        size_t length = nul != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(nul) - (list + at))
                            : listSize - at;
        visit(list + at, length);
        at += length + 1;
    }
}

// Appends length bytes and a NUL at *used when they fit capacity.
bool PutString(char* output, size_t capacity, size_t* used, const char* text, size_t length) {
    if (capacity - *used < length + 1) {
        return false;
    }
    memcpy(output + *used, text, length);
    output[*used + length] = '\0';
    *used += length + 1;
    return true;
}

bool PutClosingNul(char* output, size_t capacity, size_t* used) {
    if (*used >= capacity) {
        return false;
    }
    output[(*used)++] = '\0';
    return true;
}

size_t NameLength(const char* name) {
    return name == nullptr ? 0 : strlen(name);
}

}  // namespace

bool EqualsIgnoringAsciiCase(const char* text, size_t size, const char* name) {
    if (name == nullptr || strlen(name) != size) {
        return false;
    }
    for (size_t i = 0; i < size; ++i) {
        if (LowerAsciiChar(text[i]) != LowerAsciiChar(name[i])) {
            return false;
        }
    }
    return true;
}

bool MultiStringContains(const char* list, size_t listSize, const char* name) {
    bool found = false;
    ForEachString(list, listSize, [&](const char* text, size_t length) {
        found = found || EqualsIgnoringAsciiCase(text, length, name);
    });
    return found;
}

size_t RemovalCapacity(size_t listSize) {
    return listSize + 2;
}

bool RemoveFromMultiString(const char* list, size_t listSize, const char* name, char* output,
                           size_t capacity, size_t* outputSize, size_t* removed) {
    size_t used = 0;
    size_t dropped = 0;
    bool fits = output != nullptr;
    ForEachString(list, listSize, [&](const char* text, size_t length) {
        if (EqualsIgnoringAsciiCase(text, length, name)) {
            ++dropped;
        } else if (fits) {
            fits = PutString(output, capacity, &used, text, length);
        }
    });
    fits = fits && PutClosingNul(output, capacity, &used);
    *outputSize = fits ? used : 0;
    *removed = dropped;
    return fits;
}

size_t AppendCapacity(size_t listSize, const char* name) {
    return listSize + NameLength(name) + 3;
}

bool AppendToMultiString(const char* list, size_t listSize, const char* name, char* output,
                         size_t capacity, size_t* outputSize, bool* present) {
    size_t used = 0;
    bool found = false;
    size_t nameLength = NameLength(name);
    bool fits = output != nullptr && nameLength > 0;
    ForEachString(list, listSize, [&](const char* text, size_t length) {
        found = found || EqualsIgnoringAsciiCase(text, length, name);
        fits = fits && PutString(output, capacity, &used, text, length);
    });
    if (fits && !found) {
        fits = PutString(output, capacity, &used, name, nameLength);
    }
    fits = fits && PutClosingNul(output, capacity, &used);
    *outputSize = fits ? used : 0;
    *present = found;
    return fits;
}

bool PrependToMultiString(const char* list, size_t listSize, const char* name, char* output,
                          size_t capacity, size_t* outputSize, bool* present) {
    *outputSize = 0;
    *present = false;
    size_t nameLength = NameLength(name);
    if (output == nullptr || nameLength == 0) {
        return false;
    }
    if (MultiStringContains(list, listSize, name)) {
        *present = true;
        return true;
    }
    if (capacity < nameLength + 1 || capacity - (nameLength + 1) < listSize) {
        return false;
    }
    memcpy(output, name, nameLength + 1);
    if (listSize > 0) {
        memcpy(output + nameLength + 1, list, listSize);
    }
    *outputSize = nameLength + 1 + listSize;
    return true;
}
