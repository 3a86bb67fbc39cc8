#include "core/version_probes.h"

#include <windows.h>
#include <cstring>

namespace {

// The predicates that clear the record rely on the cleared record (major
// version 0, platform 0) to fail their test when GetVersionExA fails.
OSVERSIONINFOA ClearedVersionInfo() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    return info;
}

}  // namespace

bool IsVistaOrLater() {
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) {
        return false;
    }
    return info.dwMajorVersion >= 6;
}

bool IsWin2000OrLater() {
    return ClearedVersionInfo().dwMajorVersion >= 5;
}

bool IsWin2000() {
    OSVERSIONINFOA info = ClearedVersionInfo();
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5 &&
           info.dwMinorVersion == 0;
}

bool IsWinXP() {
    OSVERSIONINFOA info = ClearedVersionInfo();
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5 &&
           info.dwMinorVersion == 1;
}

bool IsWin9x() {
    return ClearedVersionInfo().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}
