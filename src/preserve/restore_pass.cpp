#include "preserve/restore_pass.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/system_message.h"
#include "core/version_probes.h"
#include "preserve/deferred_replacement.h"
#include "preserve/file_operations.h"
#include "preserve/protected_files.h"
#include "preserve/shared_copies.h"
#include "preserve/staging.h"

namespace {

// The directory buffers and the found path are 255 bytes: the found path
// plus ".tmp" must still fit a MAX_PATH buffer when it is scheduled.
const UINT kDirectorySize = 255;
const size_t kFoundPathSize = 255;

// Gives the installed name a file again after it was moved aside to oldPath
// and the new copy at newPath could not take its place or had to leave it
// again. The old file is preferred, the new one next; each by a move, or by a
// copy when the move fails. Neither copy is removed before the name holds a
// file: when nothing works both stay where they are. False then.
bool GiveNameBack(const char* installed, const char* oldPath, const char* newPath) {
    const FileOperations& files = PreserveFileOperations();
    if (files.moveFile(oldPath, installed) || files.copyFile(oldPath, installed, TRUE)) {
        RemoveScratchFile(oldPath);
        RemoveScratchFile(newPath);
        return true;
    }
    if (files.moveFile(newPath, installed) || files.copyFile(newPath, installed, TRUE)) {
        RemoveScratchFile(newPath);
        RemoveScratchFile(oldPath);
        return true;
    }
    return false;
}

// The error that deleting path would give now, or NO_ERROR when it could be
// deleted: a file held open without delete sharing, or a read-only one, could
// not be.
DWORD DeleteBlocker(const char* path) {
    zk::UniqueFileHandle probe(CreateFileA(path, DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    if (!probe) {
        return GetLastError();
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    return NO_ERROR;
}

// Says where the old file is when its name could be given nothing back.
void LogKeptAside(DeviceContext* context, const char* installed, const char* oldPath) {
    LogMessage(context, "ERROR: Couldn't put %s back; it is kept as %s.\n", installed, oldPath);
}

// Puts found in place of installed. The copy goes to "<installed>.new" (never
// over a file or link that is there) and is checked; then, where the system
// has a replacing move, it takes the installed name in that one step, so that
// the name always holds a whole old or a whole new file, whatever moment the
// machine loses power at. A file that cannot be replaced (in use, read-only)
// stays as it was and is reported as the delete failure, so that it is left
// to the next start. True when the new file is in place.
bool ReplaceInstalledFile(DeviceContext* context, const ProtectedFile& row, const char* installed,
                          const char* found, const CheckedCopy& checked) {
    const FileOperations& files = PreserveFileOperations();
    zk::FixedText<MAX_PATH> newPath;
    zk::FixedText<MAX_PATH> oldPath;
    if (!newPath.Format("%s.new", installed) || !oldPath.Format("%s.old", installed)) {
        LogFileError(context, "copy", row.fileName, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (!files.copyFile(found, newPath.c_str(), TRUE)) {
        DWORD error = GetLastError();
        RemoveScratchFile(newPath.c_str());
        // The plain order, delete and then copy, would have stopped at the
        // delete of a file in use and said so: that is what the log reports.
        DWORD deleteError = DeleteBlocker(installed);
        if (deleteError != NO_ERROR) {
            LogFileError(context, "delete", row.fileName, deleteError);
        } else {
            LogFileError(context, "copy", row.fileName, error);
        }
        return false;
    }
    if (!IsCheckedCopy(newPath.c_str(), checked)) {
        RemoveScratchFile(newPath.c_str());
        LogMessage(context,
                   "ERROR: The copy of %s made from %s is not the one checked; not put in "
                   "place.\n",
                   row.fileName, found);
        return false;
    }
    // A file in use or read-only stays as it is, as its deletion would have
    // failed; some systems would let the replacing move take a read-only
    // file's name.
    DWORD blocker = DeleteBlocker(installed);
    if (blocker != NO_ERROR) {
        RemoveScratchFile(newPath.c_str());
        LogFileError(context, "delete", row.fileName, blocker);
        return false;
    }
    if (!IsWin9x()) {
        if (files.moveFileEx(newPath.c_str(), installed,
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_CALL_NOT_IMPLEMENTED) {
            RemoveScratchFile(newPath.c_str());
            LogFileError(context, "delete", row.fileName, error);
            return false;
        }
    }
    // Without a replacing move: the installed file is moved aside, the new one
    // takes its name, and only then is the old one deleted. A cut between the
    // two moves leaves the old copy aside, and the next pass puts it back
    // before anything else.
    RemoveScratchFile(oldPath.c_str());
    // A file held open without delete sharing cannot be moved either, and
    // fails here with the same error its deletion would.
    if (!files.moveFile(installed, oldPath.c_str())) {
        DWORD error = GetLastError();
        RemoveScratchFile(newPath.c_str());
        LogFileError(context, "delete", row.fileName, error);
        return false;
    }
    if (!files.moveFile(newPath.c_str(), installed)) {
        DWORD error = GetLastError();
        bool named = GiveNameBack(installed, oldPath.c_str(), newPath.c_str());
        LogFileError(context, "copy", row.fileName, error);
        if (!named) {
            LogKeptAside(context, installed, oldPath.c_str());
        }
        return false;
    }
    if (!files.deleteFile(oldPath.c_str())) {
        // Undone in reverse order: the old file gets its name back. When the
        // new one cannot even be moved off the name, it stays in place.
        DWORD error = GetLastError();
        bool named = !files.moveFile(installed, newPath.c_str()) ||
                     GiveNameBack(installed, oldPath.c_str(), newPath.c_str());
        LogFileError(context, "delete", row.fileName, error);
        if (!named) {
            LogKeptAside(context, installed, oldPath.c_str());
        }
        return false;
    }
    return true;
}

// Leaves the replacement to the next start: a checked copy staged beside the
// installed file (and, for WinInit.ini, a spare one) and listed. A copy of
// ours that is listed already and is the checked copy is enough.
void ScheduleForTheNextStart(DeviceContext* context, const ProtectedFile& row,
                             const char* installed, const char* found, const CheckedCopy& checked,
                             const PendingLists& lists, bool useWinInit) {
    if (IsScheduledAlready(lists, useWinInit, installed, checked)) {
        return;
    }
    char staged[MAX_PATH];
    if (!StageCopy(context, row.fileName, found, installed, checked, staged, sizeof(staged))) {
        return;
    }
    if (!useWinInit) {
        if (!SchedulePendingRename(context, installed, staged)) {
            RemoveScratchFile(staged);
        }
        return;
    }
    char spare[MAX_PATH];
    if (!StageCopy(context, row.fileName, found, installed, checked, spare, sizeof(spare))) {
        RemoveScratchFile(staged);
        return;
    }
    if (!ScheduleWinInitRename(context, installed, staged, spare)) {
        RemoveScratchFile(staged);
        RemoveScratchFile(spare);
    }
}

void RestoreRow(DeviceContext* context, SearchRoots* roots, const ProtectedFile& row,
                bool useWinInit) {
    char windowsDirectory[kDirectorySize];
    char systemDirectory[kDirectorySize];
    char installed[MAX_PATH];
    UINT windowsLength = GetWindowsDirectoryA(windowsDirectory, kDirectorySize);
    UINT systemLength = GetSystemDirectoryA(systemDirectory, kDirectorySize);
    bool formed = windowsLength != 0 && windowsLength < kDirectorySize && systemLength != 0 &&
                  systemLength < kDirectorySize &&
                  ResolveInstalledPath(row.installedPath, windowsDirectory, systemDirectory,
                                       installed, sizeof(installed));
    LogMessage(context, "Processing %s.\n", row.fileName);
    if (!formed) {
        // A cut path would name some other file.
        LogMessage(context, "ERROR: Install location of %s is too long.\n", row.fileName);
        return;
    }
    PendingLists lists;
    ReadPendingLists(&lists);
    TidyCopiesBeside(context, installed, lists);

    FileVersion current;
    uint32_t versionError = GetFileVersion(installed, &current);
    // A shared copy built for another machine type than the installed file
    // (a 64-bit copy beside a 32-bit one) never takes its place. An installed
    // file that is no readable image (or, as the version read found, is not
    // there at all) sets no bound.
    CopyGuard guard = {context, 0, current};
    bool absent = versionError == ERROR_FILE_NOT_FOUND || versionError == ERROR_PATH_NOT_FOUND;
    bool guarded = !absent && GetFileMachineType(installed, &guard.machine);
    char found[kFoundPathSize];
    FileVersion previous;
    FindNewestSharedCopyIn(roots, row, found, sizeof(found), &previous, guarded ? &guard : nullptr);
    LogMessage(context, "New file version %d.%d.%d.%d.\n", current.major, current.minor,
               current.build, current.revision);
    LogMessage(context, "Previous file version %d.%d.%d.%d.\n", previous.major, previous.minor,
               previous.build, previous.revision);
    if (!IsNewerVersion(previous, current)) {
        return;
    }
    LogMessage(context, "Restoring %s\n", found);
    if (IsNoVersion(current)) {
        LogMessage(context, "File isn't exist\n");
        return;
    }
    // What was checked is what goes in, now or at the next start.
    CheckedCopy checked = {previous, guarded ? guard.machine : static_cast<uint16_t>(0)};
    if (ReplaceInstalledFile(context, row, installed, found, checked)) {
        return;
    }
    ScheduleForTheNextStart(context, row, installed, found, checked, lists, useWinInit);
}

}  // namespace

void RestoreNewerFiles(DeviceContext* context, bool useWinInit) {
    SearchRoots roots;
    for (const ProtectedFile* row = ProtectedFileTable; row->installedPath != nullptr; ++row) {
        RestoreRow(context, &roots, *row, useWinInit);
    }
}
