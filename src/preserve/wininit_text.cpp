#include "preserve/wininit_text.h"

#include <cstring>

namespace {

const char kHeader[] = "[rename]";
const size_t kHeaderLength = sizeof(kHeader) - 1;
const char kLineEnd[] = "\r\n";
const size_t kLineEndLength = sizeof(kLineEnd) - 1;
// The start-up processing deletes the file named after "NUL="; any other key
// is the new name of a file.
const char kDelete[] = "NUL=";
const size_t kDeleteLength = sizeof(kDelete) - 1;

// End of the line that starts at offset: just past its line feed, or the
// file's end.
size_t LineEnd(const char* file, size_t fileSize, size_t offset) {
    const void* feed = memchr(file + offset, '\n', fileSize - offset);
    return feed == nullptr ? fileSize
                           : static_cast<size_t>(static_cast<const char*>(feed) - file) + 1;
}

// Whether the line is the section's header: "[rename]" in any case, after
// optional blanks, with anything after the closing bracket ignored. Windows
// reads section names without regard to case and takes the first section of a
// name, so a header in other letters is the section the requests must join,
// and a mere mention of the name elsewhere in a line is no header at all.
bool IsRenameHeader(const char* line, size_t length) {
    size_t at = 0;
    while (at < length && (line[at] == ' ' || line[at] == '\t')) {
        ++at;
    }
    if (length - at < kHeaderLength) {
        return false;
    }
    for (size_t i = 0; i < kHeaderLength; ++i) {
        char c = line[at + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kHeader[i]) {
            return false;
        }
    }
    return true;
}

char Lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Trims the blanks the profile reader drops around a name.
void TrimBlanks(const char* text, size_t* begin, size_t* end) {
    while (*begin < *end && IsBlank(text[*begin])) {
        ++*begin;
    }
    while (*end > *begin && IsBlank(text[*end - 1])) {
        --*end;
    }
}

// Whether text[begin, end) is name, both without the blanks around them (the
// profile reader drops those), ASCII letters compared without regard to case
// as file names are.
bool IsName(const char* text, size_t begin, size_t end, const char* name) {
    TrimBlanks(text, &begin, &end);
    size_t nameBegin = 0;
    size_t nameEnd = strlen(name);
    TrimBlanks(name, &nameBegin, &nameEnd);
    if (end - begin != nameEnd - nameBegin) {
        return false;
    }
    for (size_t i = 0; i < end - begin; ++i) {
        if (Lowered(text[begin + i]) != Lowered(name[nameBegin + i])) {
            return false;
        }
    }
    return true;
}

// Calls visit(keyBegin, keyEnd, valueBegin, valueEnd) for each line of
// file[begin, end) that holds a '=', the line end left out.
template <typename Visit>
void ForEachAssignment(const char* file, size_t begin, size_t end, Visit visit) {
    for (size_t at = begin; at < end;) {
        size_t lineEnd = LineEnd(file, end, at);
        size_t textEnd = lineEnd;
        if (textEnd > at && file[textEnd - 1] == '\n') {
            --textEnd;
        }
        if (textEnd > at && file[textEnd - 1] == '\r') {
            --textEnd;
        }
        const void* equals = memchr(file + at, '=', textEnd - at);
        if (equals != nullptr) {
            size_t split = static_cast<size_t>(static_cast<const char*>(equals) - file);
            visit(at, split, split + 1, textEnd);
        }
        at = lineEnd;
    }
}

// Whether a line of file[begin, end) reads "<target>=<source>".
bool SectionMoves(const char* file, size_t begin, size_t end, const char* target,
                  const char* source) {
    bool found = false;
    ForEachAssignment(
        file, begin, end, [&](size_t key, size_t keyEnd, size_t value, size_t valueEnd) {
            found = found ||
                    (IsName(file, key, keyEnd, target) && IsName(file, value, valueEnd, source));
        });
    return found;
}

// Where the first "[rename]" section's lines begin and end; false when the
// file has no such section.
bool FindRenameSection(const char* file, size_t fileSize, size_t* begin, size_t* end) {
    size_t sectionStart = fileSize + 1;
    for (size_t at = 0; at < fileSize;) {
        size_t lineEnd = LineEnd(file, fileSize, at);
        size_t length = lineEnd - at;
        if (file[lineEnd - 1] == '\n') {
            --length;
        }
        if (IsRenameHeader(file + at, length)) {
            sectionStart = lineEnd;
            break;
        }
        at = lineEnd;
    }
    if (sectionStart > fileSize) {
        return false;
    }
    // The section ends in front of the next section's header, or at the end
    // of the file.
    *begin = sectionStart;
    *end = fileSize;
    for (size_t at = sectionStart; at < fileSize; at = LineEnd(file, fileSize, at)) {
        if (file[at] == '[') {
            *end = at;
            break;
        }
    }
    return true;
}

struct Writer {
    char* out;
    size_t capacity;
    size_t size;
    bool ok;

