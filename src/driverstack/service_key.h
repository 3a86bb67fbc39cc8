// The registry key of a filter service and its values, shared by the two
// filter services the package installs.
#pragma once

#include "common/win_handles.h"

#include <windows.h>

struct DeviceContext;

struct ServiceValue {
    const char* name;
    DWORD type;        // REG_SZ or REG_DWORD
    const char* text;  // REG_SZ: stored as its characters, without a NUL
    DWORD number;      // REG_DWORD
};

// Creates or opens HKLM "SYSTEM\CurrentControlSet\Services\<serviceName>" and
// writes the values in order, stopping at the first write that fails. Values
// the key already holds under other names stay. *opened tells whether the key
// could be had. 0, or the Win32 error of the failing call.
DWORD WriteServiceKey(const char* serviceName, const ServiceValue* values, size_t count,
                      bool* opened);

// Whether the filter's driver file "<system directory>\drivers\<driverFile>" is
// there. Windows loads every filter a class list names for every device of the
// class, and a listed filter it cannot load keeps those devices from starting
// (for a boot-start filter of the Volume class, the machine from booting); so
// a filter goes into a class list only while its file is there. When it is
// not, one WARNING line of operation names the file and the service.
bool FilterDriverIsPresent(DeviceContext* context, const char* operation, const char* serviceName,
                           const char* driverFile);

// Opens the class key HKLM "SYSTEM\CurrentControlSet\Control\Class\<classKeyName>"
// (the braced GUID text) for reading and writing. ERROR_INVALID_PARAMETER when
// the name is null or the path does not fit, else RegOpenKeyExA's result.
LONG OpenClassKey(const char* classKeyName, zk::UniqueRegKey* key);
