// The maker's web-update program, Kestr32.exe under Common Files, and the
// decision whether an installation on Vista and later is finished through a
// finish-install action. Switched in zkcoinst.ini per class, install section
// and Windows version. Everything here logs and never fails the installation.
#pragma once

#include <windows.h>
#include <setupapi.h>

struct DeviceContext;

// The device classes the package knows. className is both the key looked up
// in zkcoinst.ini and the web-update program's "-f" argument.
struct KestrClass {
    const char* className;
    GUID classGuid;
};
constexpr int kKestrClassCount = 2;
extern const KestrClass KestrClassTable[kKestrClassCount];  // 0 "Audio" (Media), 1 "Video" (Image)

// The KestrClassTable row of the device's setup class; -1 for any other class
// or when there is no device data.
int GetDeviceClassIndex(const SP_DEVINFO_DATA* deviceInfoData);

// Whether "NoFNW" reads as 1 in the zkcoinst.ini section named after the
// selected driver's install section.
int IsNoFNWSet(DeviceContext* context, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);

// Whether the web-update switch is on for the device's class (it starts nothing).
int LaunchKestrForDeviceClass(DeviceContext* context, HDEVINFO deviceInfoSet,
                              PSP_DEVINFO_DATA deviceInfoData);

// Whether the installation is to be finished through a finish-install action:
// never before Vista; then when the web-update switch is on, or else unless
// "NoFNW" is set.
int WantsFinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData);

// Starts the web-update program with the device's identity; non-zero when the
// process was created. Only for devices of a KestrClassTable class.
int LaunchKestr(DeviceContext* context, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
