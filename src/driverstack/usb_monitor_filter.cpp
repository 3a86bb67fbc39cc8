#include "driverstack/usb_monitor_filter.h"

#include <cstdio>
#include <cstring>

#include "common/list_value_type.h"
#include "common/system_printf.h"
#include "common/win_handles.h"
#include "core/device_classes.h"
#include "core/tracked_alloc.h"
#include "driverstack/multi_string.h"
#include "driverstack/service_key.h"

namespace {

const char kServiceName[] = "ZKUSBSta";
const char kDriverFile[] = "ZKUSBSta.sys";
// The name and two NULs: a list of this one filter (10 bytes).
const char kOneEntryList[] = "ZKUSBSta\0";

}  // namespace

int RegisterROVudevidNT(DeviceContext* context) {
    const ServiceValue values[] = {
        {"DisplayName", REG_SZ, "Marvanto USB Monitor Filter", 0},
        {"Type", REG_DWORD, nullptr, SERVICE_KERNEL_DRIVER},
        {"Start", REG_DWORD, nullptr, SERVICE_DEMAND_START},
        {"ErrorControl", REG_DWORD, nullptr, SERVICE_ERROR_NORMAL},
        {"ImagePath", REG_SZ, "system32\\drivers\\ZKUSBSta.sys", 0},
    };
    bool opened = false;
    DWORD status =
        WriteServiceKey(kServiceName, values, sizeof(values) / sizeof(values[0]), &opened);
    if (!opened) {
        // There is no install log here; the setup program's console shows it.
        ZK_PRINTF("RegisterROVudevidNT> FAILED open key (%d)\n", static_cast<int>(status));
        return 0;
    }
    if (status == 0 &&
        !FilterDriverIsPresent(context, "RegisterROVudevidNT", kServiceName, kDriverFile)) {
        return 0;
    }
    if (status == 0) {
        status = AddLowerFilterToClass(kImageSetupClass.keyName);
        if (status == 0) {
            status = AddLowerFilterToClass(kMediaSetupClass.keyName);
        }
    }
    return status == 0 ? 1 : 0;
}

DWORD AddLowerFilterToClass(const char* classGuid) {
    zk::UniqueRegKey key;
    LONG status = OpenClassKey(classGuid, &key);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    DWORD size = 0;
    status = RegQueryValueExA(key.Get(), "LowerFilters", nullptr, nullptr, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND || size == 0) {
        return static_cast<DWORD>(RegSetValueExA(key.Get(), "LowerFilters", 0, REG_MULTI_SZ,
                                                 reinterpret_cast<const BYTE*>(kOneEntryList),
                                                 sizeof(kOneEntryList)));
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        return static_cast<DWORD>(status);
    }
    TrackedBuffer list(size);
    if (!list) {
        return static_cast<DWORD>(E_OUTOFMEMORY);
    }
    DWORD type = 0;
    status = RegQueryValueExA(key.Get(), "LowerFilters", nullptr, &type, list.Bytes(), &size);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    // A number under the list's name is left as it is (rewritten as a list
    // it would name a driver that does not exist); the filter is not
    // installed for this class.
    if (!IsListValueType(type)) {
        return ERROR_INVALID_DATATYPE;
    }
    size_t capacity = AppendCapacity(size, kServiceName);
    TrackedBuffer rebuilt(static_cast<uint32_t>(capacity));
    if (!rebuilt) {
        return static_cast<DWORD>(E_OUTOFMEMORY);
    }
    memset(rebuilt.Get(), 0, capacity);
    size_t rebuiltSize = 0;
    bool present = false;
    if (!AppendToMultiString(list.Chars(), size, kServiceName, rebuilt.Chars(), capacity,
                             &rebuiltSize, &present)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    // Written back also when the filter was there: the list comes out
    // normalised (no empty strings, closing NUL in place).
    return static_cast<DWORD>(RegSetValueExA(key.Get(), "LowerFilters", 0, REG_MULTI_SZ,
                                             rebuilt.Bytes(), static_cast<DWORD>(rebuiltSize)));
}
