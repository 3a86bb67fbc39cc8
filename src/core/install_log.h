// The installation log, zkcoinst.log in the system directory. Each context
// holds its own stream from creation to release; the file is opened for
// exclusive use, so while one context holds it the others' messages are lost.
#pragma once

#include <cstdio>

struct DeviceContext;

// Opens the log into *slot: header block if the file is empty (or was emptied
// at 100 KiB), then the run start. False, slot untouched, when it cannot open.
bool OpenInstallLog(FILE** slot);

// Three blanks, then the printf-formatted message; no line end is added. Opens
// the context's stream first when it has none; drops the message if that fails.
void LogMessage(DeviceContext* context, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Writes the stop line and closes *slot (if open); *slot is null afterwards.
void CloseInstallLog(FILE** slot);

// The path the log is opened at: "<system directory>\zkcoinst.log", or the bare
// name when the directory cannot be had or is too long for the name to follow.
void GetInstallLogPath(char* buffer, size_t capacity);
