#include "core/system_message.h"

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

DWORD HresultFromWin32(DWORD error) {
    if (static_cast<LONG>(error) > 0) {
        return (error & 0xFFFF) | 0x80070000;
    }
    return error;
}
