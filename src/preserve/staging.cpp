#include "preserve/staging.h"

#include <cstring>

#include "common/ascii_text.h"
#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/system_message.h"
#include "preserve/deferred_replacement.h"
#include "preserve/file_operations.h"
#include "preserve/rename_list.h"
#include "preserve/shared_copies.h"
#include "preserve/staged_names.h"
#include "preserve/whole_file.h"
#include "preserve/wininit_text.h"

namespace {

// How many staged copies of one file a pass looks at; there are never more
// than a few (one per pass while the requests wait for a start).
const int kMaxLooked = 32;

bool Exists(const char* path) {
    return PreserveFileOperations().getFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

// The file name part of path.
const char* NameOf(const char* path) {
    const char* backslash = strrchr(path, '\\');
    return backslash == nullptr ? path : backslash + 1;
}

// Whether text (length bytes) is the path of a staged copy of installed.
bool IsStagedPathOf(const char* installed, const char* text, size_t length) {
    char path[MAX_PATH];
    if (length >= sizeof(path)) {
        return false;
    }
    memcpy(path, text, length);
    path[length] = '\0';
    size_t folder = static_cast<size_t>(NameOf(installed) - installed);
    if (length <= folder) {
        return false;
    }
    for (size_t i = 0; i < folder; ++i) {
        if (LowerAsciiChar(path[i]) != LowerAsciiChar(installed[i])) {
            return false;
        }
    }
    return IsStagedNameOf(NameOf(installed), path + folder);
}

// Moves from onto the free name installed: the file a start-up or an
// interrupted replacement should have left there.
bool PutBack(DeviceContext* context, const char* installed, const char* from) {
    if (!PreserveFileOperations().moveFile(from, installed)) {
        return false;
    }
    LogMessage(context, "WARNING: %s was missing; the copy kept as %s is put back.\n", installed,
               from);
    return true;
}

// The staged copies of installed that no list asks for, into names.
int UnlistedStagedCopies(const char* installed, const PendingLists& lists,
                         char (*names)[MAX_PATH]) {
    const FileOperations& files = PreserveFileOperations();
    char pattern[MAX_PATH];
    if (!FormStagedPattern(installed, pattern, sizeof(pattern))) {
        return 0;
    }
    size_t folder = static_cast<size_t>(NameOf(installed) - installed);
    WIN32_FIND_DATAA entry;
    HANDLE find = files.findFirstFile(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !IsStagedNameOf(NameOf(installed), entry.cFileName)) {
            continue;
        }
        char path[MAX_PATH];
        if (!zk::FormatText(path, sizeof(path), "%.*s%s", static_cast<int>(folder), installed,
                            entry.cFileName) ||
            IsListedForTheNextStart(lists, path)) {
            continue;
        }
        zk::CopyText(names[count], MAX_PATH, path);
        ++count;
    } while (count < kMaxLooked && files.findNextFile(find, &entry));
    files.findClose(find);
    return count;
}

}  // namespace

void RemoveScratchFile(const char* path) {
    DWORD error = GetLastError();
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
    SetLastError(error);
}

void LogFileError(DeviceContext* context, const char* what, const char* fileName, DWORD error) {
    char text[MAX_PATH];
    GetSystemMessageLine(error, text, sizeof(text));
    // The system text carries the line break (a line break alone when the
    // system has no text).
    LogMessage(context, "ERROR: Couldn't %s %s. 0x%08X - %s", what, fileName,
               static_cast<unsigned>(error), text);
}

void ReadPendingLists(PendingLists* lists) {
    ReadPendingRenames(&lists->renames, &lists->renamesSize);
    zk::FixedText<MAX_PATH> iniPath;
    DWORD error = 0;
    bool opened = false;
    if (!FormWinInitPath(&iniPath) ||
        !ReadWholeFile(iniPath.c_str(), &lists->winInit, &lists->winInitSize, &error, &opened)) {
        lists->winInit = TrackedBuffer();
        lists->winInitSize = 0;
    }
}

