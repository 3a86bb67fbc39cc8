#include "setupactions/setup_interpreter.h"

#include <cstring>

#include "common/bounded_text.h"
#include "core/device_classes.h"
#include "core/install_log.h"
#include "core/driver_records.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"
#include "driverstack/storage_filter.h"
#include "driverstack/usb_monitor_filter.h"
#include "setupactions/component_registration.h"
#include "setupactions/hid_registry_actions.h"
#include "setupactions/setup_line.h"

namespace {

const char kIniName[] = "zkcoinst.ini";

const DWORD kSectionCapacity = zk::kSectionReadCapacity;
const DWORD kCheckCapacity = zk::kSectionCheckCapacity;

// Registers "<directory>\<argument>", refusing a path that does not fit.
void RegisterInDirectory(DeviceContext* context, const char* directory, const char* argument) {
    char path[zk::kSetupTextCapacity];
    if (!zk::JoinSetupPath(path, sizeof(path), directory, argument)) {
        LogMessage(context, "ERROR: The path %s\\%s is too long; not registered.\n", directory,
                   argument);
        return;
    }
    RegisterFile(context, path);
}

// Logs the warning for a registry line that names no key.
bool RegistryLineNamesKey(DeviceContext* context, const char* action, const char* argument) {
    if (zk::NamesRegistryKey(argument)) {
        return true;
    }
    LogMessage(context, "WARNING: %s: %s names no key; line ignored.\n", action, argument);
    return false;
}

struct SectionRun {
    DeviceContext* context;
    const char* systemDirectory;
    const char* windowsDirectory;
    bool installBandwidthMonitor;
};

void RunSetupLine(SectionRun* run, const char* line) {
    DeviceContext* context = run->context;
    zk::SetupAction action = zk::ParseSetupLine(line);
    const char* argument = action.argument;
    switch (action.kind) {
        case zk::SetupActionKind::RegisterFile:
            RegisterFile(context, argument);
            break;
        case zk::SetupActionKind::RegisterInWindowsDirectory:
            RegisterInDirectory(context, run->windowsDirectory, argument);
            break;
        case zk::SetupActionKind::RegisterInSystemDirectory:
            RegisterInDirectory(context, run->systemDirectory, argument);
            break;
        case zk::SetupActionKind::DisableAutoPlay:
            LogMessage(context,
                       "DisableAutoPlay: Not Supported in the Current Version of VORIVEZ \n");
            break;
        case zk::SetupActionKind::DisableUnsafeDialog:
            LogMessage(context,
                       "DisableUnsafeDialog: Going to Set Registry settings to disable unsafe "
                       "dialog removal\n");
            // Only Windows 2000 shows the dialog that the storage filter hides.
            if (IsWin2000()) {
                InstallStorageClassFilter(context);
            }
            break;
        case zk::SetupActionKind::DeleteRegistryValue:
            LogMessage(context, "DeleteRegKeyHKLM: %s \n", argument);
            if (RegistryLineNamesKey(context, "DeleteRegKeyHKLM", argument)) {
                DeleteRegKeyHKLM(argument);
            }
            break;
        case zk::SetupActionKind::CopyHidUsbDriver:
            LogMessage(context, "Calling CopyHIDUSBDriver()...\n");
            CopyHIDUSBDriver(context);
            break;
        case zk::SetupActionKind::CreateRegistryValue:
            LogMessage(context, "CreateRegKeyHKLM: %s \n", argument);
            if (RegistryLineNamesKey(context, "CreateRegKeyHKLM", argument)) {
                CreateRegKeyHKLM(argument);
            }
            break;
        case zk::SetupActionKind::DeclineBandwidthMonitor:
            LogMessage(context, "Install Module check. %s\n", argument);
            run->installBandwidthMonitor = false;
            LogMessage(context, "Will not Install ROVudevid.\n");
            break;
        case zk::SetupActionKind::UnknownModule:
            LogMessage(context, "Install Module check. %s\n", argument);
            LogMessage(context, "Unknow ModuleName:%s \n", argument);
            break;
        case zk::SetupActionKind::Nothing:
            break;
    }
}

// A section as read: its first characters in the fixed buffer, and, when the
// buffer was full, a second read into a larger one that tells whether the
// platform cut the last line where the buffer ended and what lies beyond.
struct SectionRead {
    DWORD count;
    TrackedBuffer longer;
    DWORD longerCount;
    size_t whole;  // how many of the count characters hold whole lines
};

// A cut line would register another file or touch another registry value, so
// it is left out; the lines after the read are never seen by the run.
void JudgeSectionRead(const char* sectionName, const char* iniPath, const char* section,
                      SectionRead* read) {
    read->longerCount = 0;
    read->whole = read->count;
    if (!zk::SectionReadMayBeCut(read->count, kSectionCapacity)) {
        return;
    }
    read->longer = TrackedBuffer(kCheckCapacity);
    if (read->longer) {
        read->longerCount =
            GetPrivateProfileSectionA(sectionName, read->longer.Chars(), kCheckCapacity, iniPath);
        if (read->longerCount > kCheckCapacity) {
            read->longerCount = kCheckCapacity;
        }
    }
    read->whole =
        zk::WholeSectionLines(section, read->count, read->longer.Chars(), read->longerCount);
}

}  // namespace

