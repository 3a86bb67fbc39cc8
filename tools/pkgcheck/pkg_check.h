// The driver-package checker: whether the device installer will register and
// call zkcoinst.dll when it installs a device from the package, for each
// models section of the INF that a Windows reads. It follows the INF as the
// device installer does (models decoration, install-section decoration,
// .CoInstallers, AddReg, CopyFiles, DestinationDirs, SourceDisksFiles and
// SourceDisksNames with their platform decorations), reads each DLL it leads
// to, and hands zkcoinst.ini to zkinicheck's checks. Windows-free: the INF
// comes in read (by the project's reader or by SetupAPI).
#pragma once

#include <string>

#include "inf_reader.h"

namespace zk::pkgcheck {

enum class Architecture { X86, Amd64 };

struct PackageOptions {
    const char* path = nullptr;  // the package folder or its INF
    bool allArchitectures = true;
    Architecture architecture = Architecture::X86;  // when !allArchitectures
    bool signedPackage = false;                     // --signed: the catalog must be in the folder
    bool help = false;
};

// Parses the command line (argv[0] is the program). False with *error set on
// a usage error; --help (-h) is none.
bool ParsePackageArguments(int argc, const char* const* argv, PackageOptions* options,
                           std::string* error);

inline constexpr char kPackageUsage[] =
    "usage: zkpkgcheck PACKAGE_DIR_OR_INF [--arch x86|amd64] [--signed]\n"
    "Checks that the device installer will register and call zkcoinst.dll when it\n"
    "installs a device from the package: for each models section of the INF, the\n"
    "install section it picks, its .CoInstallers section, CoInstallers32, the copies\n"
    "to the system folder, their sources in the package, the DLLs found there and\n"
    "zkcoinst.ini (through zkinicheck's checks), and the [Version] section (class,\n"
    "DriverVer, catalog). --arch checks one processor only; --signed also requires\n"
    "the catalog, which signing makes, in the package folder.\n"
    "Exit status: 0 the co-installer will run from every models section checked,\n"
    "1 warnings, 2 usage error or an INF that cannot be read.\n";

struct Package {
    std::string folder;   // where the INF's source paths start
    std::string infPath;  // the INF to read
};

// The package that path names: a folder holding one INF, or an INF file.
bool LocatePackage(const char* path, Package* package, std::string* error);

struct PackageReport {
    std::string text;  // what to print, every line ending in "\n"
    int warnings = 0;
    int decorations = 0;  // models sections judged
    int sound = 0;        // of them, those where the co-installer will run
};

PackageReport CheckPackage(const InfFile& inf, const Package& package,
                           const PackageOptions& options);

// The install section a model line names, decorated as the device installer
// picks it for architecture: "<name>.NTx86" or "<name>.NTamd64", then
// "<name>.NT", then "<name>", the first that the INF has. Empty when none.
std::string ResolveInstallSection(const InfFile& inf, const std::string& name,
                                  Architecture architecture);

}  // namespace zk::pkgcheck
