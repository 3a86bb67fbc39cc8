#include "preserve/shared_copies.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/tracked_alloc.h"
#include "core/path_template.h"
#include "preserve/file_operations.h"
#include "preserve/machine_type.h"

namespace {

const FileVersion kNoVersion = {0, 0, 0, 0};

// True when the copy at path may stand in for the installed file. A copy of
// another machine type may not; when it would have been put in place, the log
// names it.
bool IsSameMachine(const CopyGuard* guard, const char* path, const FileVersion& version) {
    if (guard == nullptr) {
        return true;
    }
    uint16_t machine = 0;
    if (GetFileMachineType(path, &machine) && machine == guard->machine) {
        return true;
    }
    if (IsNewerVersion(version, guard->installed)) {
        LogMessage(guard->context,
                   "WARNING: %s is built for machine 0x%04X, the installed file for 0x%04X; "
                   "not put in place.\n",
                   path, static_cast<unsigned>(machine), static_cast<unsigned>(guard->machine));
    }
    return false;
}

}  // namespace

bool GetFileMachineType(const char* path, uint16_t* machine) {
    zk::UniqueFileHandle file(CreateFileA(path, GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    unsigned char head[kPeMachineProbeSize];
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, sizeof(head), &read, nullptr)) {
        return false;
    }
    return ReadPeMachine(head, read, machine);
}

uint32_t GetFileVersion(const char* path, FileVersion* version) {
    *version = kNoVersion;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return GetLastError();
    }
    TrackedBuffer block(size);
    if (!block) {
        return E_FAIL;
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!GetFileVersionInfoA(path, handle, size, block.Get()) ||
        !VerQueryValueA(block.Get(), "\\", reinterpret_cast<void**>(&info), &infoSize)) {
        DWORD error = GetLastError();
        // A failure is never reported as success, even when the system left
        // no error code behind.
        return error != 0 ? error : static_cast<uint32_t>(E_FAIL);
    }
    // A root block too short for the fixed information (or without its
    // signature) is no version resource one can read.
    if (info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD) {
        return E_FAIL;
    }
    *version = FileVersionFromFixedInfo(info->dwFileVersionMS, info->dwFileVersionLS);
    return 0;
}

namespace {

// A folder or file that is a link (junction, symbolic link, mount point)
// brings in whatever it points to, from anywhere; two links back into the tree
// would make the walk endless. Links are no part of the tree.
bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Closes a find handle of the file operations in use.
struct FindOwner {
    HANDLE handle;
    ~FindOwner() {
        if (handle != INVALID_HANDLE_VALUE) {
            PreserveFileOperations().findClose(handle);
        }
    }
};

void SearchTree(const char* directory, const char* fileName, char* bestPath, size_t bestPathSize,
                FileVersion* bestVersion, const CopyGuard* guard) {
    const FileOperations& files = PreserveFileOperations();
    zk::FixedText<MAX_PATH> path;
    if (path.Format("%s\\%s", directory, fileName) &&
        !IsLink(files.getFileAttributes(path.c_str()))) {
        FileVersion candidate;
        GetFileVersion(path.c_str(), &candidate);
        // A path that does not fit the caller's buffer cannot be handed on,
        // so that copy is not chosen; the best one so far stays intact.
        if (IsNewerVersion(candidate, *bestVersion) && strlen(path.c_str()) < bestPathSize &&
            IsSameMachine(guard, path.c_str(), candidate)) {
            *bestVersion = candidate;
            zk::CopyText(bestPath, bestPathSize, path.c_str());
        }
    }

    if (!path.Format("%s\\*", directory)) {
        return;
    }
    WIN32_FIND_DATAA entry;
    FindOwner find = {files.findFirstFile(path.c_str(), &entry)};
    if (find.handle == INVALID_HANDLE_VALUE) {
        return;
    }
    // Any failure of FindNextFileA ends this directory, not only the end of
    // its entries: repeating the enumeration could loop for ever.
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0 ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            IsLink(entry.dwFileAttributes)) {
            continue;
        }
        if (path.Format("%s\\%s", directory, entry.cFileName)) {
            SearchTree(path.c_str(), fileName, bestPath, bestPathSize, bestVersion, guard);
        }
    } while (files.findNextFile(find.handle, &entry));
}

}  // namespace

void SearchNewestCopy(const char* directory, const char* fileName, char* bestPath,
                      size_t bestPathSize, FileVersion* bestVersion, const CopyGuard* guard) {
    // A search root that is itself a link is no tree of ours either.
    if (!IsLink(PreserveFileOperations().getFileAttributes(directory))) {
        SearchTree(directory, fileName, bestPath, bestPathSize, bestVersion, guard);
    }
}

namespace {

// The search root template expanded, or none.
TrackedBuffer ExpandSearchRoot(const char* searchRoot) {
    size_t size = strlen(searchRoot) + 1;
    char* templateBuffer = static_cast<char*>(TrackedAlloc(static_cast<uint32_t>(size)));
    if (templateBuffer == nullptr) {
        return TrackedBuffer();
    }
    memcpy(templateBuffer, searchRoot, size);
    // The expansion takes the template buffer over and hands back its own.
    return TrackedBuffer::Adopt(ExpandPathTemplate(templateBuffer));
}

// The search of one row under root (null: a root that could not be had).
void FindUnder(const char* root, const ProtectedFile& row, char* bestPath, size_t bestPathSize,
               FileVersion* version, const CopyGuard* guard) {
    if (bestPathSize > 0) {
        bestPath[0] = '\0';
    }
    *version = kNoVersion;
    if (root != nullptr) {
        SearchNewestCopy(root, row.fileName, bestPath, bestPathSize, version, guard);
    }
}

}  // namespace

void FindNewestSharedCopy(const ProtectedFile& row, char* bestPath, size_t bestPathSize,
                          FileVersion* version, const CopyGuard* guard) {
    if (row.installedPath == nullptr || row.searchRoot == nullptr) {
        return;
    }
    TrackedBuffer root = ExpandSearchRoot(row.searchRoot);
    FindUnder(root.Chars(), row, bestPath, bestPathSize, version, guard);
}

const char* SearchRoots::Expanded(const char* searchRoot) {
    for (int i = 0; i < count_; ++i) {
        if (strcmp(roots_[i].searchRoot, searchRoot) == 0) {
            return roots_[i].expanded.Chars();
        }
    }
    // A table with more roots than places reuses the last place.
    Root& root = roots_[count_ < kCapacity ? count_++ : kCapacity - 1];
    root.searchRoot = searchRoot;
    root.expanded = ExpandSearchRoot(searchRoot);
    return root.expanded.Chars();
}

void FindNewestSharedCopyIn(SearchRoots* roots, const ProtectedFile& row, char* bestPath,
                            size_t bestPathSize, FileVersion* version, const CopyGuard* guard) {
    if (row.installedPath == nullptr || row.searchRoot == nullptr) {
        return;
    }
    FindUnder(roots->Expanded(row.searchRoot), row, bestPath, bestPathSize, version, guard);
}
