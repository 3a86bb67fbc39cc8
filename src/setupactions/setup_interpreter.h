// The interpreter of zkcoinst.ini setup-action sections.
#pragma once

#include <windows.h>
#include <setupapi.h>

struct DeviceContext;

// Runs the section named after the install section of the driver selected for
// the device, then installs the bandwidth monitor unless the section declined
// it. False when the selected driver cannot be read or the section run failed.
bool RunDriverSetupSection(DeviceContext* context, HDEVINFO deviceInfoSet,
                           PSP_DEVINFO_DATA deviceInfoData);

// Runs the lines of zkcoinst.ini section sectionName in file order, then the
// bandwidth monitor installation unless a line declined it. deviceInfoData may
// be null (a run outside a device installation). False when the directories
// cannot be read, or the section is missing for an Image-class device on
// Windows 2000 or XP.
bool RunSetupSection(DeviceContext* context, PSP_DEVINFO_DATA deviceInfoData,
                     const char* sectionName);
