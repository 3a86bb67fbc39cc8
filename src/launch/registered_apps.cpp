#include "launch/registered_apps.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/start_process.h"
#include "core/system_message.h"
#include "core/path_template.h"
#include "core/registry_text.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"

namespace {

const char kRegisteredAppsKey[] = "SOFTWARE\\Marvanto\\ZKCoInstaller";
const DWORD kHardwareIdCapacity = 260;
const DWORD kKeyNameChars = 256;
const DWORD kNameCapacity = 260;
const DWORD kCommandLineCapacity = 260;

// A 4-byte flag value; missing, unreadable or longer than 4 bytes reads as 0.
DWORD ReadFlag(HKEY key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return value;
}

// A path-template value read and expanded; none when it is missing, empty
// (zero bytes), unreadable or cannot be expanded.
TrackedBuffer ReadExpandedValue(HKEY key, const char* name) {
    // One zero byte beyond the data: a string stored without its terminator
    // must not let the expansion read past the block.
    TrackedBuffer value;
    if (ReadSizedTextValue(key, name, 1, &value).failedAt != SizedReadStep::kDone) {
        return TrackedBuffer();
    }
    return TrackedBuffer::Adopt(ExpandPathTemplate(static_cast<char*>(value.Release())));
}

void Launch(DeviceContext* context, const char* programPath, const char* parameters) {
    char commandLine[kCommandLineCapacity];
    if (!FormatRegisteredCommandLine(commandLine, sizeof(commandLine), programPath, parameters)) {
        // Started cut, the line would name another program or other
        // arguments; it is reported like a start that failed.
        char text[MAX_PATH];
        GetSystemMessageLine(ERROR_INSUFFICIENT_BUFFER, text, sizeof(text));
        LogMessage(context,
                   "WARNING: Unable to launch '" ZK_REGISTERED_APP_COMMAND_LINE "'. 0x%08x - %s",
                   programPath, parameters, static_cast<unsigned>(ERROR_INSUFFICIENT_BUFFER), text);
        return;
    }
    LogMessage(context, "Launching File - %s\n", commandLine);
    if (!StartWithoutWaiting(commandLine)) {
        DWORD error = GetLastError();
        char text[MAX_PATH];
        GetSystemMessageLine(error, text, sizeof(text));
        LogMessage(context, "WARNING: Unable to launch '%s'. 0x%08x - %s", commandLine,
                   static_cast<unsigned>(error), text);
        return;
    }
}

// Reads one applying entry and starts its program; any problem skips it.
void LaunchEntry(DeviceContext* context, HKEY appsKey, const char* keyName, int postInstall) {
    zk::UniqueRegKey entry;
    if (RegOpenKeyExA(appsKey, keyName, 0, KEY_QUERY_VALUE, entry.Receive()) != ERROR_SUCCESS) {
        return;
    }
    if (IsNtFamily()) {
        DWORD postFlag = ReadFlag(entry.Get(), "PostInstall");
        DWORD preFlag = ReadFlag(entry.Get(), "PreInstall");
        if (!RegisteredAppWantedInPhase(true, preFlag, postFlag, postInstall)) {
            return;
        }
    }
    TrackedBuffer folder = ReadExpandedValue(entry.Get(), "Path");
    if (!folder) {
        return;
    }
    char name[kNameCapacity + 1];
    if (ReadTextValue(entry.Get(), "Name", name, sizeof(name)) != ERROR_SUCCESS) {
        return;
    }
    TrackedBuffer parameters = ReadExpandedValue(entry.Get(), "Parameters");
    if (!parameters) {
        return;
    }
    entry.Reset();

    size_t pathSize = strlen(folder.Chars()) + strlen(name) + 10;
    TrackedBuffer programPath(static_cast<uint32_t>(pathSize));
    if (!programPath ||
        !BuildRegisteredProgramPath(programPath.Chars(), pathSize, folder.Chars(), name)) {
        return;
    }
    Launch(context, programPath.Chars(), parameters.Chars());
}

}  // namespace

int LaunchRegisteredApp(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData, int postInstall) {
    LogMessage(context, "LaunchRegisteredApp:\n");
    // Without a device (the setup entry point) there is no hardware ID to read.
    if (deviceInfoSet == nullptr || deviceInfoSet == INVALID_HANDLE_VALUE ||
        deviceInfoData == nullptr) {
        return 0;
    }
    // A zero byte stays beyond the 260 offered, so the list always ends.
    char hardwareId[kHardwareIdCapacity + 1];
    if (ReadTextProperty(deviceInfoSet, deviceInfoData, SPDRP_HARDWAREID, hardwareId,
                         sizeof(hardwareId)) != 0) {
        return 0;
    }
    zk::UniqueRegKey appsKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegisteredAppsKey, 0, KEY_ENUMERATE_SUB_KEYS,
                      appsKey.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    char keyName[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        memset(keyName, 0, sizeof(keyName));
        if (RegEnumKeyA(appsKey.Get(), index, keyName, kKeyNameChars) != ERROR_SUCCESS) {
            break;
        }
        if (!RegisteredAppApplies(keyName, sizeof(keyName), hardwareId, sizeof(hardwareId))) {
            continue;
        }
        // Registry names ignore case, so the lower-cased name opens the entry.
        LaunchEntry(context, appsKey.Get(), keyName, postInstall);
    }
    return 1;
}
