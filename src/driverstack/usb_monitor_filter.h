// The USB bandwidth monitor: the kernel filter service "ZKUSBSta" and its place
// at the end of the "LowerFilters" lists of the Image and MEDIA classes.
#pragma once

#include <windows.h>

// Writes the service key and its values, then adds the filter to the Image
// class and, when that worked, to the MEDIA class. 1 when every step worked.
// Writes nothing to the install log. The name is fixed: the console line
// "RegisterROVudevidNT> ..." carries it.
int RegisterROVudevidNT();

// Adds "ZKUSBSta" as the last string of the class key's "LowerFilters" unless
// it is there in any case; the list is written back normalised either way. 0,
// the failing registry call's Win32 error, or E_OUTOFMEMORY.
DWORD AddLowerFilterToClass(const char* classGuid);
