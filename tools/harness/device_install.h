// A device installation as Windows' device installer performs it, for driving
// a co-installer in tests, the demo and benchmarks.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

typedef DWORD(CALLBACK* CoInstallerProc)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA,
                                         PCOINSTALLER_CONTEXT_DATA);

struct InstallOptions {
    std::string infPath;
    std::string setupClass = "Image";  // Image or Media
    std::vector<std::string> hardwareIds;
    std::string friendlyName;
    bool installFails = false;  // report a failed installation to post-processing
    int installations = 1;      // how many installations through one device information set
    bool destroy = true;        // end each installation with DIF_DESTROYPRIVATEDATA
    bool quiet = false;         // print nothing
    // An installed device to work on (its instance ID) instead of a new one:
    // a second installation, a driver update, the finish-install action of a
    // later process, or the device's removal.
    std::string deviceId;
    // What the device installer does this time, besides a whole installation.
    // Windows 8 and later leave the finish-install action to a process of its
    // own, after the installation: deferFinishInstall ends the installation
    // without it, finishInstallOnly is that later process (the action and
    // DIF_DESTROYPRIVATEDATA, over a fresh context).
    bool deferFinishInstall = false;
    bool finishInstallOnly = false;
    // Another installer of the device (the class installer, another
    // co-installer) asks for the finish-install action at
    // DIF_NEWDEVICEWIZARD_FINISHINSTALL, so the action comes whatever this
    // co-installer asked.
    bool otherInstallerRequestsFinishInstall = false;
    // DIF_REMOVE: the device is removed (SetupDiRemoveDevice is the default
    // action); no INF is needed.
    bool remove = false;
    // Held around the device installer's own actions (driver selection, the
    // installation itself) when several threads install at once: Windows'
    // device installer does those one at a time, and Wine's SetupDiInstallDevice
    // crashes when its copy of the INF to an oem*.inf fails, which two
    // installations of one INF at once can make happen. The co-installer calls
    // stay outside the lock.
    CRITICAL_SECTION* installerLock = nullptr;
};

// One co-installer call as the harness saw it.
struct CallRecord {
    DI_FUNCTION code;
    bool postProcessing;
    DWORD result;
    double seconds;  // time spent inside the co-installer
};

struct InstallReport {
    bool ok = false;
    std::string error;  // why the installation could not be set up
    std::vector<CallRecord> calls;
    bool finishInstallRequested = false;  // by the co-installer itself
    std::string deviceId;                 // the device's instance ID
};

// The class GUID of "Image" or "Media"; false for any other name.
bool SetupClassGuid(const std::string& name, GUID* guid);

// Creates and registers the device, selects the best driver from the one INF,
// and calls coInstaller for each code in the order of the device installer:
// codes before installation, DIF_INSTALLDEVICE pre-processing, the default
// action (SetupDiInstallDevice), post-processing, DIF_NEWDEVICEWIZARD_FINISHINSTALL,
// DIF_FINISHINSTALL_ACTION when an installer asked for it, and
// DIF_DESTROYPRIVATEDATA; or, as the options say, only the finish-install
// action or DIF_REMOVE of an installed device.
InstallReport InstallWithCoInstaller(const InstallOptions& options, CoInstallerProc coInstaller);

// The same device installation, but driven through SetupDiCallClassInstaller:
// Wine's device installer runs the INF's CoInstallers section at
// DIF_REGISTER_COINSTALLERS, then loads the device's co-installers
// (CoInstallers32 of its driver key) and those registered for the setup class,
// and calls them itself for each later code.
InstallReport InstallThroughSetupApi(const InstallOptions& options);

// Registers or removes "file.dll,Entry" as a co-installer of the setup class
// (HKLM\SYSTEM\CurrentControlSet\Control\CoDeviceInstallers).
bool RegisterClassCoInstaller(const std::string& setupClass, const std::string& entry);
bool UnregisterClassCoInstaller(const std::string& setupClass);

// "DIF_INSTALLDEVICE" and so on; the number for codes without a name here.
std::string DifCodeName(DI_FUNCTION code);
