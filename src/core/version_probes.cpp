#include "core/version_probes.h"

#include <windows.h>
#include <cstring>

namespace {

WindowsVersion CurrentVersion() {
    WindowsVersion version;
    ReadWindowsVersion(&version);
    return version;
}

}  // namespace

bool ReadWindowsVersion(WindowsVersion* version) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) {
        *version = WindowsVersion{0, 0, 0};
        return false;
    }
    *version = WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
    return true;
}

bool IsVistaOrLater() {
    return CurrentVersion().major >= 6;
}

bool IsWin2000OrLater() {
    return CurrentVersion().major >= 5;
}

bool IsWin2000() {
    WindowsVersion version = CurrentVersion();
    return version.platform == VER_PLATFORM_WIN32_NT && version.major == 5 && version.minor == 0;
}

bool IsWinXP() {
    WindowsVersion version = CurrentVersion();
    return version.platform == VER_PLATFORM_WIN32_NT && version.major == 5 && version.minor == 1;
}

bool IsWin9x() {
    return CurrentVersion().platform == VER_PLATFORM_WIN32_WINDOWS;
}

bool IsNtFamily() {
    return CurrentVersion().platform == VER_PLATFORM_WIN32_NT;
}
