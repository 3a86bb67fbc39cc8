// The rundll32 entry: "rundll32 zkcoinst.dll,SetupEntryPoint SECTION" runs one
// zkcoinst.ini section and the protected-file pass outside a device
// installation, as one run of its own in the install log.
#pragma once

#include <windows.h>

// Exported by this plain name. commandLine is the section name, taken whole.
extern "C" void CALLBACK SetupEntryPoint(HWND window, HINSTANCE instance, LPSTR commandLine,
                                         int show);
