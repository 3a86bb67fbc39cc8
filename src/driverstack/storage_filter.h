// The storage class filter of Windows 2000: the boot-start service "ZkClsUpr"
// and its place at the front of the Volume class's "UpperFilters" list.
#pragma once

#include <windows.h>

struct DeviceContext;

// Writes the service key and its values, then, when the driver file
// "ZkClsUpr.sys" is in the drivers directory, puts the filter first in the
// Volume class list (whose result does not count). 1 when the key and all its
// values were written. A missing driver file is one WARNING line in context's
// log, and the list is not touched.
int InstallStorageClassFilter(DeviceContext* context);

// Puts "ZkClsUpr" before the class key's "UpperFilters" strings unless it is
// there in any case (then the value is not touched). Lists over 260 bytes are
// not read. 0 when the list holds the filter afterwards; else the failing
// registry call's Win32 error, or E_OUTOFMEMORY.
DWORD AddUpperFilterToClass(const char* classGuid);
