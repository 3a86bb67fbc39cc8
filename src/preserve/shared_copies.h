// Versions of files on disk and the search for the newest copy of a protected
// file under the maker's shared-components folder. A missing folder, an
// unreadable directory or a file without a version all come out, silently, as
// "no copy" (empty path, 0.0.0.0) or as a candidate that is not chosen; the one
// line logged here is the warning about a copy built for another machine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/tracked_alloc.h"
#include "preserve/file_version.h"
#include "preserve/protected_files.h"

struct DeviceContext;

// Keeps the search from putting forward a copy built for another machine type
// than the installed file (a 64-bit DLL for a 32-bit one, or the other way
// round): such a copy is not newer, whatever its version. One that would have
// been put in place (newer than the best so far and than the installed file)
// is named in a warning in context's log.
struct CopyGuard {
    DeviceContext* context;
    uint16_t machine;       // the installed file's machine type
    FileVersion installed;  // the installed file's version
};

// The machine type of the Windows image at path (the PE header's Machine
// field). False when the file cannot be read or is no PE image.
bool GetFileMachineType(const char* path, uint16_t* machine);

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
// With a guard, copies of another machine type are passed over too. Folders
// and files that are links (reparse points), the root included, are no part
// of the tree: they are passed over, so the walk always ends.
void SearchNewestCopy(const char* directory, const char* fileName, char* bestPath,
                      size_t bestPathSize, FileVersion* bestVersion,
                      const CopyGuard* guard = nullptr);

// The newest versioned copy of row's file under its search root: bestPath
// holds its path and *version its version, or bestPath is empty and *version
// 0.0.0.0. A row without installedPath or searchRoot leaves both untouched.
// With a guard, only copies of the guard's machine type count.
void FindNewestSharedCopy(const ProtectedFile& row, char* bestPath, size_t bestPathSize,
                          FileVersion* version, const CopyGuard* guard = nullptr);

// The search roots of one pass over the table, each template expanded once:
// the rows share their roots, and every expansion probes the maker folders
// and takes blocks of the allocator anew.
class SearchRoots {
public:
    // The expansion of searchRoot, or null when it cannot be expanded.
    const char* Expanded(const char* searchRoot);

private:
    struct Root {
        const char* searchRoot = nullptr;
        TrackedBuffer expanded;
    };
    static const int kCapacity = 8;
    Root roots_[kCapacity];
    int count_ = 0;
};

// FindNewestSharedCopy with the row's root taken from roots.
void FindNewestSharedCopyIn(SearchRoots* roots, const ProtectedFile& row, char* bestPath,
                            size_t bestPathSize, FileVersion* version, const CopyGuard* guard);
