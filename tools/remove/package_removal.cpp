#include "remove/package_removal.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "common/bounded_text.h"
#include "common/guid_text.h"
#include "common/list_value_type.h"
#include "common/win_handles.h"
#include "driverstack/multi_string.h"
#include "driverstack/orphan_filters.h"

namespace {

const char kClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
void Report(RemovalReport* report, bool failed, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// A line of the report. Its parts are registry names (a class GUID, a device
// instance path, a service), so a line never comes near the bound; one that
// would is reported as a failure rather than cut.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
void Report(RemovalReport* report, bool failed, const char* format, ...) {
    zk::FixedText<1024> line;
    va_list args;
    va_start(args, format);
    bool fits = zk::FormatTextV(line.data(), line.capacity(), format, args);
    va_end(args);
    if (!fits) {
        report->push_back(RemovalLine{std::string("A report line is too long: ") + format, true});
        return;
    }
    report->push_back(RemovalLine{line.c_str(), failed});
}

// The value's bytes and type, read whole; the status of the read.
LONG ReadValue(HKEY key, const char* name, std::vector<char>* data, DWORD* type) {
    for (;;) {
        DWORD size = 0;
        LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        data->assign(size, '\0');
        status =
            RegQueryValueExA(key, name, nullptr, type,
                             size == 0 ? nullptr : reinterpret_cast<BYTE*>(data->data()), &size);
        if (status == ERROR_MORE_DATA) {
            continue;  // the value grew between the two reads
        }
        if (status == ERROR_SUCCESS) {
            data->resize(size);
        }
        return status;
    }
}

// Whether the list value (or, for a text value such as Service, the text)
// names the service.
bool ValueNames(HKEY key, const char* valueName, const char* service) {
    std::vector<char> data;
    DWORD type = 0;
    if (ReadValue(key, valueName, &data, &type) != ERROR_SUCCESS || !IsListValueType(type)) {
        return false;
    }
    return MultiStringContains(data.data(), data.size(), service);
}

// The names of a key's subkeys.
std::vector<std::string> SubkeyNames(HKEY parent, const char* path) {
    std::vector<std::string> names;
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(parent, path, 0, KEY_ENUMERATE_SUB_KEYS, key.Receive()) != ERROR_SUCCESS) {
        return names;
    }
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        LONG status =
            RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS) {
            names.push_back(name);
        }
    }
    return names;
}

// Who still names the service: a class list, or a device as its Service or in
// its own filter lists. Empty when nobody does.
std::string FindUser(const char* service) {
    const char* const kValues[] = {"Service", "LowerFilters", "UpperFilters"};
    for (const std::string& guid : SubkeyNames(HKEY_LOCAL_MACHINE, kClassKey)) {
        zk::UniqueRegKey key;
        std::string path = std::string(kClassKey) + "\\" + guid;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
            ERROR_SUCCESS) {
            continue;
        }
        for (const char* value : {"LowerFilters", "UpperFilters"}) {
            if (ValueNames(key.Get(), value, service)) {
                return "the " + std::string(value) + " of class " + guid;
            }
        }
    }
    // Device instances: Enum\<enumerator>\<device>\<instance>.
    for (const std::string& enumerator : SubkeyNames(HKEY_LOCAL_MACHINE, kEnumKey)) {
        std::string enumeratorPath = std::string(kEnumKey) + "\\" + enumerator;
        for (const std::string& device : SubkeyNames(HKEY_LOCAL_MACHINE, enumeratorPath.c_str())) {
            std::string devicePath = enumeratorPath + "\\" + device;
            for (const std::string& instance :
                 SubkeyNames(HKEY_LOCAL_MACHINE, devicePath.c_str())) {
                std::string path = devicePath + "\\" + instance;
                zk::UniqueRegKey key;
                if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE,
                                  key.Receive()) != ERROR_SUCCESS) {
                    continue;
                }
                for (const char* value : kValues) {
                    if (ValueNames(key.Get(), value, service)) {
                        return "the " + std::string(value) + " of device " + enumerator + "\\" +
                               device + "\\" + instance;
                    }
                }
            }
        }
    }
    return std::string();
}

