// Versions of files on disk and the search for the newest copy of a protected
// file under the maker's shared-components folder. Nothing here logs: a missing
// folder, an unreadable directory or a file without a version all come out as
// "no copy" (empty path, 0.0.0.0) or as a candidate that is not chosen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "preserve/file_version.h"
#include "preserve/protected_files.h"

// Reads the file version of path into *version (cleared to 0.0.0.0 first, so
// every failure leaves 0.0.0.0). Returns 0, or a Windows error code (E_FAIL
// when memory runs out or the resource holds no usable fixed information).
uint32_t GetFileVersion(const char* path, FileVersion* version);

// Looks for fileName in directory and, depth-first, in every folder below it,
// the directory's own copy first. bestPath (bestPathSize bytes) and
// *bestVersion are replaced only by a strictly newer copy, so among equal
// versions the first one met stays, and a copy without version never wins
// over a start of 0.0.0.0. A path that does not fit 260 bytes (or, for the
// best path, bestPathSize) is not formed: that copy or folder is passed over.
void SearchNewestCopy(const char* directory, const char* fileName, char* bestPath,
                      size_t bestPathSize, FileVersion* bestVersion);

// The newest versioned copy of row's file under its search root: bestPath
// holds its path and *version its version, or bestPath is empty and *version
// 0.0.0.0. A row without installedPath or searchRoot leaves both untouched.
void FindNewestSharedCopy(const ProtectedFile& row, char* bestPath, size_t bestPathSize,
                          FileVersion* version);
