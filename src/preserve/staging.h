// The copies the preserve pass keeps beside an installed file (their names:
// staged_names.h): what the two start-up lists ask for already, the tidying of
// what an interrupted pass or start-up left behind, and the staging of a
// checked copy for the next start. Everything is beside the installed file:
// the same folder and volume, where only administrators write, so that what
// moves in at the next start is the very copy that was checked, and a move
// never has to cross volumes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/tracked_alloc.h"
#include "preserve/file_version.h"

struct DeviceContext;

// What the two start-up lists hold now: the bytes of
// "PendingFileRenameOperations" and of WinInit.ini (either may be absent).
struct PendingLists {
    TrackedBuffer renames;
    DWORD renamesSize = 0;
    TrackedBuffer winInit;
    DWORD winInitSize = 0;
};
void ReadPendingLists(PendingLists* lists);

// Whether either list moves path somewhere at the next start.
bool IsListedForTheNextStart(const PendingLists& lists, const char* path);

// The copy a pass checked: its version, and its machine type (0: not known,
// not compared).
struct CheckedCopy {
    FileVersion version;
    uint16_t machine;
};

// Whether the file at path is the checked copy: the same version and, when
// the machine type is known, the same machine type.
bool IsCheckedCopy(const char* path, const CheckedCopy& checked);

// Before a row is looked at. When an interrupted replacement or start-up left
// the installed name without a file, it gets one again: the installed copy
// moved aside (".old") or else, of the staged copies no list asks for any
// more, the newest whose version can be read; one WARNING line names it. Then
// the copies of ours that nothing asks for are removed: a leftover is never
// moved in later unchecked.
void TidyCopiesBeside(DeviceContext* context, const char* installed, const PendingLists& lists);

// Whether the list of the route (WinInit.ini when useWinInit, else the rename
// list) ends, for installed, with the move of a staged copy of ours that is
// there and is the checked copy: then it is scheduled already.
bool IsScheduledAlready(const PendingLists& lists, bool useWinInit, const char* installed,
                        const CheckedCopy& checked);

// Copies found to a fresh staged name beside installed (never over a file or
// link that is there) and checks the copy. True with its path in staged; on
// failure an ERROR line naming fileName, and nothing left behind.
bool StageCopy(DeviceContext* context, const char* fileName, const char* found,
               const char* installed, const CheckedCopy& checked, char* staged, size_t capacity);

// Removes a file of our own making, read-only or not, keeping the thread's
// last error; its failure changes nothing.
void RemoveScratchFile(const char* path);

// Logs "ERROR: Couldn't <what> <fileName>. 0x<error> - <system text>", the
// system text closing the line.
void LogFileError(DeviceContext* context, const char* what, const char* fileName, DWORD error);