// Deletes a key with everything under it (RegDeleteKeyA deletes only a key
// without subkeys on the NT family).
LONG DeleteKeyTree(HKEY parent, const char* name) {
    {
        zk::UniqueRegKey key;
        LONG status =
            RegOpenKeyExA(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, key.Receive());
        if (status != ERROR_SUCCESS) {
            return status;
        }
        char child[256];
        for (;;) {
            DWORD length = sizeof(child);
            status =
                RegEnumKeyExA(key.Get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
            status = DeleteKeyTree(key.Get(), child);
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return RegDeleteKeyA(parent, name);
}

void RemoveFromClassList(const ClassFilterEntry& row, RemovalReport* report) {
    const char* valueName = row.isLowerFilter ? "LowerFilters" : "UpperFilters";
    std::string guid = zk::GuidText(row.classGuid).c_str();
    std::string path = std::string(kClassKey) + "\\" + guid;
    zk::UniqueRegKey key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive());
    if (status == ERROR_FILE_NOT_FOUND) {
        return;  // no such class on this machine: nothing of ours in it
    }
    if (status != ERROR_SUCCESS) {
        Report(report, true, "Class %s: cannot be opened (error %ld).", guid.c_str(), status);
        return;
    }
    std::vector<char> list;
    DWORD type = 0;
    status = ReadValue(key.Get(), valueName, &list, &type);
    if (status == ERROR_FILE_NOT_FOUND) {
        return;
    }
    if (status != ERROR_SUCCESS) {
        Report(report, true, "Class %s %s: cannot be read (error %ld).", guid.c_str(), valueName,
               status);
        return;
    }
    if (!IsListValueType(type) || !MultiStringContains(list.data(), list.size(), row.serviceName)) {
        return;
    }
    std::vector<char> rebuilt(RemovalCapacity(list.size()));
    size_t rebuiltSize = 0;
    size_t removed = 0;
    if (!RemoveFromMultiString(list.data(), list.size(), row.serviceName, rebuilt.data(),
                               rebuilt.size(), &rebuiltSize, &removed)) {
        Report(report, true, "Class %s %s: cannot be rebuilt.", guid.c_str(), valueName);
        return;
    }
    size_t kept = 0;
    for (size_t i = 0; i + 1 < rebuiltSize; ++i) {
        kept += rebuilt[i] == '\0' ? 1 : 0;
    }
    if (kept == 0) {
        status = RegDeleteValueA(key.Get(), valueName);
    } else {
        status = RegSetValueExA(key.Get(), valueName, 0, type,
                                reinterpret_cast<const BYTE*>(rebuilt.data()),
                                static_cast<DWORD>(rebuiltSize));
    }
    if (status != ERROR_SUCCESS) {
        Report(report, true, "Class %s %s: cannot be written (error %ld).", guid.c_str(), valueName,
               status);
        return;
    }
    if (kept == 0) {
        Report(report, false, "Class %s %s: %s taken off; the list is empty and deleted.",
               guid.c_str(), valueName, row.serviceName);
    } else {
        Report(report, false, "Class %s %s: %s taken off; %u other %s kept in order.", guid.c_str(),
               valueName, row.serviceName, static_cast<unsigned>(kept),
               kept == 1 ? "entry" : "entries");
    }
}

void DeleteService(const char* service, RemovalReport* report) {
    zk::UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager) {
        zk::UniqueServiceHandle handle(OpenServiceA(manager.Get(), service, DELETE));
        if (handle) {
            if (::DeleteService(handle.Get()) ||
                GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) {
                Report(report, false, "Service %s: deleted.", service);
            } else {
                Report(report, true, "Service %s: cannot be deleted (error %lu).", service,
                       GetLastError());
            }
            return;
        }
        if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
            Report(report, true, "Service %s: cannot be opened (error %lu).", service,
                   GetLastError());
            return;
        }
    }
    // The co-installer writes the service key itself, so the service manager
    // knows the service only from the next start on.
    std::string path = std::string(kServicesKey) + "\\" + service;
    LONG status = DeleteKeyTree(HKEY_LOCAL_MACHINE, path.c_str());
    if (status == ERROR_SUCCESS) {
        Report(report, false, "Service %s: deleted.", service);
    } else if (status != ERROR_FILE_NOT_FOUND) {
        Report(report, true, "Service %s: its key cannot be deleted (error %ld).", service, status);
    }
}

void DeleteDriverFile(const char* file, RemovalReport* report) {
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, MAX_PATH);
    zk::FixedText<MAX_PATH> path;
    if (length == 0 || length >= MAX_PATH || !path.Assign(systemDirectory) ||
        !path.Append("\\drivers\\") || !path.Append(file)) {
        Report(report, true, "File %s: the drivers directory cannot be named.", file);
        return;
    }
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;  // never installed, or gone already
    }
    if (DeleteFileA(path.c_str())) {
        Report(report, false, "File %s: deleted.", path.c_str());
    } else if (MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        Report(report, false, "File %s: in use; deleted at the next start.", path.c_str());
    } else {
        Report(report, true, "File %s: cannot be deleted (error %lu).", path.c_str(),
               GetLastError());
    }
}

}  // namespace

void RemoveClassFilters(RemovalReport* report) {
    for (const ClassFilterEntry& row : ClassFilterTable) {
        RemoveFromClassList(row, report);
    }
}

void RemoveUnusedServices(RemovalReport* report) {
    const size_t count = sizeof(ClassFilterTable) / sizeof(ClassFilterTable[0]);
    for (size_t i = 0; i < count; ++i) {
        const ClassFilterEntry& row = ClassFilterTable[i];
        bool seen = false;
        for (size_t j = 0; j < i; ++j) {
            seen = seen || _stricmp(ClassFilterTable[j].serviceName, row.serviceName) == 0;
        }
        if (seen) {
            continue;
        }
        std::string user = FindUser(row.serviceName);
        if (!user.empty()) {
            Report(report, false, "Service %s and %s: kept; %s names it.", row.serviceName,
                   row.driverFile, user.c_str());
            continue;
        }
        DeleteService(row.serviceName, report);
        DeleteDriverFile(row.driverFile, report);
    }
}
