// The CopyFiles lines of a .CoInstallers section: each file list, where it
// goes and where each of its files comes from.
#pragma once

#include <vector>

#include "package_checker.h"
#include "source_files_check.h"

namespace zk::pkgcheck {

struct CopyResult {
    bool sawCopyFiles = false;
    std::vector<CopyEntry> entries;
};

// One CopyFiles line of the .CoInstallers section.
void CheckCopyFiles(Checker* checker, const ArchitectureInfo& info, const InfLine& directive,
                    CopyResult* result, Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
