// The device's identity and driver version for the web-update program: the
// selected driver's "DriverVer" and the VID, PID and device release (BCD) of
// the device's first hardware ID. Failures are logged with "ERROR: KESTR> ".
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "launch/device_identity_core.h"

struct DeviceContext;

// Reads the version of the "DriverVer" line in the [version] section of the
// selected driver's INF into *version. Non-zero on success.
int GetInfDriverVersion(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData, PSP_DRVINFO_DATA_V2_A driverInfo,
                        DriverVersion* version);

// GetInfDriverVersion, then the four lower-case characters after "vid_",
// "pid_" and "rev_" of the first hardware ID into vid, pid and bcd (5 bytes
// each). Non-zero on success; on failure the outputs are undefined.
int GetHardwareInformation(DeviceContext* context, HDEVINFO deviceInfoSet,
                           PSP_DEVINFO_DATA deviceInfoData, PSP_DRVINFO_DATA_V2_A driverInfo,
                           DriverVersion* version, char* vid, char* pid, char* bcd);
