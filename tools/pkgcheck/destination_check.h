// Where a file list goes ([DestinationDirs]), and whether zkcoinst.dll and
// zkcoinst.ini reach the system folder there, by any directory id that names
// it.
#pragma once

#include <string>
#include <vector>

#include "package_checker.h"
#include "source_files_check.h"

namespace zk::pkgcheck {

// Where a file list goes, from [DestinationDirs].
struct Destination {
    const InfLine* line = nullptr;
    bool isDefault = false;
    std::string directory;
    std::string subdirectory;
};

Destination FindDestination(const Checker& checker, const std::string& listName);

enum class SystemFolder {
    Named,         // the system folder on every machine (11, 10,system32, 12,.., 16421, ...)
    NotNamed,      // another folder
    WhereWindows,  // an absolute path or one from the system drive's root that is the
                   // system folder only where Windows is installed in that folder
};

// Whether a [DestinationDirs] entry's directory id and subdirectory name the
// system folder of the processor's Windows, as SetupAPI resolves the id (a
// number as strtol reads it, "." and ".." parts taken as the file system
// takes them). *windowsFolder gets the Windows folder a WhereWindows path
// assumes.
SystemFolder NamesSystemFolder(const std::string& directory, const std::string& subdirectory,
                               Architecture architecture, std::string* windowsFolder);

std::string DescribeDestination(const Destination& destination, Architecture architecture);

// Judges a copy of zkcoinst.dll (under one of coInstallerNames) or
// zkcoinst.ini: both must reach the system folder, the DLL because the device
// installer loads it by its bare name and the INI because the co-installer
// reads it there.
void JudgeCopyDestination(Checker* checker, const Destination& destination, const CopyEntry& entry,
                          const std::vector<std::string>& coInstallerNames,
                          Architecture architecture, Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
