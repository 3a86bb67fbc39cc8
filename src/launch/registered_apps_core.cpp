#include "launch/registered_apps_core.h"

#include <cstring>

#include "common/ascii_text.h"
#include "common/bounded_text.h"

namespace {

const size_t kPatternCapacity = 260;

// Whether the up to patternLength characters of keyName from its first marker
// occur in the hardware ID.
bool MarkerPatternOccurs(const char* keyName, size_t keyNameLength, const char* marker,
                         size_t patternLength, const char* hardwareId, size_t hardwareIdLength) {
    const char* start = FindBytes(keyName, keyNameLength, marker, strlen(marker));
    if (start == nullptr) {
        return false;
    }
    size_t available = keyNameLength - static_cast<size_t>(start - keyName);
    size_t length = available < patternLength ? available : patternLength;
    char pattern[kPatternCapacity] = {};
    memcpy(pattern, start, length);
    return FindBytes(hardwareId, hardwareIdLength, pattern, length) != nullptr;
}

}  // namespace

int MatchesDeviceHardwareId(char* hardwareId, size_t hardwareIdSize, char* keyName,
                            size_t keyNameSize) {
    if (hardwareId == nullptr || keyName == nullptr) {
        return 0;
    }
    LowerAscii(hardwareId, hardwareIdSize);
    LowerAscii(keyName, keyNameSize);
    size_t idLength = BoundedLength(hardwareId, hardwareIdSize);
    size_t nameLength = BoundedLength(keyName, keyNameSize);
    return MarkerPatternOccurs(keyName, nameLength, "pid_", 8, hardwareId, idLength) &&
           MarkerPatternOccurs(keyName, nameLength, "mi_", 5, hardwareId, idLength);
}

bool RegisteredAppApplies(char* keyName, size_t keyNameSize, char* hardwareId,
                          size_t hardwareIdSize) {
    LowerAscii(keyName, keyNameSize);
    size_t nameLength = BoundedLength(keyName, keyNameSize);
    if (FindBytes(keyName, nameLength, "valueadd", 8) != nullptr ||
        FindBytes(keyName, nameLength, "viduruvir", 9) != nullptr) {
        return true;
    }
    return MatchesDeviceHardwareId(hardwareId, hardwareIdSize, keyName, keyNameSize) != 0;
}

bool RegisteredAppWantedInPhase(bool ntFamily, uint32_t preInstall, uint32_t postInstall,
                                int postInstallPhase) {
    if (!ntFamily) {
        return true;
    }
    return postInstallPhase ? postInstall != 0 : preInstall != 0;
}

bool BuildRegisteredProgramPath(char* out, size_t capacity, const char* folder, const char* name) {
    size_t folderLength = strlen(folder);
    bool endsInBackslash = folderLength > 0 && folder[folderLength - 1] == '\\';
    return zk::FormatText(out, capacity, "%s%s%s", folder, endsInBackslash ? "" : "\\", name);
}

bool FormatRegisteredCommandLine(char* out, size_t capacity, const char* programPath,
                                 const char* parameters) {
    return zk::FormatText(out, capacity, ZK_REGISTERED_APP_COMMAND_LINE, programPath, parameters);
}
