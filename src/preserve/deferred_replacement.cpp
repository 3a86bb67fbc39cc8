#include "preserve/deferred_replacement.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/list_value_type.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/system_message.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"
#include "preserve/file_operations.h"
#include "preserve/rename_list.h"
#include "preserve/whole_file.h"
#include "preserve/wininit_text.h"

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// Stores the request once the key is open.
bool AppendToPendingRenames(DeviceContext* context, HKEY key, const char* target,
                            const char* tempPath) {
    char text[MAX_PATH];
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, kPendingRenames, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        // A missing value starts as the empty list.
        const BYTE emptyList[1] = {0};
        status = RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ, emptyList, 1);
        type = REG_MULTI_SZ;
        size = 1;
    }
    if (status != ERROR_SUCCESS) {
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context,
                   "ERROR: Failed to get buffer size for PendingFileRenameOperations. %s\n", text);
        return false;
    }

    size_t targetLength = strlen(target);
    size_t tempLength = strlen(tempPath);
    // Room for the old value and the request, with a margin for completing
    // the old list's last pair. A value too large to add to is refused.
    uint64_t requested =
        static_cast<uint64_t>(size) + 2 * static_cast<uint64_t>(targetLength) + tempLength + 22;
    size_t capacity = RenameRequestCapacity(size, targetLength, tempLength);
    if (capacity > requested) {
        requested = capacity;
    }
    TrackedBuffer buffer(requested > 0x7FFFFFFF ? 0 : static_cast<uint32_t>(requested));
    if (requested > 0x7FFFFFFF || !buffer) {
        LogMessage(context, "ERROR: Failed to allocate buffer. Requested size=%d.\n",
                   static_cast<int>(requested));
        return false;
    }

    // The query may report more than the ANSI data takes; only the bytes the
    // read returns are the list.
    DWORD readType = type;
    DWORD readSize = size;
    status = RegQueryValueExA(key, kPendingRenames, nullptr, &readType, buffer.Bytes(), &readSize);
    if (status != ERROR_SUCCESS) {
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context, "ERROR: Failed to read PendingFileRenameOperations value. %s\n", text);
        return false;
    }
    if (!IsListValueType(readType)) {
        LogMessage(context,
                   "ERROR: PendingFileRenameOperations is of type %u, not a list; nothing "
                   "scheduled.\n",
                   static_cast<unsigned>(readType));
        return false;
    }
    size_t newSize = 0;
    RenameAppend appended = AppendRenameRequest(buffer.Chars(), static_cast<size_t>(requested),
                                                readSize, target, tempPath, &newSize);
    if (appended == RenameAppend::AlreadyListed) {
        // This very copy is listed already: once is enough.
        return true;
    }
    if (appended != RenameAppend::Appended) {
        // Cannot happen with the room reserved above; refused all the same.
        GetSystemMessageText(ERROR_INSUFFICIENT_BUFFER, text, sizeof(text));
        LogMessage(context, "ERROR: Couldn't save the new PendingFileRenameOperations value. %s\n",
                   text);
        return false;
    }
    status = RegSetValueExA(key, kPendingRenames, 0, readType, buffer.Bytes(),
                            static_cast<DWORD>(newSize));
    if (status != ERROR_SUCCESS) {
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context, "ERROR: Couldn't save the new PendingFileRenameOperations value. %s\n",
                   text);
        return false;
    }
    return true;
}

// Puts the complete new file in WinInit.ini's place with MoveFileA steps, for
// the systems without MoveFileExA (Windows 95, 98 and Me, the very ones that
// carry out "[rename]" at start-up): WinInit.ini to its backup, the new file
// to WinInit.ini, then the backup deleted. A backup that is there already is
// never overwritten (MoveFileA refuses), since it may be the only copy left
// by an earlier rewrite; the swap fails then, with nothing moved. When the new
// file cannot take the name, the backup gets it back, by a move or else a
// copy, and failing that the new file gets it by a copy; neither file is
// removed before WinInit.ini exists again. NO_ERROR when the new file is in
// place (it is gone then), else the error of the step that failed; *keptAside
// is set when WinInit.ini could be given no file at all, and both stay.
DWORD SwapWithMoves(const char* iniPath, const char* newPath, const char* backupPath,
                    bool* keptAside) {
    const FileOperations& files = PreserveFileOperations();
    if (!files.moveFile(iniPath, backupPath)) {
        return GetLastError();
    }
    if (files.moveFile(newPath, iniPath)) {
        // A read-only WinInit.ini keeps that attribute through the move; its
        // backup is ours to delete all the same.
        SetFileAttributesA(backupPath, FILE_ATTRIBUTE_NORMAL);
        files.deleteFile(backupPath);
        return NO_ERROR;
    }
    DWORD error = GetLastError();
    if (files.moveFile(backupPath, iniPath)) {
        return error;
    }
    if (files.copyFile(backupPath, iniPath, TRUE)) {
        SetFileAttributesA(backupPath, FILE_ATTRIBUTE_NORMAL);
        files.deleteFile(backupPath);
        return error;
    }
    if (files.copyFile(newPath, iniPath, TRUE)) {
        files.deleteFile(newPath);
        SetFileAttributesA(backupPath, FILE_ATTRIBUTE_NORMAL);
        files.deleteFile(backupPath);
        return NO_ERROR;
    }
    *keptAside = true;
    return error;
}

