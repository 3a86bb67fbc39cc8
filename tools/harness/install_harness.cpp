// install_harness: installs a test device from one INF the way Windows' device
// installer does, and drives a co-installer through it.
//
//   install_harness --inf PATH --hwid ID [--hwid ID...] [--class Image|Media]
//                   [--name FRIENDLY] [--dll PATH] [--install-fails]
//                   [--installations N] [--no-destroy]
//                   [--defer-finish-install] [--other-installer-finish-install]
//                   [--setupapi [--class-coinstaller]]
//   install_harness --device INSTANCE_ID --inf PATH [options above]
//   install_harness --device INSTANCE_ID --inf PATH --finish-install-only
//   install_harness --device INSTANCE_ID --remove
//
// By default the harness loads the co-installer DLL (--dll, default
// zkcoinst.dll) and calls its ZkCoInstaller itself, post-processing included.
// With --setupapi Wine's own SetupAPI runs every step: the INF's
// <section>.CoInstallers section copies and names the device's co-installers
// (CoInstallers32 of the driver key), and SetupAPI loads and calls them.
// --class-coinstaller also registers "zkcoinst.dll,ZkCoInstaller" as a
// co-installer of the whole setup class, for INFs without such a section.
//
// The modes of real installations: --device installs over an installed device
// (a second installation, or a driver update from a newer INF) instead of a
// new one. Windows 8 and later send the finish-install action in a process of
// its own, after the installation: --defer-finish-install leaves it out, and a
// later --finish-install-only run sends it (and DIF_DESTROYPRIVATEDATA) to a
// fresh context. --other-installer-finish-install asks for the action as the
// class installer or another co-installer may, so that it comes whatever the
// co-installer asked. --remove sends DIF_REMOVE and removes the device.
// Each run ends with the lines "finish-install action requested: yes|no"
// (asked by the co-installer) and "device: <instance ID>".
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/leading_int.h"
#include "harness/device_install.h"

namespace {

int Usage() {
    (void)fprintf(
        stderr,
        "usage: install_harness --inf PATH --hwid ID [--hwid ID...] [--class Image|Media]\n"
        "                       [--name FRIENDLY] [--dll PATH] [--install-fails]\n"
        "                       [--installations N] [--no-destroy]\n"
        "                       [--defer-finish-install] [--other-installer-finish-install]\n"
        "                       [--setupapi [--class-coinstaller]]\n"
        "       install_harness --device INSTANCE_ID --inf PATH [options above]\n"
        "       install_harness --device INSTANCE_ID --inf PATH --finish-install-only\n"
        "       install_harness --device INSTANCE_ID --remove\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    InstallOptions options;
    std::string dll = "zkcoinst.dll";
    bool throughSetupApi = false;
    bool classCoInstaller = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--inf" && hasValue) {
            options.infPath = argv[++i];
        } else if (arg == "--hwid" && hasValue) {
            options.hardwareIds.push_back(argv[++i]);
        } else if (arg == "--class" && hasValue) {
            options.setupClass = argv[++i];
        } else if (arg == "--name" && hasValue) {
            options.friendlyName = argv[++i];
        } else if (arg == "--dll" && hasValue) {
            dll = argv[++i];
        } else if (arg == "--installations" && hasValue) {
            if (!ParseWholeInt(argv[++i], &options.installations)) {
                return Usage();
            }
        } else if (arg == "--install-fails") {
            options.installFails = true;
        } else if (arg == "--no-destroy") {
            options.destroy = false;
        } else if (arg == "--device" && hasValue) {
            options.deviceId = argv[++i];
        } else if (arg == "--defer-finish-install") {
            options.deferFinishInstall = true;
        } else if (arg == "--finish-install-only") {
            options.finishInstallOnly = true;
        } else if (arg == "--other-installer-finish-install") {
            options.otherInstallerRequestsFinishInstall = true;
        } else if (arg == "--remove") {
            options.remove = true;
        } else if (arg == "--setupapi") {
            throughSetupApi = true;
        } else if (arg == "--class-coinstaller") {
            classCoInstaller = true;
        } else {
            return Usage();
        }
    }
    bool installed = !options.deviceId.empty();
    bool needsInf = !options.remove;
    bool needsIds = !installed;
    if ((options.infPath.empty() && needsInf) || (options.hardwareIds.empty() && needsIds) ||
        (classCoInstaller && !throughSetupApi) ||
        ((options.finishInstallOnly || options.remove) && (!installed || throughSetupApi)) ||
        (options.finishInstallOnly && options.remove)) {
        return Usage();
    }
    if (!options.infPath.empty()) {
        char fullInf[MAX_PATH];
        DWORD length = GetFullPathNameA(options.infPath.c_str(), MAX_PATH, fullInf, nullptr);
        if (length == 0 || length >= MAX_PATH) {
            (void)fprintf(stderr, "install_harness: bad INF path %s\n", options.infPath.c_str());
            return 1;
        }
        options.infPath = fullInf;
    }

    InstallReport report;
    if (throughSetupApi) {
        if (classCoInstaller &&
            !RegisterClassCoInstaller(options.setupClass, "zkcoinst.dll,ZkCoInstaller")) {
            (void)fprintf(stderr, "install_harness: cannot register the class co-installer\n");
            return 1;
        }
        report = InstallThroughSetupApi(options);
        if (classCoInstaller) {
            UnregisterClassCoInstaller(options.setupClass);
        }
    } else {
        HMODULE module = LoadLibraryA(dll.c_str());
        if (module == nullptr) {
            (void)fprintf(stderr, "install_harness: cannot load %s (%lu)\n", dll.c_str(),
                          GetLastError());
            return 1;
        }
        auto entry = reinterpret_cast<CoInstallerProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "ZkCoInstaller")));
        if (entry == nullptr) {
            (void)fprintf(stderr, "install_harness: %s has no ZkCoInstaller export\n", dll.c_str());
            FreeLibrary(module);
            return 1;
        }
        report = InstallWithCoInstaller(options, entry);
        FreeLibrary(module);
    }
    if (!report.ok) {
        (void)fprintf(stderr, "install_harness: %s\n", report.error.c_str());
        return 1;
    }
    printf("finish-install action requested: %s\n", report.finishInstallRequested ? "yes" : "no");
    printf("device: %s\n", report.deviceId.c_str());
    return 0;
}
