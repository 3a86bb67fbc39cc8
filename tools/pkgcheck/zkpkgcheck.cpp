// zkpkgcheck: says, for each models section of a driver package's INF,
// whether the device installer will register and call zkcoinst.dll, or what
// stops it. Each rule is in a *_check.cpp file of its own, run by
// pkg_check.cpp. The Windows build reads the INF through SetupAPI, the host
// build through the project's reader.
#include <cstdio>
#include <string>

#include "inf_reader.h"
#include "package_files.h"
#include "pkg_check.h"
#ifdef _WIN32
#include "inf_setupapi.h"
#endif

int main(int argc, char** argv) {
    zk::pkgcheck::PackageOptions options;
    zk::pkgcheck::Package package;
    std::string error;
    if (!zk::pkgcheck::ParsePackageArguments(argc, argv, &options, &error)) {
        (void)fprintf(stderr, "zkpkgcheck: %s\n%s", error.c_str(), zk::pkgcheck::kPackageUsage);
        return 2;
    }
    if (options.help) {
        return fputs(zk::pkgcheck::kPackageUsage, stdout) < 0 || fflush(stdout) != 0 ? 2 : 0;
    }
    if (!zk::pkgcheck::LocatePackage(options.path, &package, &error)) {
        (void)fprintf(stderr, "zkpkgcheck: %s\n", error.c_str());
        return 2;
    }
    zk::pkgcheck::InfFile inf;
#ifdef _WIN32
    zk::pkgcheck::InfReadResult result;
    if (!zk::pkgcheck::ReadInfThroughSetupApi(package.infPath, &inf, &result, &error)) {
        (void)fprintf(stderr, "zkpkgcheck: cannot read %s: %s\n", package.infPath.c_str(),
                      error.c_str());
        return 2;
    }
#else
    std::string bytes;
    if (!zk::pkgcheck::ReadWholeFile(package.infPath, &bytes)) {
        (void)fprintf(stderr, "zkpkgcheck: cannot read %s\n", package.infPath.c_str());
        return 2;
    }
    zk::pkgcheck::InfReadResult result = zk::pkgcheck::ReadInf(bytes, &inf);
    if (result.error != zk::pkgcheck::InfError::None) {
        std::string where = result.line > 0 ? "line " + std::to_string(result.line) + ": " : "";
        (void)fprintf(stderr, "zkpkgcheck: cannot read %s: %s%s\n", package.infPath.c_str(),
                      where.c_str(), zk::pkgcheck::InfErrorText(result.error));
        return 2;
    }
#endif
    zk::pkgcheck::PackageReport report = zk::pkgcheck::CheckPackage(inf, package, options);
    if (fputs(report.text.c_str(), stdout) < 0 || fflush(stdout) != 0) {
        return 2;  // a report that did not reach its reader checked nothing
    }
    return report.warnings > 0 ? 1 : 0;
}
