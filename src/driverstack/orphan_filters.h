// Removal of the package's own class filters that can no longer load: a filter
// whose service is gone, or whose driver file is missing, is taken out of every
// class key's list the package edits (Image and MEDIA below their devices,
// Volume above) before the device's driver is installed, so that Windows does
// not fail to start the class's devices (or, for the Volume class, the
// machine) over a filter it cannot find.
#pragma once

#include <windows.h>

#include "core/device_context.h"

// One filter of the package and the list that names it.
struct ClassFilterEntry {
    BOOL isLowerFilter;    // non-zero: "LowerFilters", zero: "UpperFilters"
    BOOL enabled;          // the list is edited only when non-zero
    char driverFile[16];   // file name in the system's drivers directory
    char serviceName[16];  // the service, and the string that stands in the list
    GUID classGuid;        // the setup class whose key holds the list
    // Non-zero: only the package's own entries are the row's business. A
    // class key the machine lacks holds none (nothing to report), and the list
    // is written back only when an entry of ours came out of it: another
    // installer's list is not normalised or deleted on our account.
    BOOL touchOnlyOurEntries;
};

// The filters checked, in this order.
extern const ClassFilterEntry ClassFilterTable[4];

// Removes each orphaned filter of the table from its list. The status of the
// last list edit it ran, 0 when it ran none. The context serves the log.
DWORD RemoveOrphanClassFilters(DeviceContext* context);

// *installed becomes 1 only when the service manager opened the service. 0, or
// the service manager's error (a missing service is not an error).
DWORD IsServiceInstalled(const ClassFilterEntry* row, int* installed);

// The same through a service manager the caller opened (with
// SC_MANAGER_CONNECT), so that one pass over the table opens it once.
DWORD IsServiceInstalledIn(SC_HANDLE manager, const ClassFilterEntry* row, int* installed);

// 1 when the row's driver file is known to be absent from the system's drivers
// directory; 0 when it is there or in doubt.
int IsDriverFileMissing(const ClassFilterEntry* row);

// The same probe in "<systemDirectory>\drivers\". A path that does not fit 260
// characters is not probed (0): a shortened path would name another file.
int IsDriverFileMissingIn(const char* systemDirectory, const ClassFilterEntry* row);

// Removes every occurrence of the row's service name from the row's list; a
// list left without strings is deleted. 0 or the failing call's Win32 error.
// The name is fixed: the log's "DelFilterInClassKey> ..." lines carry it.
DWORD DelFilterInClassKey(DeviceContext* context, const ClassFilterEntry* row);

// Copies source to output without the strings equal to filterName, logging
// one line per string dropped. *outputSize: in, output's capacity; out, the
// rebuilt size. True when the rebuilt size differs from sourceSize. An output
// too small for the rebuild is refused (false, *outputSize 0). *removed, when
// given, counts the strings dropped.
bool RebuildFilterList(DeviceContext* context, const char* filterName, const BYTE* source,
                       DWORD sourceSize, BYTE* output, DWORD* outputSize,
                       size_t* removed = nullptr);
