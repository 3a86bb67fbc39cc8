// Install locations formed from the system's directories, which may be as
// long as a path can be, and from install templates. Input: a settings byte,
// the Windows directory, the system directory, then a template (the rest); the
// table's own rows are formed as well.
#include <string>

#include "fuzz_support.h"
#include "preserve/protected_files.h"

namespace {

void CheckResolve(const std::string& installedPath, const std::string& windows,
                  const std::string& system, size_t capacity) {
    fuzz::Block templateBlock = fuzz::Terminated(installedPath);
    fuzz::Block windowsBlock = fuzz::Terminated(windows);
    fuzz::Block systemBlock = fuzz::Terminated(system);
    fuzz::Block output(capacity);
    bool ok = ResolveInstalledPath(templateBlock.bytes, windowsBlock.bytes, systemBlock.bytes,
                                   output.bytes, output.size);

    std::string expected = installedPath;
    size_t token = installedPath.find("%10%");
    if (token != std::string::npos) {
        expected = windows + installedPath.substr(token + 4);
    } else if ((token = installedPath.find("%11%")) != std::string::npos) {
        expected = system + installedPath.substr(token + 4);
    }
    // Formed whole or refused with an empty output, never cut.
    FUZZ_CHECK(ok == (expected.size() < capacity));
    if (capacity > 0) {
        FUZZ_CHECK(std::string(output.bytes) == (ok ? expected : std::string()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string windows = fuzz::CString(input.Field());
    std::string system = fuzz::CString(input.Field());
    std::string installedPath = fuzz::CString(input.Rest());
    // MAX_PATH as the callers give it, or a capacity near the text's length.
    size_t capacity = (settings & 1) != 0 ? 260 : settings >> 1;

    for (const ProtectedFile* row = ProtectedFileTable; row->installedPath != nullptr; ++row) {
        CheckResolve(row->installedPath, windows, system, capacity);
    }
    CheckResolve(installedPath, windows, system, capacity);
    return 0;
}
