#include "launch/device_identity.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/driver_records.h"
#include "core/install_log.h"
#include "core/registry_text.h"
#include "core/tracked_alloc.h"

int GetInfDriverVersion(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData, PSP_DRVINFO_DATA_V2_A driverInfo,
                        DriverVersion* version) {
    DriverRecords local;
    DriverRecords* records =
        DriverRecordsForDriver(context, deviceInfoSet, deviceInfoData, driverInfo, &local);
    DetailStep failedAt = DetailStep::kNone;
    DWORD error = 0;
    const SP_DRVINFO_DETAIL_DATA_A* detail = ReadDriverDetail(records, &failedAt, &error);
    switch (failedAt) {
        case DetailStep::kNone:
            break;
        case DetailStep::kFirstRead:
            LogMessage(context,
                       "ERROR: KESTR> Failed to retieve buffer size of driver info (%d).\n",
                       static_cast<int>(error));
            return 0;
        case DetailStep::kAllocate:
            LogMessage(context, "ERROR: KESTR> Failed to allocate buffer for driver info.\n");
            return 0;
        case DetailStep::kWholeRead:
            LogMessage(context, "ERROR: KESTR> Failed to retieve driver info (%d).\n",
                       static_cast<int>(error));
            return 0;
    }
    zk::UniqueInf inf(SetupOpenInfFileA(detail->InfFileName, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) {
        LogMessage(context, "ERROR: KESTR> Failed open '%s' INF file (%d).\n", detail->InfFileName,
                   static_cast<int>(GetLastError()));
        return 0;
    }

    DWORD textSize = 0;
    if (!SetupGetLineTextA(nullptr, inf.Get(), "version", "DriverVer", nullptr, 0, &textSize)) {
        LogMessage(context, "ERROR: KESTR> Failed to get version info size from INF (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    // One byte more than asked for, kept zero, so the text is terminated
    // whatever SetupAPI wrote.
    TrackedBuffer text(textSize + 1);
    if (!text) {
        LogMessage(context, "ERROR: KESTR> Failed to allocate version info buffer.\n");
        return 0;
    }
    memset(text.Get(), 0, textSize + 1);
    if (!SetupGetLineTextA(nullptr, inf.Get(), "version", "DriverVer", text.Chars(), textSize,
                           nullptr)) {
        LogMessage(context, "ERROR: KESTR> Failed to retrieve version info from INF (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    const char* versionText = nullptr;
    switch (ParseDriverVerText(text.Chars(), version, &versionText)) {
        case DriverVerParse::kOk:
            return 1;
        case DriverVerParse::kNoVersion:
            return 0;
        case DriverVerParse::kMalformed:
            LogMessage(context, "ERROR: KESTR> Failed to retrieve version (%s).\n", versionText);
            return 0;
    }
    return 0;
}

int GetHardwareInformation(DeviceContext* context, HDEVINFO deviceInfoSet,
                           PSP_DEVINFO_DATA deviceInfoData, PSP_DRVINFO_DATA_V2_A driverInfo,
                           DriverVersion* version, char* vid, char* pid, char* bcd) {
    if (!GetInfDriverVersion(context, deviceInfoSet, deviceInfoData, driverInfo, version)) {
        LogMessage(context, "ERROR: KESTR> Failed to get INF version.\n");
        return 0;
    }
    // Two zero bytes beyond the property keep even a list stored without its
    // terminators readable as strings.
    TrackedBuffer ids;
    SizedRead read =
        ReadSizedTextProperty(deviceInfoSet, deviceInfoData, SPDRP_HARDWAREID, 2, &ids);
    switch (read.failedAt) {
        case SizedReadStep::kDone:
            break;
        case SizedReadStep::kSize:
            LogMessage(context,
                       "ERROR: KESTR> Failed to retrieve size of hardware ID buffer (%d).\n",
                       static_cast<int>(read.error));
            return 0;
        case SizedReadStep::kAllocate:
            LogMessage(context, "ERROR: KESTR> Failed to allocate hardware ID buffer.\n");
            return 0;
        case SizedReadStep::kRead:
            LogMessage(context,
                       "ERROR: KESTR> Failed to retrieve hardware ID device property (%d).\n",
                       static_cast<int>(read.error));
            return 0;
    }
    CharLowerA(ids.Chars());
    unsigned missing = ExtractUsbIdentity(ids.Chars(), vid, pid, bcd);
    if (missing & kMissingVid) {
        LogMessage(context, "ERROR: KESTR> Failed to get VID.\n");
    }
    if (missing & kMissingPid) {
        LogMessage(context, "ERROR: KESTR> Failed to get PID.\n");
    }
    if (missing & kMissingBcd) {
        LogMessage(context, "ERROR: KESTR> Failed to get BCD.\n");
    }
    return missing == 0 ? 1 : 0;
}