// Puts the new file in WinInit.ini's place: in one call where the system has
// MoveFileExA, else by MoveFileA steps. NO_ERROR, or the error; *keptAside as
// for SwapWithMoves.
DWORD ReplaceWinInit(const char* iniPath, const char* newPath, const char* backupPath,
                     bool* keptAside) {
    *keptAside = false;
    if (!IsWin9x()) {
        if (PreserveFileOperations().moveFileEx(
                newPath, iniPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return NO_ERROR;
        }
        DWORD error = GetLastError();
        if (error != ERROR_CALL_NOT_IMPLEMENTED) {
            return error;
        }
    }
    return SwapWithMoves(iniPath, newPath, backupPath, keptAside);
}

}  // namespace

bool SchedulePendingRename(DeviceContext* context, const char* target, const char* staged) {
    zk::UniqueRegKey key;
    LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, kSessionManager, key.Receive());
    if (status != ERROR_SUCCESS) {
        char text[MAX_PATH];
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context,
                   "ERROR: Failed to open \"\\SYSTEM\\CurrentControlSet\\Control\\Session "
                   "Manager\" key. %s\n",
                   text);
        return false;
    }
    return AppendToPendingRenames(context, key.Get(), target, staged);
}

bool FormWinInitPath(zk::FixedText<MAX_PATH>* path) {
    char windowsDirectory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof(windowsDirectory));
    return length != 0 && length < sizeof(windowsDirectory) &&
           path->Format("%s\\WinInit.ini", windowsDirectory);
}

bool ReadPendingRenames(TrackedBuffer* bytes, DWORD* size) {
    *size = 0;
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD queried = 0;
    if (RegQueryValueExA(key.Get(), kPendingRenames, nullptr, &type, nullptr, &queried) !=
            ERROR_SUCCESS ||
        !IsListValueType(type) || queried > kMaxWholeFileSize) {
        return false;
    }
    // One byte more, so that an empty value still gets a block.
    *bytes = TrackedBuffer(queried + 1);
    if (!*bytes || RegQueryValueExA(key.Get(), kPendingRenames, nullptr, &type, bytes->Bytes(),
                                    &queried) != ERROR_SUCCESS) {
        *bytes = TrackedBuffer();
        return false;
    }
    *size = queried;
    return true;
}

bool ScheduleWinInitRename(DeviceContext* context, const char* target, const char* staged,
                           const char* spare) {
    zk::FixedText<MAX_PATH> iniPath;
    zk::FixedText<MAX_PATH> newPath;
    zk::FixedText<MAX_PATH> backupPath;
    if (!FormWinInitPath(&iniPath) || !newPath.Format("%s.new", iniPath.c_str()) ||
        !backupPath.Format("%s.bak", iniPath.c_str())) {
        LogMessage(context, "ERROR: Couldn't open \"%s\".\n", "WinInit.ini");
        return false;
    }

    // The old file stays untouched until its complete successor is beside it.
    TrackedBuffer oldContent;
    DWORD oldSize = 0;
    DWORD error = 0;
    bool opened = false;
    if (!ReadWholeFile(iniPath.c_str(), &oldContent, &oldSize, &error, &opened)) {
        if (!opened) {
            // Taking WinInit.ini is the step that makes its backup, and what
            // stops it (no WinInit.ini at all, above all) is reported so.
            LogMessage(context, "ERROR: Couldn't create backup file for \"%s\" (0x%08X).\n",
                       iniPath.c_str(), static_cast<unsigned>(error));
        } else {
            LogMessage(context, "ERROR: Couldn't open \"%s\".\n", iniPath.c_str());
        }
        return false;
    }
    size_t capacity = WinInitRenameCapacity(oldSize, strlen(target), strlen(staged),
                                            spare == nullptr ? 0 : strlen(spare));
    TrackedBuffer newContent(static_cast<uint32_t>(capacity));
    size_t newSize = 0;
    WinInitAdd added = newContent ? AddWinInitRename(oldContent.Chars(), oldSize, target, staged,
                                                     spare, newContent.Chars(), capacity, &newSize)
                                  : WinInitAdd::NoRoom;
    if (added == WinInitAdd::AlreadyListed) {
        // This very copy is listed already: once is enough.
        return true;
    }
    if (added != WinInitAdd::Added) {
        LogMessage(context, "ERROR: Failed to allocate buffer. Requested size=%d.\n",
                   static_cast<int>(capacity));
        return false;
    }
    if (!WriteNewFile(newPath.c_str(), newContent.Get(), static_cast<DWORD>(newSize), &error)) {
        DeleteFileA(newPath.c_str());
        LogMessage(context, "ERROR: Couldn't open \"%s\".\n", newPath.c_str());
        return false;
    }
    bool keptAside = false;
    error = ReplaceWinInit(iniPath.c_str(), newPath.c_str(), backupPath.c_str(), &keptAside);
    if (error == NO_ERROR) {
        return true;
    }
    LogMessage(context, "ERROR: Couldn't replace \"%s\" (0x%08X).\n", iniPath.c_str(),
               static_cast<unsigned>(error));
    if (keptAside) {
        // Both copies stay: the old content as the backup, and the new.
        LogMessage(context, "ERROR: Couldn't put %s back; it is kept as %s.\n", iniPath.c_str(),
                   backupPath.c_str());
    } else {
        DeleteFileA(newPath.c_str());
    }
    return false;
}
