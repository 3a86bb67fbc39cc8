#include "preserve/staged_names.h"

#include <cstring>

#include "common/ascii_text.h"
#include "common/bounded_text.h"

namespace {

const char kStagedMark[] = ".zk";
const size_t kStagedMarkLength = sizeof(kStagedMark) - 1;

}  // namespace

bool FormAsideName(const char* installed, const char* suffix, char* out, size_t capacity) {
    return zk::FormatText(out, capacity, "%s%s", installed, suffix);
}

bool FormStagedName(const char* installed, int n, char* out, size_t capacity) {
    if (n < 1 || n > kMaxStagedCopies) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return false;
    }
    return zk::FormatText(out, capacity, "%s%s%d", installed, kStagedMark, n);
}

bool FormStagedPattern(const char* installed, char* out, size_t capacity) {
    return zk::FormatText(out, capacity, "%s%s*", installed, kStagedMark);
}

bool IsStagedNameOf(const char* installedName, const char* name) {
    size_t length = strlen(installedName);
    if (strlen(name) < length + kStagedMarkLength + 1) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (LowerAsciiChar(name[i]) != LowerAsciiChar(installedName[i])) {
            return false;
        }
    }
    const char* rest = name + length;
    if (LowerAsciiChar(rest[0]) != '.' || LowerAsciiChar(rest[1]) != 'z' ||
        LowerAsciiChar(rest[2]) != 'k') {
        return false;
    }
    const char* digits = rest + kStagedMarkLength;
    size_t count = strlen(digits);
    if (count == 0 || count > 3 || digits[0] == '0') {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (digits[i] < '0' || digits[i] > '9') {
            return false;
        }
    }
    return true;
}
