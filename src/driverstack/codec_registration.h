// Registration of the package's I420 video codec among the system's 32-bit
// multimedia drivers, on Windows 2000 and later.
#pragma once

#include <windows.h>

#include "core/device_context.h"

// Sets "VIDC.I420" under the Drivers32 key to "zkcodec2.dll", between the two
// log lines that bracket it. Below Windows 2000 it does nothing and logs
// nothing. Failures are only logged.
void UpdateCodecs(DeviceContext* context);

// Writes valueName as REG_SZ holding fileName and its NUL into the open key.
// The Win32 status of the write; a failure is logged.
DWORD SetCodecValue(DeviceContext* context, HKEY key, const char* valueName, const char* fileName);
