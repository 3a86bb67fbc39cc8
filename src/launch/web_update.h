// The maker's web-update program, Kestr32.exe under Common Files, and the
// decision whether an installation on Vista and later is finished through a
// finish-install action. Switched in zkcoinst.ini per class, install section
// and Windows version. Everything here logs and never fails the installation.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "core/device_classes.h"

struct DeviceContext;

// Whether "NoFNW" reads as 1 in the zkcoinst.ini section named after the
// selected driver's install section.
int IsNoFNWSet(DeviceContext* context, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);

// Whether the web-update switch is on for the device's class (it starts nothing).
// This name and LaunchKestr's are fixed: the log's "LaunchKestrForDeviceClass>"
// lines carry them, and log readers match on them.
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
