#include "launch/device_identity.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/tracked_alloc.h"

namespace {

// The detail record is sized by SetupAPI; never smaller than its fixed part,
// so that setting cbSize and reading InfFileName stay inside the block.
uint32_t DetailBlockSize(DWORD reported) {
    return reported < sizeof(SP_DRVINFO_DETAIL_DATA_A) ? sizeof(SP_DRVINFO_DETAIL_DATA_A)
                                                       : reported;
}

}  // namespace

int GetInfDriverVersion(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData, PSP_DRVINFO_DATA_V2_A driverInfo,
                        DriverVersion* version) {
    auto* driver = reinterpret_cast<PSP_DRVINFO_DATA_A>(driverInfo);
    DWORD detailSize = 0;
    if (!SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData, driver, nullptr, 0,
                                     &detailSize)) {
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            LogMessage(context,
                       "ERROR: KESTR> Failed to retieve buffer size of driver info (%d).\n",
                       static_cast<int>(error));
            return 0;
        }
    }
    uint32_t blockSize = DetailBlockSize(detailSize);
    TrackedBuffer detailBlock(blockSize);
    if (!detailBlock) {
        LogMessage(context, "ERROR: KESTR> Failed to allocate buffer for driver info.\n");
        return 0;
    }
    memset(detailBlock.Get(), 0, blockSize);
    auto* detail = detailBlock.As<SP_DRVINFO_DETAIL_DATA_A>();
    detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
    if (!SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData, driver, detail, blockSize,
                                     nullptr)) {
        LogMessage(context, "ERROR: KESTR> Failed to retieve driver info (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    zk::UniqueInf inf(SetupOpenInfFileA(detail->InfFileName, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) {
        LogMessage(context, "ERROR: KESTR> Failed open '%s' INF file (%d).\n", detail->InfFileName,
                   static_cast<int>(GetLastError()));
        return 0;
    }
    detailBlock = TrackedBuffer();

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
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, SPDRP_HARDWAREID, nullptr,
                                      nullptr, 0, &size);
    if (size == 0) {
        LogMessage(context, "ERROR: KESTR> Failed to retrieve size of hardware ID buffer (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    // Two zero bytes beyond the property keep even a list stored without its
    // terminators readable as strings.
    TrackedBuffer ids(size + 2);
    if (!ids) {
        LogMessage(context, "ERROR: KESTR> Failed to allocate hardware ID buffer.\n");
        return 0;
    }
    memset(ids.Get(), 0, size + 2);
    if (!SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, SPDRP_HARDWAREID, nullptr,
                                           ids.Bytes(), size, nullptr)) {
        LogMessage(context, "ERROR: KESTR> Failed to retrieve hardware ID device property (%d).\n",
                   static_cast<int>(GetLastError()));
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
