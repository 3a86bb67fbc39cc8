// Where a copied file comes from: [SourceDisksFiles] and [SourceDisksNames],
// decorated for the processor first, lead to a file of the package folder.
#pragma once

#include <string>

#include "package_checker.h"

namespace zk::pkgcheck {

// A line of a file list, followed to its source in the package.
struct CopyEntry {
    const InfLine* line = nullptr;
    std::string destination;
    std::string source;
    bool located = false;
    std::string path;   // to open
    std::string shown;  // package-relative, as the folder spells it
};

// Follows one copied file to the package folder. Prints the entry.
void LocateSource(Checker* checker, const ArchitectureInfo& info, CopyEntry* entry,
                  Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
