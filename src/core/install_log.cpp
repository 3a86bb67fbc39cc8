#include "core/install_log.h"

#include <windows.h>
#include <share.h>
#include <cstdarg>

#include "common/bounded_text.h"
#include "common/system_printf.h"
#include "core/device_context.h"
#include "core/log_text.h"

namespace {

const char kLogName[] = "zkcoinst.log";
constexpr long kEmptyAtSize = 102400;
// 259 characters less the 12 of the file name.
constexpr UINT kLongestLogDirectory = 246;

LogClock ReadClock() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LogClock{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                    now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

void GetInstallLogPath(char* buffer, size_t capacity) {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length > 0 && length <= kLongestLogDirectory &&
        zk::FormatText(buffer, capacity, "%s\\%s", directory, kLogName)) {
        return;
    }
    zk::CopyText(buffer, capacity, kLogName);
}

bool OpenInstallLog(FILE** slot) {
    LogClock clock = ReadClock();
    char path[MAX_PATH];
    GetInstallLogPath(path, sizeof(path));

    long size = 0;
    FILE* stream = _fsopen(path, "a+", _SH_DENYRW);
    if (stream != nullptr) {
        (void)fseek(stream, 0, SEEK_END);
        size = ftell(stream);
        if (size >= kEmptyAtSize) {
            (void)fclose(stream);
            stream = _fsopen(path, "w+", _SH_DENYRW);
            size = 0;
        }
    }
    if (stream == nullptr) {
        return false;
    }
    *slot = stream;
    if (size == 0) {
        WriteLogHeader(stream, clock);
    }
    WriteRunStart(stream, clock);
    return true;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
void LogMessage(DeviceContext* context, const char* format, ...) {
    if (context == nullptr) {
        return;
    }
    if (context->logStream == nullptr && !OpenInstallLog(&context->logStream)) {
        return;
    }
    (void)fputs("   ", context->logStream);
    va_list args;
    va_start(args, format);
    (void)ZK_VFPRINTF(context->logStream, format, args);
    va_end(args);
}

void CloseInstallLog(FILE** slot) {
    if (*slot != nullptr) {
        WriteRunStop(*slot, ReadClock());
        (void)fclose(*slot);
    }
    *slot = nullptr;
}
