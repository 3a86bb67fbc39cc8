#include "core/system_message.h"

#include <cstring>

#include "common/bounded_text.h"

void GetSystemMessageText(DWORD error, char* buffer, DWORD capacity) {
    if (capacity == 0) {
        return;
    }
    buffer[0] = '\0';
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, capacity, nullptr);
    if (length == 0 || length >= capacity) {
        buffer[0] = '\0';
    }
}

void GetSystemMessageLine(DWORD error, char* buffer, DWORD capacity) {
    GetSystemMessageText(error, buffer, capacity);
    if (capacity == 0) {
        return;
    }
    size_t length = strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n') {
        return;
    }
    // A text without its line break gets one, or, when that does not fit,
    // gives way to the line break alone: never a line left open.
    if (!zk::AppendText(buffer, capacity, "\n")) {
        zk::CopyText(buffer, capacity, "\n");
    }
}

DWORD HresultFromWin32(DWORD error) {
    if (static_cast<LONG>(error) > 0) {
        return (error & 0xFFFF) | 0x80070000;
    }
    return error;
}
