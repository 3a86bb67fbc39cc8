// The zkcoinst.ini checker: what the co-installer will do with a section of
// its control file on a given Windows version, and what it will skip or do
// unexpectedly. It judges each line with the co-installer's own line grammar
// (setupactions/setup_line.h, launch/web_update_core.h). Windows-free.
#pragma once

#include <string>

#include "profile_reader.h"

namespace zk::inicheck {

// A Windows version as the co-installer sees it: what GetVersionExA reports,
// and the directories a default installation has (placeholders the engineer
// may override, since paths count against the 259-character limits).
struct WindowsVersion {
    const char* option;  // as given after --windows
    const char* label;
    unsigned major;
    unsigned minor;
    bool nt;  // VER_PLATFORM_WIN32_NT
    const char* windowsDirectory;
    const char* systemDirectory;
};

// nullptr for a name that is not known.
const WindowsVersion* FindWindowsVersion(const char* option);
extern const char kDefaultWindowsVersion[];

struct CheckOptions {
    const char* fileName = nullptr;  // only printed
    const char* section = nullptr;   // nullptr: every setup section of the file
    const WindowsVersion* version = nullptr;
    const char* windowsDirectory = nullptr;  // nullptr: the version's default
    const char* systemDirectory = nullptr;
};

// Parses the command line (argv[0] is the program). False with *error set on
// a usage error.
bool ParseCheckArguments(int argc, const char* const* argv, CheckOptions* options,
                         std::string* error);

extern const char kCheckUsage[];

struct CheckReport {
    std::string text;  // what to print, every line ending in "\n"
    int warnings = 0;
};

// Sections that name a switch of the web-update program rather than setup
// actions ("<section>.KESTR...", "KESTR.DevType...").
bool IsSwitchSectionName(const std::string& name);

CheckReport CheckProfile(const ProfileFile& file, const CheckOptions& options);

}  // namespace zk::inicheck
