// Replacement of a file at the next start of Windows, for a file that could
// not be replaced at once. Both operations report failures only in the log.
#pragma once

struct DeviceContext;

// Copies source to "<source>.tmp" and appends to the registry value
// "PendingFileRenameOperations" the request to delete target and move the
// copy onto it. The value is written once, whole, with the type it had.
// Nothing is logged or scheduled when the copy cannot be made.
void SchedulePendingRename(DeviceContext* context, const char* target, const char* source);

// Adds "NULL=<target>" and "<target>=<source>" to the end of the "[rename]"
// section of WinInit.ini in the Windows directory (a new section at the end of
// the file when it has none). The new file is written beside the old one and
// put in its place only when complete, in one MoveFileExA where the system
// has it and else by MoveFileA steps through "WinInit.ini.bak"; no step
// leaves the content lost. Nothing is written when there is no WinInit.ini.
void ScheduleWinInitRename(DeviceContext* context, const char* target, const char* source);
