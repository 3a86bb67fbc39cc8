#include "driverstack/friendly_name.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/registry_text.h"
#include "driverstack/value_text.h"

namespace {

const char kVendor[] = "Marvanto";

}  // namespace

int UpdateFriendlyNameAndVendor(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    // One byte beyond what the property may fill keeps the name terminated
    // even when it was stored without its NUL.
    char friendlyName[MAX_PATH + 1];
    if (ReadTextProperty(deviceInfoSet, deviceInfoData, SPDRP_FRIENDLYNAME, friendlyName,
                         sizeof(friendlyName)) != 0) {
        return 0;
    }
    size_t nameLength = strlen(friendlyName);
    if (nameLength >= MAX_PATH) {
        // Not the name with its terminator in 260 bytes: it does not fit.
        return 0;
    }
    zk::UniqueSetupRegKey key(SetupDiOpenDevRegKey(deviceInfoSet, deviceInfoData, DICS_FLAG_GLOBAL,
                                                   0, DIREG_DRV, KEY_READ | KEY_WRITE));
    if (!key) {
        return 0;
    }
    char value[MAX_PATH];
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key.Get(), "FriendlyName", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
        !ValueTextContains(value, size, friendlyName)) {
        // Stored by its length, without a NUL, as the package has always
        // stored it; a later read takes the size as the text's end.
        RegSetValueExA(key.Get(), "FriendlyName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(friendlyName), static_cast<DWORD>(nameLength));
    }
    size = sizeof(value);
    if (RegQueryValueExA(key.Get(), "Vendor", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS) {
        return 0;
    }
    return RegSetValueExA(key.Get(), "Vendor", 0, REG_SZ, reinterpret_cast<const BYTE*>(kVendor),
                          static_cast<DWORD>(strlen(kVendor))) == ERROR_SUCCESS
               ? 1
               : 0;
}
