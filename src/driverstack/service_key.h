// The registry key of a filter service and its values, shared by the two
// filter services the package installs.
#pragma once

#include "common/win_handles.h"

#include <windows.h>

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

// Opens the class key HKLM "SYSTEM\CurrentControlSet\Control\Class\<classKeyName>"
// (the braced GUID text) for reading and writing. ERROR_INVALID_PARAMETER when
// the name is null or the path does not fit, else RegOpenKeyExA's result.
LONG OpenClassKey(const char* classKeyName, zk::UniqueRegKey* key);
