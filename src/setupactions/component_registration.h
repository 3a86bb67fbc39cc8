// COM registration of the files that setup-action lines name. Each
// registration runs in a process of its own that is started and left to run:
// nobody waits for it or reads its exit code.
#pragma once

struct DeviceContext;

// Registers path by its extension words: through regsvr32 for DLL/AX, through
// "/REGSERVER" for EXE. True when a registering process was started.
bool RegisterFile(DeviceContext* context, const char* path);

// Starts ""<system directory>\regsvr32.exe" /s "<path>"". True when it started.
bool Regsvr32DLL(DeviceContext* context, const char* path);

// Starts ""<path>" /REGSERVER". True when it started.
bool RegisterEXE(DeviceContext* context, const char* path);
