#include "core/selected_driver.h"

#include <cstring>

#include "core/install_log.h"

bool GetSelectedDriver(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                       SP_DRVINFO_DATA_V2_A* driverInfo) {
    memset(driverInfo, 0, sizeof(*driverInfo));
    driverInfo->cbSize = sizeof(*driverInfo);
    return SetupDiGetSelectedDriverA(deviceInfoSet, deviceInfoData,
                                     reinterpret_cast<PSP_DRVINFO_DATA_A>(driverInfo)) != FALSE;
}

bool GetSelectedDriverDetail(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData, SP_DRVINFO_DETAIL_DATA_A* detail) {
    SP_DRVINFO_DATA_V2_A driverInfo;
    if (!GetSelectedDriver(deviceInfoSet, deviceInfoData, &driverInfo)) {
        LogMessage(context, "ERROR: SetupDiGetSelectedDriver. 0x%08X.\n",
                   static_cast<unsigned>(GetLastError()));
        return false;
    }
    memset(detail, 0, sizeof(*detail));
    detail->cbSize = sizeof(*detail);
    if (!SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData,
                                     reinterpret_cast<PSP_DRVINFO_DATA_A>(&driverInfo), detail,
                                     sizeof(*detail), nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        LogMessage(context, "ERROR: SetupDiGetDriverInfoDetail");
        return false;
    }
    return true;
}
