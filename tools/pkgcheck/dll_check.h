// The DLLs a .CoInstallers section copies, read from the package: processor,
// exports and version.
#pragma once

#include <string>
#include <vector>

#include "package_checker.h"
#include "source_files_check.h"

namespace zk::pkgcheck {

// Whether the copied file is a DLL that exports ZkCoInstaller: zkcoinst.dll
// under whatever name the package gives it.
bool ExportsCoInstallerEntry(const CopyEntry& entry);

// A DLL the .CoInstallers section copies: its machine, and for zkcoinst.dll
// (under one of coInstallerNames) its entries; the version of each.
void CheckDll(Checker* checker, const ArchitectureInfo& info, const CopyEntry& entry,
              const std::vector<std::string>& coInstallerNames, Verdict* verdict, int depth);

}  // namespace zk::pkgcheck
