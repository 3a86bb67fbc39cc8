// One install section that model lines name: the section the device
// installer picks for the processor and its .CoInstallers section, with every
// rule of what that section copies and registers.
#pragma once

#include "package_checker.h"

namespace zk::pkgcheck {

// One install section that a model line of the models section names.
void CheckInstallSection(Checker* checker, Architecture architecture, const InfLine& model,
                         int models, Verdict* verdict);

}  // namespace zk::pkgcheck