bool RunDriverSetupSection(DeviceContext* context, HDEVINFO deviceInfoSet,
                           PSP_DEVINFO_DATA deviceInfoData) {
    DriverRecords local;
    const SP_DRVINFO_DETAIL_DATA_A* detail =
        GetSelectedDriverDetail(context, deviceInfoSet, deviceInfoData, &local);
    if (detail == nullptr) {
        return false;
    }
    return RunSetupSection(context, deviceInfoData, detail->SectionName);
}

bool RunSetupSection(DeviceContext* context, PSP_DEVINFO_DATA deviceInfoData,
                     const char* sectionName) {
    if (sectionName == nullptr) {
        sectionName = "";
    }
    SectionRun run = {context, nullptr, nullptr, true};
    bool failed = false;

    char systemDirectory[MAX_PATH];
    char windowsDirectory[MAX_PATH];
    UINT systemLength = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    UINT windowsLength = systemLength == 0 || systemLength >= sizeof(systemDirectory)
                             ? 0
                             : GetWindowsDirectoryA(windowsDirectory, sizeof(windowsDirectory));
    char iniPath[MAX_PATH];
    if (windowsLength == 0 || windowsLength >= sizeof(windowsDirectory)) {
        failed = true;
        LogMessage(context, "ERROR: GetWindowsDirectory() failed !\n");
    } else {
        LogMessage(context, "Windows system directory: %s\n", systemDirectory);
        LogMessage(context, "Windows directory: %s\n", windowsDirectory);
        if (!zk::JoinSetupPath(iniPath, sizeof(iniPath), systemDirectory, kIniName)) {
            failed = true;
            LogMessage(context, "ERROR: The path of %s is too long.\n", kIniName);
        }
    }

    if (!failed) {
        LogMessage(context, "INI file to use: %s\n", iniPath);
        LogMessage(context, "Section to register: %s\n", sectionName);
        run.systemDirectory = systemDirectory;
        run.windowsDirectory = windowsDirectory;

        char section[kSectionCapacity];
        DWORD count = GetPrivateProfileSectionA(sectionName, section, kSectionCapacity, iniPath);
        if (count == 0) {
            // Only an Image-class device's missing section fails the run.
            if ((IsWin2000() || IsWinXP()) &&
                GetDeviceClassIndex(deviceInfoData) == kVideoClassRow) {
                failed = true;
                LogMessage(context, "ERROR: Section %s not found !\n", sectionName);
            } else {
                LogMessage(context, "Section %s doesn't exist in INI file.\n", sectionName);
            }
        } else {
            // Never walk past the buffer, whatever count the platform gave.
            if (count > kSectionCapacity) {
                count = kSectionCapacity;
            }
            SectionRead read;
            read.count = count;
            JudgeSectionRead(sectionName, iniPath, section, &read);
            size_t whole = read.whole;
            size_t position = 0;
            const char* next = nullptr;
            size_t length = 0;
            while (zk::NextSectionLine(section, whole, &position, &next, &length)) {
                char line[zk::kSetupTextCapacity];
                if (length >= sizeof(line)) {
                    LogMessage(context, "ERROR: Line longer than %u characters; not run: %.*s\n",
                               static_cast<unsigned>(sizeof(line) - 1), static_cast<int>(length),
                               next);
                    continue;
                }
                memcpy(line, next, length);
                line[length] = '\0';
                RunSetupLine(&run, line);
            }
            if (zk::FirstLineNotRun(section, count, whole, read.longer.Chars(), read.longerCount,
                                    &next, &length)) {
                // Reported where the lines would have run, whether the read
                // cut the first of them or ended just in front of it.
                LogMessage(context,
                           "WARNING: Section %s is longer than %u characters; its lines from this "
                           "one on are not run: %.*s\n",
                           sectionName, static_cast<unsigned>(kSectionCapacity),
                           static_cast<int>(length), next);
            }
            if (!run.installBandwidthMonitor) {
                return !failed;
            }
        }
    }

    LogMessage(context, "Install bandwidth monitor.\n");
    RegisterROVudevidNT(context);
    return !failed;
}
