#include "driverstack/service_key.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"

DWORD WriteServiceKey(const char* serviceName, const ServiceValue* values, size_t count,
                      bool* opened) {
    *opened = false;
    zk::FixedText<MAX_PATH> path;
    if (!path.Format("SYSTEM\\CurrentControlSet\\Services\\%s", serviceName)) {
        return ERROR_INVALID_PARAMETER;
    }
    zk::UniqueRegKey key;
    LONG status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    *opened = true;
    for (size_t i = 0; i < count; ++i) {
        const ServiceValue& value = values[i];
        if (value.type == REG_DWORD) {
            status =
                RegSetValueExA(key.Get(), value.name, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&value.number), sizeof(value.number));
        } else {
            // The service's strings are stored by their length, without a
            // terminating NUL, as the driver package has always stored them.
            status = RegSetValueExA(key.Get(), value.name, 0, value.type,
                                    reinterpret_cast<const BYTE*>(value.text),
                                    static_cast<DWORD>(strlen(value.text)));
        }
        if (status != ERROR_SUCCESS) {
            return static_cast<DWORD>(status);
        }
    }
    return 0;
}

bool FilterDriverIsPresent(DeviceContext* context, const char* operation, const char* serviceName,
                           const char* driverFile) {
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    zk::FixedText<MAX_PATH> path;
    // No path to look at is no file one could show to be there.
    bool formed = length != 0 && length < sizeof(systemDirectory) &&
                  path.Format("%s\\drivers\\%s", systemDirectory, driverFile);
    if (formed) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return true;
        }
    }
    LogMessage(context, "WARNING: %s> %s is missing; %s is not added to the class filter lists.\n",
               operation, formed ? path.c_str() : driverFile, serviceName);
    return false;
}

LONG OpenClassKey(const char* classKeyName, zk::UniqueRegKey* key) {
    char path[MAX_PATH];
    if (classKeyName == nullptr ||
        !zk::FormatText(path, sizeof(path), "SYSTEM\\CurrentControlSet\\Control\\Class\\%s",
                        classKeyName)) {
        return ERROR_INVALID_PARAMETER;
    }
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WRITE, key->Receive());
}
