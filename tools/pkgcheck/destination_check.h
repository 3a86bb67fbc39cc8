// Where a file list goes ([DestinationDirs]), and whether zkcoinst.dll and
// zkcoinst.ini reach the system folder there.
#pragma once

#include <string>

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

std::string DescribeDestination(const Destination& destination);

// Judges a copy of zkcoinst.dll or zkcoinst.ini: both must reach the system
// folder, the DLL because the device installer loads it by its bare name and
// the INI because the co-installer reads it beside itself.
void JudgeCopyDestination(Checker* checker, const Destination& destination, const CopyEntry& entry,
                          Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
