#include "preserve/deferred_replacement.h"

#include <windows.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/list_value_type.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/system_message.h"
#include "core/tracked_alloc.h"
#include "preserve/rename_list.h"
#include "preserve/wininit_text.h"

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// WinInit.ini is a small text file; anything larger than this is not one we
// would rewrite in memory.
const DWORD kMaxWinInitSize = 16 * 1024 * 1024;

// Stores the rest of the request once the ".tmp" copy exists and the key is
// open.
void AppendToPendingRenames(DeviceContext* context, HKEY key, const char* target,
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
        return;
    }

    size_t targetLength = strlen(target);
    size_t tempLength = strlen(tempPath);
    // Room for the old value and the request, with a margin for completing
    // the old list's last pair. A value too large to add to is refused.
    uint64_t requested = static_cast<uint64_t>(size) + 2 * targetLength + tempLength + 22;
    size_t capacity = RenameRequestCapacity(size, targetLength, tempLength);
    if (capacity > requested) {
        requested = capacity;
    }
    TrackedBuffer buffer(requested > 0x7FFFFFFF ? 0 : static_cast<uint32_t>(requested));
    if (requested > 0x7FFFFFFF || !buffer) {
        LogMessage(context, "ERROR: Failed to allocate buffer. Requested size=%d.\n",
                   static_cast<int>(requested));
        return;
    }

    // The query may report more than the ANSI data takes; only the bytes the
    // read returns are the list.
    DWORD readType = type;
    DWORD readSize = size;
    status = RegQueryValueExA(key, kPendingRenames, nullptr, &readType, buffer.Bytes(), &readSize);
    if (status != ERROR_SUCCESS) {
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context, "ERROR: Failed to read PendingFileRenameOperations value. %s\n", text);
        return;
    }
    if (!IsListValueType(readType)) {
        LogMessage(context,
                   "ERROR: PendingFileRenameOperations is of type %u, not a list; nothing "
                   "scheduled.\n",
                   static_cast<unsigned>(readType));
        return;
    }
    size_t newSize = 0;
    RenameAppend appended = AppendRenameRequest(buffer.Chars(), static_cast<size_t>(requested),
                                                readSize, target, tempPath, &newSize);
    if (appended == RenameAppend::AlreadyListed) {
        // An earlier installation asked for this very move; its copy has just
        // been made afresh, and a second request would delete the file.
        return;
    }
    if (appended != RenameAppend::Appended) {
        // Cannot happen with the room reserved above; refused all the same.
        GetSystemMessageText(ERROR_INSUFFICIENT_BUFFER, text, sizeof(text));
        LogMessage(context, "ERROR: Couldn't save the new PendingFileRenameOperations value. %s\n",
                   text);
        return;
    }
    status = RegSetValueExA(key, kPendingRenames, 0, readType, buffer.Bytes(),
                            static_cast<DWORD>(newSize));
    if (status != ERROR_SUCCESS) {
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context, "ERROR: Couldn't save the new PendingFileRenameOperations value. %s\n",
                   text);
    }
}

// Reads the whole file at path into *content; false with the error in *error,
// and *opened telling whether the file could be opened at all.
bool ReadWholeFile(const char* path, TrackedBuffer* content, DWORD* size, DWORD* error,
                   bool* opened) {
    zk::UniqueFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    *opened = file.IsValid();
    if (!file) {
        *error = GetLastError();
        return false;
    }
    DWORD high = 0;
    *size = GetFileSize(file.Get(), &high);
    if (*size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        *error = GetLastError();
        return false;
    }
    if (high != 0 || *size > kMaxWinInitSize) {
        *error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    // One byte more than needed, so that an empty file still gets a block.
    *content = TrackedBuffer(*size + 1);
    if (!*content) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file.Get(), content->Get(), *size, &read, nullptr)) {
        *error = GetLastError();
        return false;
    }
    if (read != *size) {
        *error = ERROR_HANDLE_EOF;
        return false;
    }
    return true;
}

// Writes bytes to a new file at path and flushes it; false with the error.
bool WriteNewFile(const char* path, const void* bytes, DWORD size, DWORD* error) {
    zk::UniqueFileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        *error = GetLastError();
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes, size, &written, nullptr) || !FlushFileBuffers(file.Get())) {
        *error = GetLastError();
        return false;
    }
    if (written != size) {
        *error = ERROR_DISK_FULL;
        return false;
    }
    return true;
}

}  // namespace

void SchedulePendingRename(DeviceContext* context, const char* target, const char* source) {
    zk::FixedText<MAX_PATH> tempPath;
    // A temporary path that does not fit is like a copy that cannot be made.
    if (!tempPath.Format("%s.tmp", source) || !CopyFileA(source, tempPath.c_str(), FALSE)) {
        return;
    }
    zk::UniqueRegKey key;
    LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, kSessionManager, key.Receive());
    if (status != ERROR_SUCCESS) {
        char text[MAX_PATH];
        GetSystemMessageText(static_cast<DWORD>(status), text, sizeof(text));
        LogMessage(context,
                   "ERROR: Failed to open \"\\SYSTEM\\CurrentControlSet\\Control\\Session "
                   "Manager\" key. %s\n",
                   text);
        return;
    }
    AppendToPendingRenames(context, key.Get(), target, tempPath.c_str());
}

void ScheduleWinInitRename(DeviceContext* context, const char* target, const char* source) {
    char windowsDirectory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof(windowsDirectory));
    zk::FixedText<MAX_PATH> iniPath;
    zk::FixedText<MAX_PATH> newPath;
    if (length == 0 || length >= sizeof(windowsDirectory) ||
        !iniPath.Format("%s\\WinInit.ini", windowsDirectory) ||
        !newPath.Format("%s.new", iniPath.c_str())) {
        LogMessage(context, "ERROR: Couldn't open \"%s\".\n", "WinInit.ini");
        return;
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
        return;
    }
    size_t capacity = WinInitRenameCapacity(oldSize, strlen(target), strlen(source));
    TrackedBuffer newContent(static_cast<uint32_t>(capacity));
    size_t newSize = 0;
    WinInitAdd added = newContent ? AddWinInitRename(oldContent.Chars(), oldSize, target, source,
                                                     newContent.Chars(), capacity, &newSize)
                                  : WinInitAdd::NoRoom;
    if (added == WinInitAdd::AlreadyListed) {
        // An earlier run asked for this very move; a second pair would move
        // the file away again at the start.
        return;
    }
    if (added != WinInitAdd::Added) {
        LogMessage(context, "ERROR: Failed to allocate buffer. Requested size=%d.\n",
                   static_cast<int>(capacity));
        return;
    }
    if (!WriteNewFile(newPath.c_str(), newContent.Get(), static_cast<DWORD>(newSize), &error)) {
        DeleteFileA(newPath.c_str());
        LogMessage(context, "ERROR: Couldn't open \"%s\".\n", newPath.c_str());
        return;
    }
    if (!MoveFileExA(newPath.c_str(), iniPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileA(newPath.c_str());
        LogMessage(context, "ERROR: Couldn't replace \"%s\" (0x%08X).\n", iniPath.c_str(),
                   static_cast<unsigned>(error));
    }
}
