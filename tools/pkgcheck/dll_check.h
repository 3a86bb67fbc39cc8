// The DLLs a .CoInstallers section copies, read from the package: processor,
// exports and version.
#pragma once

#include "package_checker.h"
#include "source_files_check.h"

namespace zk::pkgcheck {

// A DLL the .CoInstallers section copies: its machine, and for zkcoinst.dll
// its entries; the version of each.
void CheckDll(Checker* checker, const ArchitectureInfo& info, const CopyEntry& entry,
              Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
