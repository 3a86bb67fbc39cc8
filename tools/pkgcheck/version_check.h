// The [Version] section of the package's INF: the setup class (Class= against
// ClassGuid=), DriverVer as the device installer and the co-installer read
// it, and the catalog the package is signed with.
#pragma once

#include <string>

#include "package_checker.h"

namespace zk::pkgcheck {

// The GUID of a setup class that Windows defines, by the class's name
// (without regard to case); nullptr for any other name.
const char* KnownClassGuid(const std::string& className);

// What is wrong with a DriverVer value (the line's fields joined by ","), in
// a sentence; empty when it is a date mm/dd/yyyy and a version of four numbers
// up to 65535.
std::string DriverVerProblem(const std::string& text);

// The [Version] block of the report: the class, DriverVer and the catalog of
// each processor the models sections serve. A catalog that is named but not
// in the package folder is "not signed yet" and warns only with --signed.
void CheckVersion(Checker* checker, bool servesX86, bool servesAmd64, bool signedPackage);

}  // namespace zk::pkgcheck
