#include "check_options.h"

#include <cstring>
#include <strings.h>

namespace zk::inicheck {

const char kCheckUsage[] =
    "usage: zkinicheck [--section NAME] [--windows VERSION] [--windows-dir DIR]\n"
    "                  [--system-dir DIR] [--hwid ID] [FILE.ini] [[--registered] FILE.reg]\n"
    "Prints what the co-installer does with the setup sections of FILE.ini (a\n"
    "zkcoinst.ini) and with the companion programs of FILE.reg (a regedit export of\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller), and warns where it skips\n"
    "something or does what the author likely did not mean.\n"
    "  --section NAME  check only this section (default: every setup-action section)\n"
    "  --windows VERSION  98, nt4, 2000, xp (the default), 2003, vista, 7, 8, 8.1, 10,\n"
    "                  11, or the numbers Windows reports (5.1, 6.3, 10.0)\n"
    "  --windows-dir DIR, --system-dir DIR  the machine's directories\n"
    "  --hwid ID       tell which companion programs apply to the device with this\n"
    "                  first hardware ID\n"
    "  --help, -h      this text\n"
    "Exit status: 0 no warning, 1 warnings, 2 usage or read error.\n";

namespace {

bool EndsWithReg(const char* name) {
    size_t length = strlen(name);
    return length >= 4 && strcasecmp(name + length - 4, ".reg") == 0;
}

}  // namespace

bool ParseCheckArguments(int argc, const char* const* argv, CheckOptions* options,
                         std::string* error) {
    *options = CheckOptions();
    options->version = FindWindowsVersion(kDefaultWindowsVersion);
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool takesValue = argument == "--section" || argument == "--windows" ||
                          argument == "--windows-dir" || argument == "--system-dir" ||
                          argument == "--hwid" || argument == "--registered";
        if (takesValue && i + 1 >= argc) {
            *error = argument + " needs a value";
            return false;
        }
        if (argument == "--help" || argument == "-h") {
            options->help = true;
            return true;
        }
        if (argument == "--section") {
            options->section = argv[++i];
        } else if (argument == "--windows") {
            options->version = FindWindowsVersion(argv[++i]);
            if (options->version == nullptr) {
                *error = std::string("unknown Windows version ") + argv[i];
                return false;
            }
        } else if (argument == "--windows-dir") {
            options->windowsDirectory = argv[++i];
        } else if (argument == "--system-dir") {
            options->systemDirectory = argv[++i];
        } else if (argument == "--hwid") {
            options->hardwareId = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "--registered") {
            *error = "unknown option " + argument;
            return false;
        } else {
            bool registered = argument == "--registered";
            const char* name = registered ? argv[++i] : argv[i];
            const char** slot =
                registered || EndsWithReg(name) ? &options->registeredFile : &options->fileName;
            if (*slot != nullptr) {
                *error = std::string("more than one ") +
                         (slot == &options->fileName ? "INI file" : "registry file");
                return false;
            }
            *slot = name;
        }
    }
    if (options->fileName == nullptr && options->registeredFile == nullptr) {
        *error = "no file";
        return false;
    }
    if (options->section != nullptr && options->fileName == nullptr) {
        *error = "--section needs an INI file";
        return false;
    }
    return true;
}

Directories ResolveDirectories(const CheckOptions& options) {
    const WindowsVersion& version = *options.version;
    Directories directories;
    directories.windows =
        options.windowsDirectory != nullptr ? options.windowsDirectory : version.windowsDirectory;
    // A given Windows directory has its system directory in SYSTEM on
    // Windows 98, in system32 on the NT family.
    if (options.systemDirectory != nullptr) {
        directories.system = options.systemDirectory;
    } else if (options.windowsDirectory != nullptr) {
        directories.system = directories.windows + (version.nt ? "\\system32" : "\\SYSTEM");
    } else {
        directories.system = version.systemDirectory;
    }
    return directories;
}

}  // namespace zk::inicheck
