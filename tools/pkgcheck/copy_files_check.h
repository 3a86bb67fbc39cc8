// The CopyFiles lines of a .CoInstallers section: each file list, where it
// goes and where each of its files comes from.
#pragma once

#include <string>
#include <vector>

#include "package_checker.h"
#include "source_files_check.h"

namespace zk::pkgcheck {

struct CopyResult {
    bool sawCopyFiles = false;
    std::vector<CopyEntry> entries;
};

// One CopyFiles line of the .CoInstallers section; the copies of zkcoinst.dll
// (under one of coInstallerNames) and of zkcoinst.ini must reach the system
// folder.
void CheckCopyFiles(Checker* checker, const ArchitectureInfo& info, const InfLine& directive,
                    const std::vector<std::string>& coInstallerNames, CopyResult* result,
                    Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
