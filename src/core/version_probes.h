// Which Windows the library runs on. Each predicate asks the system afresh.
#pragma once

// The version numbers and platform GetVersionExA reports; all zero when it
// fails (and then every predicate below answers no).
struct WindowsVersion {
    unsigned long major;
    unsigned long minor;
    unsigned long platform;  // VER_PLATFORM_WIN32_WINDOWS (9x) or _NT
};
bool ReadWindowsVersion(WindowsVersion* version);

bool IsVistaOrLater();    // major version 6 or more
bool IsWin2000OrLater();  // major version 5 or more, any platform
bool IsWin2000();         // NT 5.0
bool IsWinXP();           // NT 5.1
bool IsWin9x();           // Windows 95, 98 or Me (platform VER_PLATFORM_WIN32_WINDOWS)
bool IsNtFamily();        // platform VER_PLATFORM_WIN32_NT
