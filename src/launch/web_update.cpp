#include "launch/web_update.h"

#include <shlobj.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/selected_driver.h"
#include "core/start_process.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"
#include "launch/device_identity.h"
#include "launch/web_update_core.h"

namespace {

const int kCommonFilesCsidl = 43;  // CSIDL_PROGRAM_FILES_COMMON
const char kControlFileName[] = "zkcoinst.ini";

// "<system directory>\zkcoinst.ini"; false when the directory cannot be had or
// the name does not fit after it.
bool GetControlFilePath(zk::FixedText<MAX_PATH>* path) {
    UINT length = GetSystemDirectoryA(path->data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    return path->Append("\\") && path->Append(kControlFileName);
}

// An INI value with no default: absent keys read as empty. At most four
// characters count. Returns how many characters were read.
DWORD ReadSwitch(const char* section, const char* key, const char* iniPath, char* value) {
    return GetPrivateProfileStringA(section, key, "", value, kSwitchValueSize, iniPath);
}

}  // namespace

int IsNoFNWSet(DeviceContext* context, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    SP_DRVINFO_DETAIL_DATA_A detail;
    if (!GetSelectedDriverDetail(context, deviceInfoSet, deviceInfoData, &detail)) {
        return 0;
    }
    zk::FixedText<MAX_PATH> iniPath;
    if (!GetControlFilePath(&iniPath)) {
        return 0;
    }
    char value[kSwitchValueSize] = {};
    ReadSwitch(detail.SectionName, "NoFNW", iniPath.c_str(), value);
    return IsNoFNWValueSet(value) ? 1 : 0;
}

int LaunchKestrForDeviceClass(DeviceContext* context, HDEVINFO deviceInfoSet,
                              PSP_DEVINFO_DATA deviceInfoData) {
    int classIndex = GetDeviceClassIndex(deviceInfoData);
    if (classIndex < 0) {
        return 0;
    }
    const char* className = KestrClassTable[classIndex].className;

    SP_DRVINFO_DATA_V2_A driverInfo;
    if (!GetSelectedDriver(deviceInfoSet, deviceInfoData, &driverInfo)) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info (%d)\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    auto* driver = reinterpret_cast<PSP_DRVINFO_DATA_A>(&driverInfo);
    DWORD detailSize = 0;
    if (!SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData, driver, nullptr, 0,
                                     &detailSize)) {
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            LogMessage(context,
                       "ERROR: LaunchKestrForDeviceClass> Failed to retrieve buffer size of "
                       "driver info details (%d)\n",
                       static_cast<int>(error));
            return 0;
        }
    }
    // Never smaller than the fixed record, so cbSize and SectionName stay inside.
    uint32_t blockSize = detailSize < sizeof(SP_DRVINFO_DETAIL_DATA_A)
                             ? sizeof(SP_DRVINFO_DETAIL_DATA_A)
                             : detailSize;
    TrackedBuffer detailBlock(blockSize);
    if (!detailBlock) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to allocate driver info detail "
                   "buffer\n");
        return 0;
    }
    memset(detailBlock.Get(), 0, blockSize);
    auto* detail = detailBlock.As<SP_DRVINFO_DETAIL_DATA_A>();
    detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
    if (!SetupDiGetDriverInfoDetailA(deviceInfoSet, deviceInfoData, driver, detail, blockSize,
                                     nullptr)) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info details "
                   "(%d)\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    zk::FixedText<MAX_PATH> iniPath;
    if (!GetControlFilePath(&iniPath)) {
        return 0;
    }
    OSVERSIONINFOA versionInfo;
    memset(&versionInfo, 0, sizeof(versionInfo));
    versionInfo.dwOSVersionInfoSize = sizeof(versionInfo);
    bool haveVersion = GetVersionExA(&versionInfo) != FALSE;
    if (!haveVersion) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to retrieve OS version (%d)\n",
                   static_cast<int>(GetLastError()));
    }

    KestrSectionSearch search;
    BuildKestrSectionSearch(detail->SectionName, haveVersion, versionInfo.dwMajorVersion,
                            versionInfo.dwMinorVersion, &search);
    char value[kSwitchValueSize] = {};
    const char* selected = nullptr;
    for (int i = 0; i < search.count && selected == nullptr; ++i) {
        // A key present with an empty value counts as absent.
        if (ReadSwitch(search.names[i], className, iniPath.c_str(), value) > 0) {
            selected = search.names[i];
        }
    }
    if (selected == nullptr) {
        LogMessage(context, "ERROR: LaunchKestrForDeviceClass> Device section not found in '%s'.\n",
                   iniPath.c_str());
        return 0;
    }
    LogMessage(context, "LaunchKestrForDeviceClass> Device section: %s, selected section: %s\n",
               detail->SectionName, selected);
    bool on = IsSwitchValueOn(value);
    LogMessage(context, "LaunchKestrForDeviceClass> %s is %s (%s)\n", className, on ? "on" : "off",
               value);
    return on ? 1 : 0;
}

int WantsFinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData) {
    if (!IsVistaOrLater()) {
        return 0;
    }
    if (LaunchKestrForDeviceClass(context, deviceInfoSet, deviceInfoData)) {
        return 1;
    }
    return IsNoFNWSet(context, deviceInfoSet, deviceInfoData) ? 0 : 1;
}

int LaunchKestr(DeviceContext* context, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    int classIndex = GetDeviceClassIndex(deviceInfoData);
    if (classIndex < 0) {
        // Callers ask LaunchKestrForDeviceClass first, which answers no for
        // such a device; there is no class name to pass.
        return 0;
    }
    SP_DEVINSTALL_PARAMS_A params;
    memset(&params, 0, sizeof(params));
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(deviceInfoSet, deviceInfoData, &params)) {
        LogMessage(context, "ERROR: KESTR> Failed to get the Device Install Parameters (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    SP_DRVINFO_DATA_V2_A driverInfo;
    if (!GetSelectedDriver(deviceInfoSet, deviceInfoData, &driverInfo)) {
        LogMessage(context, "ERROR: KESTR> Failed to get the Driver Info Parameters (%d).\n",
                   static_cast<int>(GetLastError()));
        return 0;
    }
    KestrLaunchFacts facts;
    char vid[kIdentityValueSize] = {};
    char pid[kIdentityValueSize] = {};
    char bcd[kIdentityValueSize] = {};
    if (!GetHardwareInformation(context, deviceInfoSet, deviceInfoData, &driverInfo, &facts.version,
                                vid, pid, bcd)) {
        LogMessage(context, "ERROR: KESTR> Failed to retrieve hardware information.\n");
        return 0;
    }
    char commonFiles[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, commonFiles, kCommonFilesCsidl, FALSE)) {
        LogMessage(context, "ERROR: KESTR> Failed to open the 'Common Files' directory.\n");
        return 0;
    }
    facts.commonFiles = commonFiles;
    facts.vid = vid;
    facts.pid = pid;
    facts.bcd = bcd;
    facts.className = KestrClassTable[classIndex].className;
    facts.manufacturer = driverInfo.MfgName;
    facts.needReboot = (params.Flags & DI_NEEDREBOOT) != 0;

    char commandLine[kKestrCommandLineCapacity];
    if (!FormatKestrCommandLine(commandLine, sizeof(commandLine), facts)) {
        // A cut command line would start the program with wrong arguments;
        // report it as a start that failed, with the whole line it would have had.
        const DriverVersion& v = facts.version;
        LogMessage(context, "ERROR: KESTR> Failed to start %s (0x%08x).\n", kKestrProgramName,
                   static_cast<unsigned>(ERROR_INSUFFICIENT_BUFFER));
        LogMessage(context, "KESTR> Command Line: '" ZK_KESTR_COMMAND_LINE "'\n", commonFiles,
                   kKestrProgramName, vid, pid, bcd, facts.className, static_cast<int>(v.parts[0]),
                   static_cast<int>(v.parts[1]), static_cast<int>(v.parts[2]),
                   static_cast<int>(v.parts[3]), facts.manufacturer,
                   facts.needReboot ? " -reboot" : "");
        return 0;
    }
    if (!StartWithoutWaiting(commandLine)) {
        DWORD error = GetLastError();
        LogMessage(context, "ERROR: KESTR> Failed to start %s (0x%08x).\n", kKestrProgramName,
                   static_cast<unsigned>(error));
        LogMessage(context, "KESTR> Command Line: '%s'\n", commandLine);
        return 0;
    }
    LogMessage(context, "KESTR> Successfully launched %s.\n", kKestrProgramName);
    return 1;
}
