#include "core/path_template_core.h"

#include <cstring>

#include "common/leading_int.h"

namespace {

const char kSharedMakerFolder[] = "Marvshrd";
const char kMakerFolder[] = "Marvanto";

// The maker folder under the text built so far: "Marvshrd" when it is a
// directory, else "Marvanto" only when it is a plain directory with no other
// attribute. Null when neither qualifies.
const char* ResolveMakerFolder(const PathTemplatePlatform& platform, const char* builtSoFar) {
    if (builtSoFar == nullptr) {
        return nullptr;
    }
    // A Parameters value that quotes its path ("%43%\%L%\Tools\q.ini") has
    // built the opening quote too; the quote belongs to the command line, not
    // to the folder on disk.
    if (builtSoFar[0] == '"') {
        ++builtSoFar;
    }
    // Nothing built yet would probe a folder relative to whatever the current
    // directory happens to be; that names no reliable place, so it fails.
    if (builtSoFar[0] == '\0') {
        return nullptr;
    }
    size_t prefixLength = strlen(builtSoFar);
    char probe[kTemplatePathCapacity];
    // Both names have the same length; a probe path that does not fit fails
    // rather than asking about a shortened path.
    if (prefixLength + sizeof(kSharedMakerFolder) > sizeof(probe)) {
        return nullptr;
    }
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the name copied next ends the text.
    memcpy(probe, builtSoFar, prefixLength);

    memcpy(probe + prefixLength, kSharedMakerFolder, sizeof(kSharedMakerFolder));
    uint32_t attributes = platform.getFileAttributes(probe);
    if (attributes != kNoFileAttributes && (attributes & kDirectoryAttribute) != 0) {
        return kSharedMakerFolder;
    }
    memcpy(probe + prefixLength, kMakerFolder, sizeof(kMakerFolder));
    if (platform.getFileAttributes(probe) == kDirectoryAttribute) {
        return kMakerFolder;
    }
    return nullptr;
}

}  // namespace

char* NextTemplateToken(char* text, char** context) {
    char* cursor = text != nullptr ? text : *context;
    if (cursor == nullptr) {
        return nullptr;
    }
    while (*cursor == '%') {
        ++cursor;
    }
    if (*cursor == '\0') {
        *context = cursor;
        return nullptr;
    }
    char* token = cursor;
    while (*cursor != '\0' && *cursor != '%') {
        ++cursor;
    }
    if (*cursor == '%') {
        *cursor++ = '\0';
    }
    *context = cursor;
    return token;
}

int CsidlFromToken(const char* token) {
    return ParseLeadingInt(token);
}

bool IsMakerFolderToken(const char* token) {
    return (token[0] == 'L' || token[0] == 'l') && token[1] == '\0';
}

char* AppendToBufferWith(const PathTemplatePlatform& platform, char* buffer, uint32_t* capacity,
                         const char* text) {
    size_t textLength = strlen(text);
    if (buffer == nullptr) {
        if (textLength >= UINT32_MAX) {
            return nullptr;
        }
        uint32_t size = static_cast<uint32_t>(textLength + 1);
        char* fresh = static_cast<char*>(platform.alloc(size));
        if (fresh == nullptr) {
            return nullptr;
        }
        memset(fresh, 0, size);
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the cleared last byte ends it.
        memcpy(fresh, text, textLength);
        *capacity = size;
        return fresh;
    }
    size_t usedLength = strlen(buffer);
    if (textLength >= UINT32_MAX - usedLength) {
        return nullptr;
    }
    size_t needed = usedLength + textLength + 1;
    if (needed > *capacity) {
        char* grown = static_cast<char*>(platform.alloc(static_cast<uint32_t>(needed)));
        if (grown == nullptr) {
            return nullptr;
        }
        memset(grown, 0, needed);
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the append below ends it.
        memcpy(grown, buffer, usedLength);
        platform.free(buffer);
        buffer = grown;
        *capacity = static_cast<uint32_t>(needed);
    }
    memcpy(buffer + usedLength, text, textLength + 1);
    return buffer;
}

char* ExpandPathTemplateWith(const PathTemplatePlatform& platform, char* templateBuffer) {
    if (templateBuffer == nullptr) {
        return nullptr;
    }
    bool variable = templateBuffer[0] == '%';
    char* position = nullptr;
    char* token = NextTemplateToken(templateBuffer, &position);
    if (token == nullptr) {
        return templateBuffer;
    }
    char* result = nullptr;
    uint32_t capacity = 0;
    for (; token != nullptr; token = NextTemplateToken(nullptr, &position), variable = !variable) {
        char folder[kTemplatePathCapacity];
        const char* value = token;
        if (variable) {
            if (IsMakerFolderToken(token)) {
                value = ResolveMakerFolder(platform, result);
            } else if (platform.getSpecialFolderPath(CsidlFromToken(token), folder)) {
                // The shell writes at most MAX_PATH bytes; terminate anyway so
                // a misbehaving provider cannot run the append off the end.
                folder[sizeof(folder) - 1] = '\0';
                value = folder;
            } else {
                value = nullptr;
            }
        }
        char* grown =
            value != nullptr ? AppendToBufferWith(platform, result, &capacity, value) : nullptr;
        if (grown == nullptr) {
            platform.free(result);
            platform.free(templateBuffer);
            return nullptr;
        }
        result = grown;
    }
    platform.free(templateBuffer);
    return result;
}
