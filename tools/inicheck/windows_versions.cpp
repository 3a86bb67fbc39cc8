#include "windows_versions.h"

#include <cstdio>
#include <strings.h>

namespace zk::inicheck {

namespace {

// Windows' own programs, the device installer's among them, carry a manifest
// for the version they ship with, so the co-installer sees 6.3 on Windows 8.1
// and 10.0 on Windows 10 and 11; a program without one sees 6.2 there. Windows
// 11 reports 10.0 as Windows 10 does: the co-installer cannot tell them apart.
const WindowsVersion kVersions[] = {
    {"98", nullptr, "Windows 98", 4, 10, false, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
     "C:\\WINDOWS"},
    {"nt4", nullptr, "Windows NT 4.0", 4, 0, true, "C:\\WINNT", "C:\\WINNT\\system32",
     "C:\\WINNT\\Profiles"},
    {"2000", nullptr, "Windows 2000", 5, 0, true, "C:\\WINNT", "C:\\WINNT\\system32",
     "C:\\Documents and Settings"},
    {"xp", nullptr, "Windows XP", 5, 1, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
     "C:\\Documents and Settings"},
    {"2003", nullptr, "Windows Server 2003", 5, 2, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
     "C:\\Documents and Settings"},
    {"vista", nullptr, "Windows Vista", 6, 0, true, "C:\\Windows", "C:\\Windows\\system32",
     "C:\\Users"},
    {"7", nullptr, "Windows 7", 6, 1, true, "C:\\Windows", "C:\\Windows\\system32", "C:\\Users"},
    {"8", nullptr, "Windows 8", 6, 2, true, "C:\\Windows", "C:\\Windows\\system32", "C:\\Users"},
    {"8.1", nullptr, "Windows 8.1", 6, 3, true, "C:\\Windows", "C:\\Windows\\system32",
     "C:\\Users"},
    {"10", "11", "Windows 10 or 11", 10, 0, true, "C:\\Windows", "C:\\Windows\\system32",
     "C:\\Users"},
};

}  // namespace

const char kDefaultWindowsVersion[] = "xp";

const WindowsVersion* WindowsVersions(size_t* count) {
    *count = sizeof(kVersions) / sizeof(kVersions[0]);
    return kVersions;
}

const WindowsVersion* FindWindowsVersion(const char* option) {
    for (const WindowsVersion& version : kVersions) {
        char numbers[24];
        (void)snprintf(numbers, sizeof(numbers), "%u.%u", version.major, version.minor);
        if (strcasecmp(version.option, option) == 0 || strcasecmp(numbers, option) == 0 ||
            (version.otherOption != nullptr && strcasecmp(version.otherOption, option) == 0)) {
            return &version;
        }
    }
    return nullptr;
}

bool CallsCoInstallers(const WindowsVersion& version) {
    return version.nt && version.major >= 5;
}

bool IsVistaOrLater(const WindowsVersion& version) {
    return version.major >= 6;
}

bool IsWin2000OrXP(const WindowsVersion& version) {
    return version.nt && version.major == 5 && version.minor <= 1;
}

}  // namespace zk::inicheck
