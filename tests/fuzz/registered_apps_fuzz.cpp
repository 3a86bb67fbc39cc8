// Registered companion programs: the match of a registry key name against the
// device's hardware ID, and the program path and command line formed from
// registry values. Input: a settings byte, the key name, the hardware ID, the
// folder, the file name, the arguments (the rest). Key name and hardware ID
// come as the registry gives them: sized, with or without a NUL.
#include <string>

#include "fuzz_support.h"
#include "launch/registered_apps_core.h"

namespace {

// The up to patternLength characters of name from its first marker occur in id.
bool PatternOccurs(const std::string& name, const char* marker, size_t patternLength,
                   const std::string& id) {
    size_t start = name.find(marker);
    if (start == std::string::npos) {
        return false;
    }
    return id.find(name.substr(start, patternLength)) != std::string::npos;
}

void CheckMatch(const std::string& keyName, const std::string& hardwareId) {
    fuzz::Block name = fuzz::Unterminated(keyName);
    fuzz::Block id = fuzz::Unterminated(hardwareId);
    bool applies = RegisteredAppApplies(name.bytes, name.size, id.bytes, id.size);

    std::string nameText = fuzz::Lowered(fuzz::CString(keyName));
    std::string idText = fuzz::Lowered(fuzz::CString(hardwareId));
    bool everyDevice = nameText.find("valueadd") != std::string::npos ||
                       nameText.find("viduruvir") != std::string::npos;
    bool matches =
        PatternOccurs(nameText, "pid_", 8, idText) && PatternOccurs(nameText, "mi_", 5, idText);
    FUZZ_CHECK(applies == (everyDevice || matches));

    // Lower-cased in place up to the text's end, and nothing else changed.
    std::string lowered = fuzz::Lowered(keyName);
    for (size_t i = 0; i < keyName.size(); ++i) {
        bool inText = i < nameText.size();
        FUZZ_CHECK(name.bytes[i] == (inText ? lowered[i] : keyName[i]));
    }
    if (!everyDevice) {
        std::string loweredId = fuzz::Lowered(hardwareId);
        for (size_t i = 0; i < hardwareId.size(); ++i) {
            bool inText = i < idText.size();
            FUZZ_CHECK(id.bytes[i] == (inText ? loweredId[i] : hardwareId[i]));
        }
    }
}

// A bounded format either gives exactly the expected text or refuses with an
// empty buffer; it never writes past the capacity.
void CheckBounded(bool ok, const fuzz::Block& out, const std::string& expected) {
    FUZZ_CHECK(ok == (expected.size() < out.size));
    if (ok) {
        FUZZ_CHECK(std::string(out.bytes) == expected);
    } else if (out.size > 0) {
        FUZZ_CHECK(out.bytes[0] == '\0');
    }
}

void CheckCommandLine(uint8_t settings, const std::string& folderField,
                      const std::string& fileField, const std::string& argumentField) {
    std::string folder = fuzz::CString(folderField);
    std::string file = fuzz::CString(fileField);
    std::string arguments = fuzz::CString(argumentField);
    fuzz::Block folderBlock = fuzz::Terminated(folder);
    fuzz::Block fileBlock = fuzz::Terminated(file);
    fuzz::Block argumentBlock = fuzz::Terminated(arguments);

    bool endsInBackslash = !folder.empty() && folder.back() == '\\';
    std::string path = folder + (endsInBackslash ? "" : "\\") + file;
    // The capacities the callers use (MAX_PATH), or smaller ones near the text.
    size_t pathCapacity = (settings & 1) != 0 ? 260 : path.size() + (settings >> 6);
    fuzz::Block pathOut(pathCapacity);
    CheckBounded(
        BuildRegisteredProgramPath(pathOut.bytes, pathOut.size, folderBlock.bytes, fileBlock.bytes),
        pathOut, path);

    std::string line = "\"" + path + "\" " + arguments;
    size_t lineCapacity = (settings & 2) != 0 ? 260 : line.size() + ((settings >> 4) & 3);
    fuzz::Block lineOut(lineCapacity);
    fuzz::Block pathIn = fuzz::Terminated(path);
    CheckBounded(
        FormatRegisteredCommandLine(lineOut.bytes, lineOut.size, pathIn.bytes, argumentBlock.bytes),
        lineOut, line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string keyName = input.Field();
    std::string hardwareId = input.Field();
    std::string folder = input.Field();
    std::string file = input.Field();
    std::string arguments = input.Rest();

    CheckMatch(keyName, hardwareId);
    CheckCommandLine(settings, folder, file, arguments);
    return 0;
}
