#include "launch/web_update.h"

#include <shlobj.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/driver_records.h"
#include "core/install_log.h"
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
    DriverRecords local;
    const SP_DRVINFO_DETAIL_DATA_A* detail =
        GetSelectedDriverDetail(context, deviceInfoSet, deviceInfoData, &local);
    if (detail == nullptr) {
        return 0;
    }
    zk::FixedText<MAX_PATH> iniPath;
    if (!GetControlFilePath(&iniPath)) {
        return 0;
    }
    char value[kSwitchValueSize] = {};
    ReadSwitch(detail->SectionName, "NoFNW", iniPath.c_str(), value);
    return IsNoFNWValueSet(value) ? 1 : 0;
}

int LaunchKestrForDeviceClass(DeviceContext* context, HDEVINFO deviceInfoSet,
                              PSP_DEVINFO_DATA deviceInfoData) {
    int classIndex = GetDeviceClassIndex(deviceInfoData);
    if (classIndex < 0) {
        return 0;
    }
    const char* className = KestrClassTable[classIndex].className;

    DriverRecords local;
    DriverRecords* records = DriverRecordsFor(context, deviceInfoSet, deviceInfoData, &local);
    DWORD error = 0;
    if (ReadSelectedDriver(records, &error) == nullptr) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info (%d)\n",
                   static_cast<int>(error));
        return 0;
    }
    DetailStep failedAt = DetailStep::kNone;
    const SP_DRVINFO_DETAIL_DATA_A* detail = ReadDriverDetail(records, &failedAt, &error);
    switch (failedAt) {
        case DetailStep::kNone:
            break;
        case DetailStep::kFirstRead:
            LogMessage(context,
                       "ERROR: LaunchKestrForDeviceClass> Failed to retrieve buffer size of "
                       "driver info details (%d)\n",
                       static_cast<int>(error));
            return 0;
        case DetailStep::kAllocate:
            LogMessage(context,
                       "ERROR: LaunchKestrForDeviceClass> Failed to allocate driver info detail "
                       "buffer\n");
            return 0;
        case DetailStep::kWholeRead:
            LogMessage(context,
                       "ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info details "
                       "(%d)\n",
                       static_cast<int>(error));
            return 0;
    }
    zk::FixedText<MAX_PATH> iniPath;
    if (!GetControlFilePath(&iniPath)) {
        return 0;
    }
    WindowsVersion windowsVersion;
    bool haveVersion = ReadWindowsVersion(&windowsVersion);
    if (!haveVersion) {
        LogMessage(context,
                   "ERROR: LaunchKestrForDeviceClass> Failed to retrieve OS version (%d)\n",
                   static_cast<int>(GetLastError()));
    }

    KestrSectionSearch search;
    BuildKestrSectionSearch(detail->SectionName, haveVersion, windowsVersion.major,
                            windowsVersion.minor, &search);
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
    DriverRecords local;
    DriverRecords* records = DriverRecordsFor(context, deviceInfoSet, deviceInfoData, &local);
    DWORD error = 0;
    const SP_DRVINFO_DATA_V2_A* selected = ReadSelectedDriver(records, &error);
    if (selected == nullptr) {
        LogMessage(context, "ERROR: KESTR> Failed to get the Driver Info Parameters (%d).\n",
                   static_cast<int>(error));
        return 0;
    }
    SP_DRVINFO_DATA_V2_A driverInfo = *selected;
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
