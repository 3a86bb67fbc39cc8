#include "preserve/whole_file.h"

#include "common/win_handles.h"

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
    if (high != 0 || *size > kMaxWholeFileSize) {
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
