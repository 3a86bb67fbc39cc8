#include "setupactions/setup_line.h"

#include <climits>
#include <cstring>

#include "common/bounded_text.h"
#include "common/leading_int.h"

namespace zk {

namespace {

bool BeginsWith(const char* text, const char* keyword) {
    return strncmp(text, keyword, strlen(keyword)) == 0;
}

SetupActionKind KindOfCode(int code, const char* argument) {
    switch (code) {
        case 10:
            return SetupActionKind::RegisterInWindowsDirectory;
        case 11:
            return SetupActionKind::RegisterInSystemDirectory;
        case 99:
            // Both words are tried on the same argument, AutoPlay first.
            if (BeginsWith(argument, "DisableAutoPlay")) {
                return SetupActionKind::DisableAutoPlay;
            }
            if (BeginsWith(argument, "DisableUnsafeDialog")) {
                return SetupActionKind::DisableUnsafeDialog;
            }
            return SetupActionKind::Nothing;
        case 100:
            return SetupActionKind::DeleteRegistryValue;
        case 101:
            return BeginsWith(argument, "CopyHIDUSBDriver") ? SetupActionKind::CopyHidUsbDriver
                                                            : SetupActionKind::Nothing;
        case 102:
            return SetupActionKind::CreateRegistryValue;
        case 103:
            return BeginsWith(argument, "NO_ROVudevid") ? SetupActionKind::DeclineBandwidthMonitor
                                                        : SetupActionKind::UnknownModule;
        default:
            return SetupActionKind::RegisterFile;
    }
}

}  // namespace

int ReadActionCode(const char* text) {
    return ParseLeadingInt(text);
}

SetupAction ParseSetupLine(const char* line) {
    SetupAction action;
    const char* comma = strchr(line, ',');
    if (comma == nullptr) {
        action.kind = SetupActionKind::RegisterFile;
        action.code = 0;
        action.hasComma = false;
        action.argument = line;
        return action;
    }
    // The code is read from the whole line: atoi stops at the comma anyway,
    // since a comma is not a digit.
    action.code = ReadActionCode(line);
    action.hasComma = true;
    action.argument = comma + 1;
    action.kind = KindOfCode(action.code, action.argument);
    return action;
}

bool NextSectionLine(const char* buffer, size_t count, size_t* position, const char** line,
                     size_t* length) {
    size_t start = *position;
    if (buffer == nullptr || start >= count) {
        return false;
    }
    size_t end = start;
    while (end < count && buffer[end] != '\0') {
        ++end;
    }
    *line = buffer + start;
    *length = end - start;
    *position = end + 1;
    return true;
}

bool SectionReadMayBeCut(size_t count, size_t capacity) {
    return capacity >= 2 && count == capacity - 2;
}

size_t WholeSectionLines(const char* section, size_t count, const char* longer,
                         size_t longerCount) {
    if (count == 0) {
        return 0;
    }
    // The last line ends at count; in a read that was not cut at the same
    // place, the same line ends at the same offset with a NUL.
    if (longer != nullptr && longerCount >= count && longer[count] == '\0') {
        return count;
    }
    size_t start = count;
    while (start > 0 && section[start - 1] != '\0') {
        --start;
    }
    return start;
}

bool FirstLineNotRun(const char* section, size_t count, size_t whole, const char* longer,
                     size_t longerCount, const char** line, size_t* length) {
    // Below count, whole is where a cut line starts. At count, every line of
    // the short read was whole, and the next one starts right after the last
    // line's NUL: at count when the count took that NUL in (a read that ended
    // exactly where a line begins), else one further on.
    size_t next = whole;
    if (whole == count && count > 0 && section[count - 1] != '\0') {
        next = count + 1;
    }
    if (longer != nullptr && longerCount > next) {
        return NextSectionLine(longer, longerCount, &next, line, length);
    }
    size_t cut = whole;
    return whole < count && NextSectionLine(section, count, &cut, line, length);
}

RegistrationKind ClassifyRegistration(const char* path) {
    const char* dot = strchr(path, '.');
    if (dot == nullptr) {
        return RegistrationKind::None;
    }
    static const char* const kInProcessWords[] = {"DLL", "dll", "ax", "AX"};
    for (const char* word : kInProcessWords) {
        if (strstr(dot, word) != nullptr) {
            return RegistrationKind::InProcessServer;
        }
    }
    if (strstr(dot, "EXE") != nullptr || strstr(dot, "exe") != nullptr) {
        return RegistrationKind::LocalServer;
    }
    return RegistrationKind::None;
}

size_t DirectoryPartLength(const char* path) {
    const char* backslash = strrchr(path, '\\');
    return backslash == nullptr ? 0 : static_cast<size_t>(backslash - path);
}

BuildResult BuildRegsvr32CommandLine(char* out, size_t capacity, const char* systemDirectory,
                                     const char* path) {
    if (strchr(path, '"') != nullptr) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return BuildResult::QuoteInPath;
    }
    return FormatText(out, capacity, "\"%s\\regsvr32.exe\" /s \"%s\"", systemDirectory, path)
               ? BuildResult::Built
               : BuildResult::TooLong;
}

BuildResult BuildServerCommandLine(char* out, size_t capacity, const char* path) {
    if (strchr(path, '"') != nullptr) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return BuildResult::QuoteInPath;
    }
    return FormatText(out, capacity, "\"%s\" /REGSERVER", path) ? BuildResult::Built
                                                                : BuildResult::TooLong;
}

bool IsFullyQualifiedPath(const char* path) {
    auto isSlash = [](char c) { return c == '\\' || c == '/'; };
    bool driveLetter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    if (driveLetter && path[1] == ':' && isSlash(path[2])) {
        return true;
    }
    return isSlash(path[0]) && isSlash(path[1]);
}

bool JoinSetupPath(char* out, size_t capacity, const char* directory, const char* relative) {
    return FormatText(out, capacity, "%s\\%s", directory, relative);
}

bool SplitRegistryArgument(const char* argument, char* keyPath, size_t capacity,
                           const char** valueName) {
    if (!NamesRegistryKey(argument)) {
        if (capacity > 0) {
            keyPath[0] = '\0';
        }
        return false;
    }
    const char* backslash = strrchr(argument, '\\');
    size_t length = static_cast<size_t>(backslash - argument);
    if (length >= capacity) {
        if (capacity > 0) {
            keyPath[0] = '\0';
        }
        return false;
    }
    memcpy(keyPath, argument, length);
    keyPath[length] = '\0';
    *valueName = backslash + 1;
    return true;
}

bool NamesRegistryKey(const char* argument) {
    const char* backslash = strrchr(argument, '\\');
    return backslash != nullptr && backslash != argument;
}

}  // namespace zk
