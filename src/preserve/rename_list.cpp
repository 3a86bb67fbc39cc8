#include "preserve/rename_list.h"

#include <cstring>

namespace {

const char kNtPrefix[] = "\\??\\";
const size_t kNtPrefixLength = sizeof(kNtPrefix) - 1;

// Length of the string at offset, stopping at the list's end; *terminated
// tells whether its NUL lies inside the list.
size_t StringLength(const char* list, size_t listSize, size_t offset, bool* terminated) {
    const void* nul = memchr(list + offset, '\0', listSize - offset);
    *terminated = nul != nullptr;
    return nul == nullptr ? listSize - offset
                          : static_cast<size_t>(static_cast<const char*>(nul) - (list + offset));
}

// Where the kept part of the list ends, and how many NULs must follow it to
// complete its last pair (0, 1 or 2).
struct ListEnd {
    size_t keep;
    size_t missingNuls;
};

// Walks the pairs the way the boot-time reader does: a pair begins with a
// non-empty source; an empty string where a source is expected ends the list.
ListEnd FindListEnd(const char* list, size_t listSize) {
    size_t at = 0;
    while (at < listSize && list[at] != '\0') {
        bool terminated = false;
        size_t sourceLength = StringLength(list, listSize, at, &terminated);
        if (!terminated) {
            // A source cut off at the value's end: close it and give it an
            // empty destination.
            return {listSize, 2};
        }
        size_t destination = at + sourceLength + 1;
        if (destination == listSize) {
            // A source whose destination is missing altogether. It is either
            // the temporary file of a move or a file to delete; an empty
            // destination deletes it, which is harmless in both cases and
            // keeps it from pairing with our request.
            return {listSize, 1};
        }
        size_t destinationLength = StringLength(list, listSize, destination, &terminated);
        if (!terminated) {
            return {listSize, 1};
        }
        at = destination + destinationLength + 1;
    }
    return {at, 0};
}

// Whether text (length bytes) names path, with or without the "\??\" prefix,
// ASCII letters compared without regard to case as file names are.
bool NamesPath(const char* text, size_t length, const char* path) {
    if (length >= kNtPrefixLength && memcmp(text, kNtPrefix, kNtPrefixLength) == 0) {
        text += kNtPrefixLength;
        length -= kNtPrefixLength;
    }
    if (length != strlen(path)) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        char a = text[i];
        char b = path[i];
        if (a >= 'A' && a <= 'Z') {
            a = static_cast<char>(a - 'A' + 'a');
        }
        if (b >= 'A' && b <= 'Z') {
            b = static_cast<char>(b - 'A' + 'a');
        }
        if (a != b) {
            return false;
        }
    }
    return true;
}

// Calls visit(source, sourceLength, destination, destinationLength) for each
// pair the boot-time reader would carry out, the destination without its
// replace mark; stops when visit returns false.
template <typename Visit>
void ForEachPair(const char* list, size_t listSize, Visit visit) {
    size_t at = 0;
    while (at < listSize && list[at] != '\0') {
        bool terminated = false;
        size_t sourceLength = StringLength(list, listSize, at, &terminated);
        size_t destination = at + sourceLength + 1;
        if (!terminated || destination >= listSize) {
            return;
        }
        size_t destinationLength = StringLength(list, listSize, destination, &terminated);
        const char* moveTo = list + destination;
        size_t moveToLength = destinationLength;
        if (moveToLength > 0 && moveTo[0] == '!') {
            ++moveTo;
            --moveToLength;
        }
        if (!visit(list + at, sourceLength, moveTo, moveToLength) || !terminated) {
            return;
        }
        at = destination + destinationLength + 1;
    }
}

// Whether a pair that the append keeps moves tempPath onto target, replacing
// or not. A last destination without its NUL is closed by the append, and then
// moves like any other.
bool ListsMove(const char* list, size_t listSize, const char* target, const char* tempPath) {
    bool found = false;
    ForEachPair(list, listSize,
                [&](const char* source, size_t sourceLength, const char* to, size_t toLength) {
                    // A destination of "!" alone names nothing: the pair deletes.
                    found = toLength > 0 && NamesPath(source, sourceLength, tempPath) &&
                            NamesPath(to, toLength, target);
                    return !found;
                });
    return found;
}

char* Put(char* out, const char* text, size_t length) {
    memcpy(out, text, length);
    return out + length;
}

}  // namespace

size_t RenameRequestCapacity(size_t listSize, size_t targetLength, size_t tempPathLength) {
    // Two NULs that an incomplete last pair may need, then the two strings
    // with their prefixes and NULs, and the closing NUL.
    return listSize + 2 + (kNtPrefixLength + tempPathLength + 1) +
           (1 + kNtPrefixLength + targetLength + 1) + 1;
}

RenameAppend AppendRenameRequest(char* buffer, size_t capacity, size_t listSize, const char* target,
                                 const char* tempPath, size_t* newSize) {
    if (listSize > capacity) {
        return RenameAppend::NoRoom;
    }
    if (ListsMove(buffer, listSize, target, tempPath)) {
        return RenameAppend::AlreadyListed;
    }
    ListEnd end = FindListEnd(buffer, listSize);
    size_t targetLength = strlen(target);
    size_t tempPathLength = strlen(tempPath);
    size_t requestSize = RenameRequestCapacity(0, targetLength, tempPathLength) - 2;
    if (end.keep + end.missingNuls > capacity ||
        requestSize > capacity - end.keep - end.missingNuls) {
        return RenameAppend::NoRoom;
    }
    char* out = buffer + end.keep;
    for (size_t i = 0; i < end.missingNuls; ++i) {
        *out++ = '\0';
    }
    // One pair: the staged copy moved onto the target, replacing it.
    out = Put(out, kNtPrefix, kNtPrefixLength);
    out = Put(out, tempPath, tempPathLength + 1);
    *out++ = '!';
    out = Put(out, kNtPrefix, kNtPrefixLength);
    out = Put(out, target, targetLength + 1);
    *out++ = '\0';
    *newSize = static_cast<size_t>(out - buffer);
    return RenameAppend::Appended;
}

bool RenameListNamesSource(const char* list, size_t listSize, const char* path) {
    bool found = false;
    ForEachPair(list, listSize, [&](const char* source, size_t length, const char*, size_t) {
        found = NamesPath(source, length, path);
        return !found;
    });
    return found;
}

bool LastMoveOnto(const char* list, size_t listSize, const char* target, const char** source,
                  size_t* sourceLength) {
    bool found = false;
    ForEachPair(list, listSize,
                [&](const char* from, size_t fromLength, const char* to, size_t toLength) {
                    // A destination of "!" alone names nothing: the pair deletes.
                    if (toLength > 0 && NamesPath(to, toLength, target)) {
                        if (fromLength >= kNtPrefixLength &&
                            memcmp(from, kNtPrefix, kNtPrefixLength) == 0) {
                            from += kNtPrefixLength;
                            fromLength -= kNtPrefixLength;
                        }
                        *source = from;
                        *sourceLength = fromLength;
                        found = true;
                    }
                    return true;
                });
    return found;
}
