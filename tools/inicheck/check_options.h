// The checker's command line. Windows-free.
#pragma once

#include <string>

#include "windows_versions.h"

namespace zk::inicheck {

struct CheckOptions {
    const char* fileName = nullptr;        // a zkcoinst.ini, or none
    const char* registeredFile = nullptr;  // a regedit export of the companion-program key, or none
    const char* section = nullptr;         // nullptr: every setup section of the INI
    const WindowsVersion* version = nullptr;
    const char* windowsDirectory = nullptr;  // nullptr: the version's default
    const char* systemDirectory = nullptr;
    const char* hardwareId = nullptr;  // a device's first hardware ID, for the entries
    bool help = false;
};

// Parses the command line (argv[0] is the program). A file ending in ".reg"
// is the registry export, any other the INI. False with *error set on a usage
// error; --help is no error.
bool ParseCheckArguments(int argc, const char* const* argv, CheckOptions* options,
                         std::string* error);

extern const char kCheckUsage[];

// The Windows and system directories the co-installer would get on the
// version, or those given.
struct Directories {
    std::string windows;
    std::string system;
};
Directories ResolveDirectories(const CheckOptions& options);

}  // namespace zk::inicheck
