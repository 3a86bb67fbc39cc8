// The AddReg lines of a .CoInstallers section: whether, once the device
// installer has applied them all in order, CoInstallers32 in the driver key
// names zkcoinst.dll (or a renamed copy of it) with its entry.
#pragma once

#include <string>
#include <vector>

#include "package_checker.h"

namespace zk::pkgcheck {

// HKR,,CoInstallers32 as the AddReg lines applied so far leave it.
struct CoInstallersValue {
    bool present = false;
    bool list = false;                 // REG_MULTI_SZ
    std::vector<std::string> strings;  // of the list; the one string of another type
    std::vector<int> lines;            // the INF line that put each string there
};

// What one AddReg line did to the value.
enum class ValueChange {
    NotThisValue,     // another root, subkey or value
    Written,          // the value is the line's now
    Appended,         // FLG_ADDREG_APPEND: strings not listed yet added
    Deleted,          // FLG_ADDREG_DELVAL
    KeyOnly,          // FLG_ADDREG_KEYONLY: no value written
    KeptExisting,     // FLG_ADDREG_NOCLOBBER and a value there
    NoneToOverwrite,  // FLG_ADDREG_OVERWRITEONLY and no value
    NotAList,         // FLG_ADDREG_APPEND to a value that is no list
};

// Applies one line of an add-registry section as SetupAPI does (the INF's
// reg-root, subkey, value name, flags and values).
ValueChange ApplyAddRegLine(const InfLine& line, CoInstallersValue* value);

// Every AddReg line of the section in order (its AddReg lines, each
// section they name in turn): the value a new driver key ends with.
CoInstallersValue ApplyCoInstallersSection(const InfFile& inf, const InfSection& coInstallers);

struct RegistrationResult {
    bool sawAddReg = false;
    int lines = 0;       // CoInstallers32 lines
    bool right = false;  // the value the lines leave registers zkcoinst.dll,ZkCoInstaller
    bool warned = false;
    std::string firstProblem;  // of a line that does not name zkcoinst.dll
    std::string firstWhy;
    std::string lostWhy;  // a later line took the registration away
    CoInstallersValue value;
    std::string registered;  // the file name the value names for zkcoinst.dll
};

// One AddReg line of the .CoInstallers section: its CoInstallers32 lines.
// coInstallerNames are the file names under which the package copies
// zkcoinst.dll ("zkcoinst.dll" and the renamed copies known by their exports).
void CheckAddReg(Checker* checker, const InfLine& directive,
                 const std::vector<std::string>& coInstallerNames, RegistrationResult* result,
                 int depth);

}  // namespace zk::pkgcheck
