// The USB bandwidth monitor: the kernel filter service "ZKUSBSta" and its place
// at the end of the "LowerFilters" lists of the Image and MEDIA classes.
#pragma once

#include <windows.h>

struct DeviceContext;

// Writes the service key and its values, then, when the driver file
// "ZKUSBSta.sys" is in the drivers directory, adds the filter to the Image
// class and, when that worked, to the MEDIA class. 1 when every step worked.
// A missing driver file is one WARNING line in context's log, and no list is
// touched. The name is fixed: the console line "RegisterROVudevidNT> ..."
// carries it.
int RegisterROVudevidNT(DeviceContext* context);

// Adds "ZKUSBSta" as the last string of the class key's "LowerFilters" unless
// it is there in any case; the list is written back normalised either way. 0,
// the failing registry call's Win32 error, or E_OUTOFMEMORY.
DWORD AddLowerFilterToClass(const char* classGuid);
