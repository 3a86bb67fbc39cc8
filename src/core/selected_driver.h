// The driver the device installer selected for the device, and the fixed part
// of its details (the INF's install section among them).
#pragma once

#include <windows.h>
#include <setupapi.h>

struct DeviceContext;

// The selected driver into driverInfo (its size member set here).
bool GetSelectedDriver(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                       SP_DRVINFO_DATA_V2_A* driverInfo);

// The selected driver's details into one fixed record: the hardware ID list
// does not fit, but the fixed fields (SectionName, InfFileName) are filled all
// the same. Failures are logged ("ERROR: SetupDiGetSelectedDriver. ..." or
// "ERROR: SetupDiGetDriverInfoDetail") and give false.
bool GetSelectedDriverDetail(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData, SP_DRVINFO_DETAIL_DATA_A* detail);