    void Put(const char* text, size_t length) {
        if (!ok || length > capacity - size) {
            ok = false;
            return;
        }
        memcpy(out + size, text, length);
        size += length;
    }
    void Put(const char* text) { Put(text, strlen(text)); }
};

}  // namespace

size_t WinInitRenameCapacity(size_t fileSize, size_t targetLength, size_t sourceLength,
                             size_t spareLength) {
    // A line end for an unterminated last line, the header with its line end,
    // "NUL=<target>" with its line end, "<target>=<source>" with one, and the
    // spare's line "<source>=<spare>" with one.
    size_t size = fileSize + kLineEndLength + (kHeaderLength + kLineEndLength) +
                  (kDeleteLength + targetLength + kLineEndLength) +
                  (targetLength + 1 + sourceLength + kLineEndLength);
    return spareLength == 0 ? size : size + sourceLength + 1 + spareLength + kLineEndLength;
}

WinInitAdd AddWinInitRename(const char* file, size_t fileSize, const char* target,
                            const char* source, const char* spare, char* output, size_t capacity,
                            size_t* outputSize) {
    *outputSize = 0;
    size_t sectionStart = 0;
    // Where the request lines go: in front of the next section's header, or at
    // the end of the file.
    size_t insertAt = fileSize;
    bool hasSection = FindRenameSection(file, fileSize, &sectionStart, &insertAt);
    if (hasSection && SectionMoves(file, sectionStart, insertAt, target, source)) {
        return WinInitAdd::AlreadyListed;
    }

    Writer writer = {output, capacity, 0, true};
    writer.Put(file, insertAt);
    if (insertAt > 0 && file[insertAt - 1] != '\n') {
        writer.Put(kLineEnd, kLineEndLength);
    }
    if (!hasSection) {
        writer.Put(kHeader, kHeaderLength);
        writer.Put(kLineEnd, kLineEndLength);
    }
    writer.Put(kDelete, kDeleteLength);
    writer.Put(target);
    writer.Put(kLineEnd, kLineEndLength);
    writer.Put(target);
    writer.Put("=", 1);
    writer.Put(source);
    if (spare != nullptr && *spare != '\0') {
        writer.Put(kLineEnd, kLineEndLength);
        writer.Put(source);
        writer.Put("=", 1);
        writer.Put(spare);
    }
    if (insertAt < fileSize) {
        writer.Put(kLineEnd, kLineEndLength);
        writer.Put(file + insertAt, fileSize - insertAt);
    }
    if (!writer.ok) {
        return WinInitAdd::NoRoom;
    }
    *outputSize = writer.size;
    return WinInitAdd::Added;
}

bool WinInitNamesSource(const char* file, size_t fileSize, const char* path) {
    size_t begin = 0;
    size_t end = 0;
    bool found = false;
    if (FindRenameSection(file, fileSize, &begin, &end)) {
        ForEachAssignment(file, begin, end, [&](size_t, size_t, size_t value, size_t valueEnd) {
            found = found || IsName(file, value, valueEnd, path);
        });
    }
    return found;
}

bool LastWinInitMoveOnto(const char* file, size_t fileSize, const char* target, const char** source,
                         size_t* sourceLength) {
    size_t begin = 0;
    size_t end = 0;
    bool found = false;
    if (FindRenameSection(file, fileSize, &begin, &end)) {
        ForEachAssignment(file, begin, end,
                          [&](size_t key, size_t keyEnd, size_t value, size_t valueEnd) {
                              if (IsName(file, key, keyEnd, target)) {
                                  TrimBlanks(file, &value, &valueEnd);
                                  *source = file + value;
                                  *sourceLength = valueEnd - value;
                                  found = true;
                              }
                          });
    }
    return found;
}
