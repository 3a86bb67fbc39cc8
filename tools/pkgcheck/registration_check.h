// The AddReg lines of a .CoInstallers section: whether one writes
// CoInstallers32 so that the device installer calls zkcoinst.dll.
#pragma once

#include <string>

#include "package_checker.h"

namespace zk::pkgcheck {

struct RegistrationResult {
    bool sawAddReg = false;
    int lines = 0;       // CoInstallers32 lines
    bool right = false;  // one of them registers zkcoinst.dll,ZkCoInstaller
    bool warned = false;
    std::string firstProblem;  // of a line that does not name zkcoinst.dll
    std::string firstWhy;
};

// One AddReg line of the .CoInstallers section: its CoInstallers32 lines.
void CheckAddReg(Checker* checker, const InfLine& directive, RegistrationResult* result, int depth);

}  // namespace zk::pkgcheck
