// Windows error codes as the log and the callers want them.
#pragma once

#include <windows.h>

// The system's English (United States) text for error, with its line break, into
// buffer; an empty string when the system has none.
void GetSystemMessageText(DWORD error, char* buffer, DWORD capacity);

// The same text for a log line that the text ends: it always ends in a line
// break, a line break alone when the system has no text (an unknown code, or
// a Windows without English messages), so that the next line is not glued on.
void GetSystemMessageLine(DWORD error, char* buffer, DWORD capacity);

// A Windows error code as an HRESULT: a positive code becomes
// (code AND 0xFFFF) OR 0x80070000, any other is returned unchanged.
DWORD HresultFromWin32(DWORD error);
