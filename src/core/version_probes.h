// Which Windows the library runs on. Each predicate asks the system afresh.
#pragma once

bool IsVistaOrLater();    // major version 6 or more
bool IsWin2000OrLater();  // major version 5 or more, any platform
bool IsWin2000();         // NT 5.0
bool IsWinXP();           // NT 5.1
bool IsWin9x();           // Windows 95, 98 or Me (platform VER_PLATFORM_WIN32_WINDOWS)