bool IsListedForTheNextStart(const PendingLists& lists, const char* path) {
    return (lists.renames &&
            RenameListNamesSource(lists.renames.Chars(), lists.renamesSize, path)) ||
           (lists.winInit && WinInitNamesSource(lists.winInit.Chars(), lists.winInitSize, path));
}

bool IsCheckedCopy(const char* path, const CheckedCopy& checked) {
    FileVersion version;
    if (GetFileVersion(path, &version) != 0 || IsNewerVersion(version, checked.version) ||
        IsNewerVersion(checked.version, version)) {
        return false;
    }
    uint16_t machine = 0;
    return checked.machine == 0 ||
           (GetFileMachineType(path, &machine) && machine == checked.machine);
}

void TidyCopiesBeside(DeviceContext* context, const char* installed, const PendingLists& lists) {
    char oldPath[MAX_PATH];
    char newPath[MAX_PATH];
    if (!FormAsideName(installed, ".old", oldPath, sizeof(oldPath)) ||
        !FormAsideName(installed, ".new", newPath, sizeof(newPath))) {
        return;
    }
    bool present = Exists(installed);
    // Cut between moving the installed file aside and moving its successor
    // in (where the system has no replacing move): the old copy goes back.
    if (!present && Exists(oldPath)) {
        present = PutBack(context, installed, oldPath);
    }
    char staged[kMaxLooked][MAX_PATH];
    int count = UnlistedStagedCopies(installed, lists, staged);
    if (!present) {
        // A start-up that carried its list out twice, or was cut in the
        // middle of it, took the file and left a staged copy: the newest
        // readable one takes the name.
        int best = -1;
        FileVersion bestVersion = {0, 0, 0, 0};
        for (int i = 0; i < count; ++i) {
            FileVersion version;
            uint16_t machine = 0;
            if (GetFileVersion(staged[i], &version) == 0 &&
                GetFileMachineType(staged[i], &machine) && IsNewerVersion(version, bestVersion)) {
                best = i;
                bestVersion = version;
            }
        }
        if (best >= 0 && PutBack(context, installed, staged[best])) {
            present = true;
        }
    }
    for (int i = 0; i < count; ++i) {
        RemoveScratchFile(staged[i]);
    }
    RemoveScratchFile(newPath);
    if (present) {
        RemoveScratchFile(oldPath);
    }
}

bool IsScheduledAlready(const PendingLists& lists, bool useWinInit, const char* installed,
                        const CheckedCopy& checked) {
    const char* source = nullptr;
    size_t length = 0;
    bool listed =
        useWinInit ? lists.winInit && LastWinInitMoveOnto(lists.winInit.Chars(), lists.winInitSize,
                                                          installed, &source, &length)
                   : lists.renames && LastMoveOnto(lists.renames.Chars(), lists.renamesSize,
                                                   installed, &source, &length);
    if (!listed || !IsStagedPathOf(installed, source, length)) {
        return false;
    }
    char path[MAX_PATH];
    memcpy(path, source, length);
    path[length] = '\0';
    return IsCheckedCopy(path, checked);
}

bool StageCopy(DeviceContext* context, const char* fileName, const char* found,
               const char* installed, const CheckedCopy& checked, char* staged, size_t capacity) {
    const FileOperations& files = PreserveFileOperations();
    for (int n = 1; n <= kMaxStagedCopies; ++n) {
        if (!FormStagedName(installed, n, staged, capacity)) {
            LogFileError(context, "stage", fileName, ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        if (Exists(staged)) {
            continue;
        }
        // Never over a file, or through a link, that is there: a listed copy
        // is not written again, and nobody else's file is written at all.
        if (!files.copyFile(found, staged, TRUE)) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            RemoveScratchFile(staged);
            LogFileError(context, "stage", fileName, error);
            return false;
        }
        if (!IsCheckedCopy(staged, checked)) {
            RemoveScratchFile(staged);
            LogMessage(context,
                       "ERROR: The copy of %s staged from %s is not the one checked; nothing is "
                       "scheduled.\n",
                       fileName, found);
            return false;
        }
        return true;
    }
    LogFileError(context, "stage", fileName, ERROR_FILE_EXISTS);
    return false;
}
