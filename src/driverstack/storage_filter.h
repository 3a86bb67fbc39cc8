// The storage class filter of Windows 2000: the boot-start service "ZkClsUpr"
// and its place at the front of the Volume class's "UpperFilters" list.
#pragma once

#include <windows.h>

// Writes the service key and its values, then puts the filter first in the
// Volume class list (whose result does not count). 1 when the key and all
// its values were written. Writes nothing to the install log.
int InstallStorageClassFilter();

// Puts "ZkClsUpr" before the class key's "UpperFilters" strings unless it is
// there in any case (then the value is not touched). Lists over 260 bytes are
// not read. 0 when the list holds the filter afterwards; else the failing
// registry call's Win32 error, or E_OUTOFMEMORY.
DWORD AddUpperFilterToClass(const char* classGuid);
