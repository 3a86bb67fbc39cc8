#include "launch/device_identity_core.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// One scanf "%d": white space, sign, digits. False when no digit follows.
bool ScanInt(const char** cursor, int32_t* value) {
    char* end = nullptr;
    long number = strtol(*cursor, &end, 10);
    if (end == *cursor) {
        return false;
    }
    // A number beyond 32 bits has no meaning as a version part; keep the
    // saturated value rather than let it wrap.
    if (number > INT32_MAX) {
        number = INT32_MAX;
    } else if (number < INT32_MIN) {
        number = INT32_MIN;
    }
    *value = static_cast<int32_t>(number);
    *cursor = end;
    return true;
}

const size_t kPrefixLength = 4;  // "vid_", "pid_", "rev_"
const size_t kValueLength = kIdentityValueSize - 1;

// True when text has at least count characters before its terminator.
bool HasAtLeast(const char* text, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (text[i] == '\0') {
            return false;
        }
    }
    return true;
}

// The value after prefix, if the prefix is there and four characters follow.
char* FindValue(char* hardwareId, const char* prefix) {
    char* found = strstr(hardwareId, prefix);
    if (found == nullptr) {
        return nullptr;
    }
    char* value = found + kPrefixLength;
    return HasAtLeast(value, kValueLength) ? value : nullptr;
}

}  // namespace

DriverVerParse ParseDriverVerText(const char* lineText, DriverVersion* version,
                                  const char** versionText) {
    const char* comma = strchr(lineText, ',');
    const char* cursor = comma != nullptr ? comma + 1 : lineText;
    while (*cursor == ' ') {
        ++cursor;
    }
    *versionText = cursor;
    if (*cursor == '\0') {
        return DriverVerParse::kNoVersion;
    }
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*cursor != '.') {
                return DriverVerParse::kMalformed;
            }
            ++cursor;
        }
        if (!ScanInt(&cursor, &version->parts[i])) {
            return DriverVerParse::kMalformed;
        }
    }
    return DriverVerParse::kOk;
}

unsigned ExtractUsbIdentity(char* hardwareId, char* vid, char* pid, char* bcd) {
    struct Field {
        const char* prefix;
        unsigned missingBit;
        char* output;
        char* value;
    } fields[] = {
        {"vid_", kMissingVid, vid, nullptr},
        {"pid_", kMissingPid, pid, nullptr},
        {"rev_", kMissingBcd, bcd, nullptr},
    };
    unsigned missing = 0;
    for (Field& field : fields) {
        field.value = FindValue(hardwareId, field.prefix);
        if (field.value == nullptr) {
            missing |= field.missingBit;
        }
    }
    if (missing != 0) {
        return missing;
    }
    // Each value is cut off after its four characters. A cut can shorten a
    // value found later when the prefixes overlap (as in "vid_pid_..."); that
    // value is then missing too.
    for (Field& field : fields) {
        if (!HasAtLeast(field.value, kValueLength)) {
            missing |= field.missingBit;
            continue;
        }
        field.value[kValueLength] = '\0';
        memcpy(field.output, field.value, kIdentityValueSize);
    }
    return missing;
}
