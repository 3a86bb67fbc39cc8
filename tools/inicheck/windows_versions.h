// The Windows versions the checker predicts for: what GetVersionExA reports to
// the co-installer on each, and the folders of a default installation.
// Windows-free.
#pragma once

#include <cstddef>

namespace zk::inicheck {

struct WindowsVersion {
    const char* option;       // as given after --windows
    const char* otherOption;  // a second name of the same version, or nullptr
    const char* label;
    unsigned major;
    unsigned minor;
    bool nt;  // VER_PLATFORM_WIN32_NT
    const char* windowsDirectory;
    const char* systemDirectory;
    const char* profiles;  // the folder of user profiles
};

// Every version, oldest first.
const WindowsVersion* WindowsVersions(size_t* count);

// By option name ("xp", "10", "11") or by the numbers Windows reports ("5.1",
// "10.0"), without regard to case; nullptr for a version not known.
const WindowsVersion* FindWindowsVersion(const char* option);
extern const char kDefaultWindowsVersion[];

// Whether the device installer calls co-installers at all: Windows 2000 and
// later. Windows 98 and NT 4.0 run only SetupEntryPoint through rundll32.
bool CallsCoInstallers(const WindowsVersion& version);
bool IsVistaOrLater(const WindowsVersion& version);
// The two versions on which a missing section of an Image-class device is an error.
bool IsWin2000OrXP(const WindowsVersion& version);

}  // namespace zk::inicheck
