// Windows error codes as the log and the callers want them.
#pragma once

#include <windows.h>

// The system's English (United States) text for error, with its line break, into
// buffer; an empty string when the system has none.
void GetSystemMessageText(DWORD error, char* buffer, DWORD capacity);

// A Windows error code as an HRESULT: a positive code becomes
// (code AND 0xFFFF) OR 0x80070000, any other is returned unchanged.
DWORD HresultFromWin32(DWORD error);
