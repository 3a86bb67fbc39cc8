#include "driverstack/orphan_filters.h"

#include <setupapi.h>

#include "common/bounded_text.h"
#include "common/list_value_type.h"
#include "common/win_handles.h"
#include "core/device_classes.h"
#include "core/install_log.h"
#include "core/tracked_alloc.h"
#include "driverstack/multi_string.h"

// The first two rows are the Image class lists the cleanup has always looked
// at. The bandwidth monitor is added to the MEDIA class too, and the storage
// filter to the Volume class, so their orphans are taken off those lists as
// well.
const ClassFilterEntry ClassFilterTable[4] = {
    {1, 1, "zkmvdrv.sys", "zkmvdrv", kImageSetupClass.guid, 0},
    {1, 1, "zkusbsta.sys", "zkusbsta", kImageSetupClass.guid, 0},
    {1, 1, "zkusbsta.sys", "zkusbsta", kMediaSetupClass.guid, 1},
    {0, 1, "zkclsupr.sys", "ZkClsUpr", kVolumeSetupClass.guid, 1},
};

DWORD RemoveOrphanClassFilters(DeviceContext* context) {
    DWORD result = 0;
    // A filter stays when its service is installed and its driver file is
    // there. A missing file settles it without the service manager, which is
    // opened only when a row needs it, and once for the whole table; when it
    // cannot be had, every such row is in doubt.
    zk::UniqueServiceHandle manager;
    bool managerTried = false;
    for (const ClassFilterEntry& row : ClassFilterTable) {
        if (!IsDriverFileMissing(&row)) {
            if (!managerTried) {
                manager.Reset(OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CONNECT));
                managerTried = true;
            }
            int installed = 0;
            // A query that failed for another reason than a missing service
            // counts as an installed service: in doubt the filter stays.
            if (!manager || IsServiceInstalledIn(manager.Get(), &row, &installed) != 0) {
                installed = 1;
            }
            if (installed) {
                continue;
            }
        }
        if (row.enabled) {
            result = DelFilterInClassKey(context, &row);
        }
    }
    return result;
}

DWORD IsServiceInstalled(const ClassFilterEntry* row, int* installed) {
    *installed = 0;
    zk::UniqueServiceHandle manager(OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CONNECT));
    if (!manager) {
        return GetLastError();
    }
    return IsServiceInstalledIn(manager.Get(), row, installed);
}

DWORD IsServiceInstalledIn(SC_HANDLE manager, const ClassFilterEntry* row, int* installed) {
    *installed = 0;
    zk::UniqueServiceHandle service(OpenServiceA(manager, row->serviceName, SERVICE_QUERY_CONFIG));
    if (service) {
        *installed = 1;
        return 0;
    }
    DWORD error = GetLastError();
    return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
}

int IsDriverFileMissing(const ClassFilterEntry* row) {
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    return IsDriverFileMissingIn(systemDirectory, row);
}

int IsDriverFileMissingIn(const char* systemDirectory, const ClassFilterEntry* row) {
    zk::FixedText<MAX_PATH> path;
    if (!path.Assign(systemDirectory) || !path.Append("\\drivers\\") ||
        !path.Append(row->driverFile)) {
        return 0;
    }
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    // Only a missing file counts; a missing drivers directory (path not found)
    // or a refused probe leaves the filter alone.
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

DWORD DelFilterInClassKey(DeviceContext* context, const ClassFilterEntry* row) {
    const char* valueName = row->isLowerFilter ? "LowerFilters" : "UpperFilters";
    zk::UniqueSetupRegKey key(
        SetupDiOpenClassRegKey(&row->classGuid, KEY_QUERY_VALUE | KEY_SET_VALUE));
    if (!key) {
        DWORD error = GetLastError();
        if (row->touchOnlyOurEntries &&
            (error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_CLASS)) {
            return 0;
        }
        LogMessage(context, "DelFilterInClassKey> Failed to open class registry key. (0x%08x).\r\n",
                   static_cast<unsigned>(error));
        return error;
    }
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return 0;
    }
    if (size == 0) {
        if (row->touchOnlyOurEntries) {
            return 0;
        }
        return static_cast<DWORD>(RegDeleteValueA(key.Get(), valueName));
    }
    TrackedBuffer source(size);
    if (!source) {
        LogMessage(context,
                   "DelFilterInClassKey> Unable to allocate buffer to read registry key.\r\n");
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    LONG status = RegQueryValueExA(key.Get(), valueName, nullptr, &type, source.Bytes(), &size);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    if (!IsListValueType(type)) {
        if (row->touchOnlyOurEntries) {
            return 0;
        }
        LogMessage(context,
                   "WARNING: DelFilterInClassKey> %s is of type %u, not a list; left as it is.\r\n",
                   valueName, static_cast<unsigned>(type));
        return ERROR_INVALID_DATATYPE;
    }
    // Room for a last string stored without its NUL as well as for the
    // closing NUL that a value may lack.
    DWORD capacity = static_cast<DWORD>(RemovalCapacity(size));
    TrackedBuffer output(capacity);
    if (!output) {
        LogMessage(
            context,
            "DelFilterInClassKey> Unable to allocate buffer to write into registry key.\r\n");
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD rebuiltSize = capacity;
    size_t removed = 0;
    if (!RebuildFilterList(context, row->serviceName, source.Bytes(), size, output.Bytes(),
                           &rebuiltSize, &removed) ||
        (row->touchOnlyOurEntries && removed == 0)) {
        return 0;
    }
    if (rebuiltSize <= 2) {
        return static_cast<DWORD>(RegDeleteValueA(key.Get(), valueName));
    }
    return static_cast<DWORD>(
        RegSetValueExA(key.Get(), valueName, 0, type, output.Bytes(), rebuiltSize));
}

bool RebuildFilterList(DeviceContext* context, const char* filterName, const BYTE* source,
                       DWORD sourceSize, BYTE* output, DWORD* outputSize, size_t* removedCount) {
    size_t rebuilt = 0;
    size_t removed = 0;
    bool fits =
        RemoveFromMultiString(reinterpret_cast<const char*>(source), sourceSize, filterName,
                              reinterpret_cast<char*>(output), *outputSize, &rebuilt, &removed);
    for (size_t i = 0; fits && i < removed; ++i) {
        LogMessage(context, "Filter '%s' is already present.\r\n", filterName);
    }
    if (removedCount != nullptr) {
        *removedCount = fits ? removed : 0;
    }
    *outputSize = static_cast<DWORD>(rebuilt);
    return fits && rebuilt != sourceSize;
}
