#include "setupactions/hid_registry_actions.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "setupactions/setup_line.h"

namespace {

const char kHidUsbDriver[] = "hidusb.sys";

// The shell's file operation takes lists of paths, each list closed by a
// second NUL: the buffer is zeroed and the path may use all but its last two
// bytes, so that the one path is always followed by two NULs.
bool FormatShellPath(char (&buffer)[MAX_PATH], const char* format, const char* directory,
                     const char* middle) {
    memset(buffer, 0, sizeof(buffer));
    bool fits =
        middle == nullptr
            ? zk::FormatText(buffer, sizeof(buffer) - 1, format, directory, kHidUsbDriver)
            : zk::FormatText(buffer, sizeof(buffer) - 1, format, directory, middle, kHidUsbDriver);
    buffer[sizeof(buffer) - 1] = '\0';
    return fits;
}

}  // namespace

void CopyHIDUSBDriver(DeviceContext* context) {
    char systemDirectory[MAX_PATH];
    UINT result = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    if (result == 0 || result >= sizeof(systemDirectory)) {
        LogMessage(context, "GetSystemDirectory() Failed - Result - %d \n",
                   static_cast<int>(result));
        return;
    }
    char source[MAX_PATH];
    char target[MAX_PATH];
    if (!FormatShellPath(source, "%s\\%s", systemDirectory, nullptr) ||
        !FormatShellPath(target, "%s\\%s\\%s", systemDirectory, "Drivers")) {
        LogMessage(context, "ERROR: CopyHIDUSBDriver: The path of %s is too long; not copied\n",
                   kHidUsbDriver);
        return;
    }
    LogMessage(context, "Copying File \n");
    LogMessage(context, "From: %s\n", source);
    LogMessage(context, "To: %s\n", target);

    // Critical-error boxes (no disk in a drive and the like) would stop an
    // unattended installation; the caller's own mode is put back afterwards.
    UINT savedMode = SetErrorMode(0);
    SetErrorMode(SEM_FAILCRITICALERRORS);

    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof(operation));
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = source;
    operation.pTo = target;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    int copied = SHFileOperationA(&operation);
    if (copied == 0) {
        LogMessage(context, "SHFileOperation() operation Succeeded \n");
    } else {
        LogMessage(context, "ERROR: SHFileOperation() operation Failed... Result - %d\n", copied);
    }

    SetErrorMode(savedMode);
}

bool DeleteRegKeyHKLM(const char* argument) {
    char keyPath[zk::kSetupTextCapacity];
    const char* valueName = nullptr;
    if (!zk::SplitRegistryArgument(argument, keyPath, sizeof(keyPath), &valueName)) {
        return false;
    }
    return SHDeleteValueA(HKEY_LOCAL_MACHINE, keyPath, valueName) == ERROR_SUCCESS;
}

bool CreateRegKeyHKLM(const char* argument) {
    char keyPath[zk::kSetupTextCapacity];
    const char* valueName = nullptr;
    if (!zk::SplitRegistryArgument(argument, keyPath, sizeof(keyPath), &valueName)) {
        return false;
    }
    // Only an existing key is written to: a line naming a key that is not
    // there changes nothing.
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_WRITE, key.Receive()) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD one = 1;
    return RegSetValueExA(key.Get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                          sizeof(one)) == ERROR_SUCCESS;
}
