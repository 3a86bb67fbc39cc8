#include "driverstack/storage_filter.h"

#include "common/list_value_type.h"
#include "common/win_handles.h"
#include "core/device_classes.h"
#include "core/tracked_alloc.h"
#include "driverstack/multi_string.h"
#include "driverstack/service_key.h"

namespace {

const char kServiceName[] = "ZkClsUpr";
const char kDriverFile[] = "ZkClsUpr.sys";
// The name and two NULs: a list of this one filter (10 bytes).
const char kOneEntryList[] = "ZkClsUpr\0";

// The longest list read, and what the front insertion adds to it: the name
// and its NUL.
const DWORD kReadSize = MAX_PATH;
const DWORD kInsertedSize = sizeof(kServiceName);

}  // namespace

int InstallStorageClassFilter(DeviceContext* context) {
    const ServiceValue values[] = {
        {"DisplayName", REG_SZ, "Marvanto Storage Class Filter", 0},
        {"Type", REG_DWORD, nullptr, SERVICE_KERNEL_DRIVER},
        {"Start", REG_DWORD, nullptr, SERVICE_BOOT_START},
        {"ErrorControl", REG_DWORD, nullptr, SERVICE_ERROR_NORMAL},
        {"ImagePath", REG_SZ, "system32\\drivers\\ZkClsUpr.sys", 0},
        {"Group", REG_SZ, "System Bus Extender", 0},
    };
    bool opened = false;
    DWORD status =
        WriteServiceKey(kServiceName, values, sizeof(values) / sizeof(values[0]), &opened);
    if (!opened) {
        return 0;
    }
    // The list is edited even when a value write failed, but never names a
    // boot-start filter that the machine could not load.
    if (FilterDriverIsPresent(context, "InstallStorageClassFilter", kServiceName, kDriverFile)) {
        AddUpperFilterToClass(kVolumeSetupClass.keyName);
    }
    return status == 0 ? 1 : 0;
}

DWORD AddUpperFilterToClass(const char* classGuid) {
    TrackedBuffer list(kReadSize);
    // The rebuilt list is the list read plus the inserted name.
    TrackedBuffer rebuilt(kReadSize + kInsertedSize);
    if (!list || !rebuilt) {
        return static_cast<DWORD>(E_OUTOFMEMORY);
    }
    zk::UniqueRegKey key;
    LONG status = OpenClassKey(classGuid, &key);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    DWORD size = kReadSize;
    DWORD type = 0;
    status = RegQueryValueExA(key.Get(), "UpperFilters", nullptr, &type, list.Bytes(), &size);
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && size == 0)) {
        return static_cast<DWORD>(RegSetValueExA(key.Get(), "UpperFilters", 0, REG_MULTI_SZ,
                                                 reinterpret_cast<const BYTE*>(kOneEntryList),
                                                 sizeof(kOneEntryList)));
    }
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    // A number under the list's name is left as it is: with the filter put
    // in front it would become a list naming drivers that do not exist, below
    // every volume.
    if (!IsListValueType(type)) {
        return ERROR_INVALID_DATATYPE;
    }
    size_t rebuiltSize = 0;
    bool present = false;
    if (!PrependToMultiString(list.Chars(), size, kServiceName, rebuilt.Chars(),
                              kReadSize + kInsertedSize, &rebuiltSize, &present)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (present) {
        return 0;
    }
    return static_cast<DWORD>(RegSetValueExA(key.Get(), "UpperFilters", 0, REG_MULTI_SZ,
                                             rebuilt.Bytes(), static_cast<DWORD>(rebuiltSize)));
}
