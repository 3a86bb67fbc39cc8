// The file operations that put shared files in place, stage them for the next
// start, rewrite WinInit.ini and walk the shared-components tree, in one
// table, so that a test can make any one of them fail (or stop the process) at
// any step, or show the walk a tree Wine cannot make, and see that no step
// leaves a file missing. They are the system's own otherwise.
#pragma once

#include <windows.h>

struct FileOperations {
    BOOL(WINAPI* copyFile)(LPCSTR existing, LPCSTR target, BOOL failIfExists);
    BOOL(WINAPI* moveFile)(LPCSTR existing, LPCSTR target);
    BOOL(WINAPI* moveFileEx)(LPCSTR existing, LPCSTR target, DWORD flags);
    BOOL(WINAPI* deleteFile)(LPCSTR path);
    HANDLE(WINAPI* findFirstFile)(LPCSTR pattern, LPWIN32_FIND_DATAA entry);
    BOOL(WINAPI* findNextFile)(HANDLE find, LPWIN32_FIND_DATAA entry);
    BOOL(WINAPI* findClose)(HANDLE find);
    DWORD(WINAPI* getFileAttributes)(LPCSTR path);
};

// The table in use.
const FileOperations& PreserveFileOperations();

// Puts a test's table in use; null puts the system's functions back. The
// table must outlive its use.
void SetPreserveFileOperations(const FileOperations* operations);
