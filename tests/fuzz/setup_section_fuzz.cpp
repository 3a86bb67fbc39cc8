// A zkcoinst.ini section as the platform returns it (lines separated by NULs,
// possibly cut anywhere), walked and interpreted as the setup-action
// interpreter does, without the Win32 actions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "setupactions/setup_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes themselves, unterminated: the walk must stay within size.
    std::vector<char> section(data, data + size);
    const char* buffer = section.empty() ? nullptr : section.data();

    // The first half as a cut read, the whole as the longer read that checks it.
    size_t half = size / 2;
    size_t whole = zk::WholeSectionLines(buffer, half, buffer, size > 0 ? size - 1 : 0);
    if (whole > half) {
        __builtin_trap();
    }

    size_t position = 0;
    const char* next = nullptr;
    size_t length = 0;
    while (zk::NextSectionLine(buffer, size, &position, &next, &length)) {
        char line[zk::kSetupTextCapacity];
        if (length >= sizeof(line)) {
            continue;
        }
        memcpy(line, next, length);
        line[length] = '\0';
        zk::SetupAction action = zk::ParseSetupLine(line);
        const char* argument = action.argument;

        char out[zk::kSetupTextCapacity];
        zk::JoinSetupPath(out, sizeof(out), "C:\\windows\\system32", argument);
        zk::ClassifyRegistration(argument);
        zk::DirectoryPartLength(argument);
        zk::BuildRegsvr32CommandLine(out, sizeof(out), "C:\\windows\\system32", argument);
        zk::BuildServerCommandLine(out, sizeof(out), argument);
        const char* valueName = nullptr;
        if (zk::SplitRegistryArgument(argument, out, sizeof(out), &valueName) &&
            (valueName < argument || valueName > argument + strlen(argument))) {
            __builtin_trap();
        }
    }
    return 0;
}
