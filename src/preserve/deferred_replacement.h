// Replacement of a file at the next start of Windows, for a file that could
// not be replaced at once. The caller has staged the newer copy beside the
// file (same folder, so same volume, where only administrators write) and
// checked it; these only list it. Both operations report failures only in the
// log.
#pragma once

#include <windows.h>

#include "common/bounded_text.h"
#include "core/tracked_alloc.h"

struct DeviceContext;

// Appends to the registry value "PendingFileRenameOperations" the request to
// move staged onto target at the next start, replacing it: one pair, which
// does no harm when the start-up processing carries it out twice. The value
// is written once, whole, with the type it had. True when the list holds the
// request afterwards.
bool SchedulePendingRename(DeviceContext* context, const char* target, const char* staged);

// Adds "NUL=<target>" and "<target>=<staged>" to the end of the "[rename]"
// section of WinInit.ini in the Windows directory (a new section at the end of
// the file when it has none), and with a spare (a second staged copy)
// "<staged>=<spare>", which puts a copy back at staged's name for a start-up
// that carries the section out a second time. The new file is written beside
// the old one and put in its place only when complete, in one MoveFileExA
// where the system has it and else by MoveFileA steps through
// "WinInit.ini.bak"; no step leaves the content lost. Nothing is written when
// there is no WinInit.ini. True when the section holds the request
// afterwards.
bool ScheduleWinInitRename(DeviceContext* context, const char* target, const char* staged,
                           const char* spare);

// "<Windows directory>\WinInit.ini"; false when it does not fit.
bool FormWinInitPath(zk::FixedText<MAX_PATH>* path);

// The bytes of "PendingFileRenameOperations" when it is there as a list; false
// (no bytes) otherwise.
bool ReadPendingRenames(TrackedBuffer* bytes, DWORD* size);
