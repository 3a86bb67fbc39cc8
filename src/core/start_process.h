// Starting the programs the co-installer runs: never waited for.
#pragma once

#include <windows.h>

struct DeviceContext;

// Starts commandLine (CreateProcessA may write into it) with no application
// name, no inherited handles and creation flags 0, and closes the thread and
// process handles at once. On failure the thread's last error is that of
// CreateProcessA.
bool StartWithoutWaiting(char* commandLine);

// Starts path through the shell with option as its parameters, not waiting for
// it; a failure is logged. 0, or the failure as an HRESULT.
DWORD LaunchFile(DeviceContext* context, const char* path, const char* option);
