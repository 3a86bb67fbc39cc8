// zkcoinst.ini of the package, through zkinicheck's checks.
#pragma once

#include <string>

#include "copy_files_check.h"
#include "package_checker.h"

namespace zk::pkgcheck {

// zkcoinst.ini through zkinicheck, for the section the co-installer runs:
// the install section as the model line names it.
void CheckControlFile(Checker* checker, const ArchitectureInfo& info, const CopyResult& copies,
                      const std::string& installName, int depth);

}  // namespace zk::pkgcheck
