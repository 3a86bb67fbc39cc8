// The checker's command line, and the package folder and INF it names.
#include <strings.h>

#include "package_files.h"
#include "pkg_check.h"

namespace zk::pkgcheck {

bool ParsePackageArguments(int argc, const char* const* argv, PackageOptions* options,
                           std::string* error) {
    *options = PackageOptions();
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--arch") {
            if (i + 1 >= argc) {
                *error = "--arch needs a value";
                return false;
            }
            std::string value = argv[++i];
            if (strcasecmp(value.c_str(), "x86") == 0) {
                options->architecture = Architecture::X86;
            } else if (strcasecmp(value.c_str(), "amd64") == 0) {
                options->architecture = Architecture::Amd64;
            } else {
                *error = "unknown architecture " + value + " (x86 or amd64)";
                return false;
            }
            options->allArchitectures = false;
        } else if (argument == "--signed") {
            options->signedPackage = true;
        } else if (argument == "--help" || argument == "-h") {
            options->help = true;
            return true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            *error = "unknown option " + argument;
            return false;
        } else if (options->path != nullptr) {
            *error = "more than one package";
            return false;
        } else {
            options->path = argv[i];
        }
    }
    if (options->path == nullptr) {
        *error = "no package";
        return false;
    }
    return true;
}

bool LocatePackage(const char* path, Package* package, std::string* error) {
    std::string given = path;
    if (IsDirectory(given)) {
        std::string name;
        if (!FindInfInFolder(given, &name, error)) {
            return false;
        }
        package->folder = given;
        // Joined in the path's own style, as the report shows it.
        bool backslashes =
            given.find('\\') != std::string::npos && given.find('/') == std::string::npos;
        char last = given.empty() ? '/' : given.back();
        package->infPath =
            last == '/' || last == '\\' ? given + name : given + (backslashes ? "\\" : "/") + name;
        return true;
    }
    size_t slash = given.find_last_of("/\\");
    package->folder = slash == std::string::npos ? std::string(".")
                      : slash == 0               ? given.substr(0, 1)
                                                 : given.substr(0, slash);
    package->infPath = given;
    return true;
}

}  // namespace zk::pkgcheck
