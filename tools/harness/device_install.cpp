#include "harness/device_install.h"

#include <cstdio>
#include <cstring>

#include "common/bounded_text.h"
#include "common/guid_text.h"
#include "common/win_handles.h"
#include "core/dif_codes.h"

namespace {

const GUID kImageClass = {
    0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
const GUID kMediaClass = {
    0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

const char kCoInstallersKey[] = "SYSTEM\\CurrentControlSet\\Control\\CoDeviceInstallers";

// Codes the device installer sends before it installs the device.
const DI_FUNCTION kCodesBeforeInstall[] = {DIF_SELECTBESTCOMPATDRV, DIF_ALLOW_INSTALL,
                                           DIF_INSTALLDEVICEFILES, DIF_REGISTER_COINSTALLERS,
                                           DIF_INSTALLINTERFACES};

// ERROR_GEN_FAILURE as the result of the installer's own default action.
const DWORD kForcedInstallFailure = ERROR_GEN_FAILURE;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

std::string Win32Failure(const char* what) {
    char text[160];
    (void)snprintf(text, sizeof(text), "%s failed (0x%08lX)", what, GetLastError());
    return text;
}

// The device of one installation: registered, with the best driver of the
// one INF selected.
struct Device {
    zk::UniqueDevInfo set;
    SP_DEVINFO_DATA data;
};

// A new device of the options' hardware IDs, registered.
bool CreateDevice(const InstallOptions& options, const GUID& guid, CoInstallerProc coInstaller,
                  Device* device, std::string* error) {
    const char* description =
        options.friendlyName.empty() ? "Test camera" : options.friendlyName.c_str();
    if (!SetupDiCreateDeviceInfoA(device->set.Get(), options.setupClass.c_str(), &guid, description,
                                  nullptr, DICD_GENERATE_ID, &device->data)) {
        *error = Win32Failure("SetupDiCreateDeviceInfoA");
        return false;
    }
    std::string ids;
    for (const std::string& id : options.hardwareIds) {
        ids.append(id).push_back('\0');
    }
    ids.push_back('\0');
    if (!SetupDiSetDeviceRegistryPropertyA(device->set.Get(), &device->data, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(ids.data()),
                                           static_cast<DWORD>(ids.size()))) {
        *error = Win32Failure("SetupDiSetDeviceRegistryPropertyA(SPDRP_HARDWAREID)");
        return false;
    }
    if (!options.friendlyName.empty() &&
        !SetupDiSetDeviceRegistryPropertyA(
            device->set.Get(), &device->data, SPDRP_FRIENDLYNAME,
            reinterpret_cast<const BYTE*>(options.friendlyName.c_str()),
            static_cast<DWORD>(options.friendlyName.size()) + 1)) {
        *error = Win32Failure("SetupDiSetDeviceRegistryPropertyA(SPDRP_FRIENDLYNAME)");
        return false;
    }
    // Registering through the class installer lets Wine's device installer
    // call registered class co-installers too; the direct mode registers
    // without them.
    BOOL registered =
        coInstaller == nullptr
            ? SetupDiCallClassInstaller(DIF_REGISTERDEVICE, device->set.Get(), &device->data)
            : SetupDiRegisterDeviceInfo(device->set.Get(), &device->data, 0, nullptr, nullptr,
                                        nullptr);
    if (!registered) {
        *error = Win32Failure("registering the device");
        return false;
    }
    return true;
}

// The device of one installation: a new one registered, or the installed one
// the options name, with the driver list of the one INF built (when there is
// an INF).
bool PrepareDevice(const InstallOptions& options, Device* device, std::string* error,
                   CoInstallerProc coInstaller) {
    GUID guid;
    if (!SetupClassGuid(options.setupClass, &guid)) {
        *error = "unknown setup class " + options.setupClass;
        return false;
    }
    device->set.Reset(SetupDiCreateDeviceInfoList(&guid, nullptr));
    if (!device->set) {
        *error = Win32Failure("SetupDiCreateDeviceInfoList");
        return false;
    }
    device->data.cbSize = sizeof(device->data);
    if (options.deviceId.empty()) {
        if (!CreateDevice(options, guid, coInstaller, device, error)) {
            return false;
        }
    } else if (!SetupDiOpenDeviceInfoA(device->set.Get(), options.deviceId.c_str(), nullptr, 0,
                                       &device->data)) {
        *error = Win32Failure("SetupDiOpenDeviceInfoA");
        return false;
    }
    if (options.infPath.empty()) {
        return true;
    }
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(device->set.Get(), &device->data, &params)) {
        *error = Win32Failure("SetupDiGetDeviceInstallParamsA");
        return false;
    }
    if (!zk::CopyText(params.DriverPath, sizeof(params.DriverPath), options.infPath.c_str())) {
        *error = "INF path too long";
        return false;
    }
    params.Flags |= DI_ENUMSINGLEINF;
    if (!SetupDiSetDeviceInstallParamsA(device->set.Get(), &device->data, &params)) {
        *error = Win32Failure("SetupDiSetDeviceInstallParamsA");
        return false;
    }
    if (!SetupDiBuildDriverInfoList(device->set.Get(), &device->data, SPDIT_COMPATDRIVER)) {
        *error = Win32Failure("SetupDiBuildDriverInfoList");
        return false;
    }
    return true;
}

std::string DeviceInstanceId(const Device& device) {
    char id[256] = "";  // instance IDs are at most 200 characters
    if (!SetupDiGetDeviceInstanceIdA(device.set.Get(), const_cast<PSP_DEVINFO_DATA>(&device.data),
                                     id, sizeof(id), nullptr)) {
        return std::string();
    }
    return id;
}

bool FinishInstallRequested(const Device& device) {
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    return SetupDiGetDeviceInstallParamsA(device.set.Get(),
                                          const_cast<PSP_DEVINFO_DATA>(&device.data), &params) &&
           (params.FlagsEx & DI_FLAGSEX_FINISHINSTALL_ACTION) != 0;
}

// What another installer of the device does when it wants the action.
void RequestFinishInstall(Device* device) {
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    if (SetupDiGetDeviceInstallParamsA(device->set.Get(), &device->data, &params)) {
        params.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
        SetupDiSetDeviceInstallParamsA(device->set.Get(), &device->data, &params);
    }
}

void Print(const InstallOptions& options, const CallRecord& call) {
    if (!options.quiet) {
        printf("%s%s -> 0x%08lX\n", DifCodeName(call.code).c_str(),
               call.postProcessing ? " (post-processing)" : "", call.result);
        (void)fflush(stdout);
    }
}

// Holds the installer lock, when there is one, for the life of the turn.
class InstallerTurn {
public:
    explicit InstallerTurn(CRITICAL_SECTION* lock) : lock_(lock) {
        if (lock_ != nullptr) {
            EnterCriticalSection(lock_);
        }
    }
    ~InstallerTurn() {
        if (lock_ != nullptr) {
            LeaveCriticalSection(lock_);
        }
    }
    InstallerTurn(const InstallerTurn&) = delete;
    InstallerTurn& operator=(const InstallerTurn&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

// Calls the co-installer for one code as the device installer does: the call,
// the installer's own default action, and the post-processing call when the
// co-installer asked for it.
void CallCode(const InstallOptions& options, CoInstallerProc coInstaller, Device* device,
              DI_FUNCTION code, DWORD (*defaultAction)(Device*), InstallReport* report) {
    COINSTALLER_CONTEXT_DATA context;
    memset(&context, 0, sizeof(context));
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    DWORD result = coInstaller(code, device->set.Get(), &device->data, &context);
    QueryPerformanceCounter(&end);
    report->calls.push_back(CallRecord{code, false, result, Seconds(start, end)});
    Print(options, report->calls.back());
    if (result != NO_ERROR && result != kPostProcessingRequired) {
        return;  // the installer would fail the code here
    }
    DWORD installResult = NO_ERROR;
    if (defaultAction != nullptr) {
        InstallerTurn turn(options.installerLock);
        installResult = defaultAction(device);
    }
    if (installResult != NO_ERROR && !options.quiet) {
        printf("%s: the installer's own action failed (0x%08lX)\n", DifCodeName(code).c_str(),
               installResult);
    }
    if (code == DIF_INSTALLDEVICE && options.installFails) {
        installResult = kForcedInstallFailure;
    }
    if (result == kPostProcessingRequired) {
        context.PostProcessing = TRUE;
        context.InstallResult = installResult;
        QueryPerformanceCounter(&start);
        DWORD post = coInstaller(code, device->set.Get(), &device->data, &context);
        QueryPerformanceCounter(&end);
        report->calls.push_back(CallRecord{code, true, post, Seconds(start, end)});
        Print(options, report->calls.back());
    }
}

DWORD SelectBestDriver(Device* device) {
    return SetupDiSelectBestCompatDrv(device->set.Get(), &device->data) ? NO_ERROR : GetLastError();
}

DWORD InstallDevice(Device* device) {
    return SetupDiInstallDevice(device->set.Get(), &device->data) ? NO_ERROR : GetLastError();
}

DWORD RemoveDevice(Device* device) {
    return SetupDiRemoveDevice(device->set.Get(), &device->data) ? NO_ERROR : GetLastError();
}

}  // namespace

bool SetupClassGuid(const std::string& name, GUID* guid) {
    if (_stricmp(name.c_str(), "Image") == 0) {
        *guid = kImageClass;
        return true;
    }
    if (_stricmp(name.c_str(), "Media") == 0) {
        *guid = kMediaClass;
        return true;
    }
    return false;
}

std::string DifCodeName(DI_FUNCTION code) {
    switch (code) {
        case DIF_SELECTBESTCOMPATDRV:
            return "DIF_SELECTBESTCOMPATDRV";
        case DIF_ALLOW_INSTALL:
            return "DIF_ALLOW_INSTALL";
        case DIF_INSTALLDEVICEFILES:
            return "DIF_INSTALLDEVICEFILES";
        case DIF_REGISTER_COINSTALLERS:
            return "DIF_REGISTER_COINSTALLERS";
        case DIF_INSTALLINTERFACES:
            return "DIF_INSTALLINTERFACES";
        case DIF_INSTALLDEVICE:
            return "DIF_INSTALLDEVICE";
        case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
            return "DIF_NEWDEVICEWIZARD_FINISHINSTALL";
        case DIF_FINISHINSTALL_ACTION:
            return "DIF_FINISHINSTALL_ACTION";
        case DIF_DESTROYPRIVATEDATA:
            return "DIF_DESTROYPRIVATEDATA";
        case DIF_REGISTERDEVICE:
            return "DIF_REGISTERDEVICE";
        case DIF_REMOVE:
            return "DIF_REMOVE";
        default:
            return "DIF " + std::to_string(code);
    }
}

InstallReport InstallWithCoInstaller(const InstallOptions& options, CoInstallerProc coInstaller) {
    InstallReport report;
    Device device;
    if (!PrepareDevice(options, &device, &report.error, coInstaller)) {
        return report;
    }
    report.deviceId = DeviceInstanceId(device);
    if (options.remove) {
        CallCode(options, coInstaller, &device, DIF_REMOVE, RemoveDevice, &report);
    } else if (options.finishInstallOnly) {
        // The later process works on the installed device with its driver
        // selected again, through a device information set of its own.
        DWORD selected = SelectBestDriver(&device);
        if (selected != NO_ERROR) {
            report.error = "no driver of the INF matches the device";
            return report;
        }
        CallCode(options, coInstaller, &device, DIF_FINISHINSTALL_ACTION, nullptr, &report);
    }
    if (options.remove || options.finishInstallOnly) {
        if (options.destroy) {
            CallCode(options, coInstaller, &device, DIF_DESTROYPRIVATEDATA, nullptr, &report);
        }
        report.ok = true;
        return report;
    }
    for (int run = 0; run < options.installations; ++run) {
        for (DI_FUNCTION code : kCodesBeforeInstall) {
            CallCode(options, coInstaller, &device, code,
                     code == DIF_SELECTBESTCOMPATDRV ? SelectBestDriver : nullptr, &report);
        }
        CallCode(options, coInstaller, &device, DIF_INSTALLDEVICE, InstallDevice, &report);
        CallCode(options, coInstaller, &device, DIF_NEWDEVICEWIZARD_FINISHINSTALL, nullptr,
                 &report);
        if (FinishInstallRequested(device)) {
            report.finishInstallRequested = true;
        }
        if (options.otherInstallerRequestsFinishInstall) {
            RequestFinishInstall(&device);
        }
        if (FinishInstallRequested(device) && !options.deferFinishInstall) {
            CallCode(options, coInstaller, &device, DIF_FINISHINSTALL_ACTION, nullptr, &report);
        }
        if (options.destroy) {
            CallCode(options, coInstaller, &device, DIF_DESTROYPRIVATEDATA, nullptr, &report);
        }
    }
    report.ok = true;
    return report;
}

InstallReport InstallThroughSetupApi(const InstallOptions& options) {
    InstallReport report;
    Device device;
    if (!PrepareDevice(options, &device, &report.error, nullptr)) {
        return report;
    }
    const DI_FUNCTION codes[] = {
        DIF_SELECTBESTCOMPATDRV,          DIF_ALLOW_INSTALL,     DIF_INSTALLDEVICEFILES,
        DIF_REGISTER_COINSTALLERS,        DIF_INSTALLINTERFACES, DIF_INSTALLDEVICE,
        DIF_NEWDEVICEWIZARD_FINISHINSTALL};
    for (int run = 0; run < options.installations; ++run) {
        for (DI_FUNCTION code : codes) {
            BOOL ok = SetupDiCallClassInstaller(code, device.set.Get(), &device.data);
            DWORD result = ok ? NO_ERROR : GetLastError();
            report.calls.push_back(CallRecord{code, false, result, 0.0});
            Print(options, report.calls.back());
        }
        if (FinishInstallRequested(device)) {
            report.finishInstallRequested = true;
            BOOL ok =
                SetupDiCallClassInstaller(DIF_FINISHINSTALL_ACTION, device.set.Get(), &device.data);
            report.calls.push_back(
                CallRecord{DIF_FINISHINSTALL_ACTION, false, ok ? NO_ERROR : GetLastError(), 0.0});
            Print(options, report.calls.back());
        }
    }
    // Destroying the list sends DIF_DESTROYPRIVATEDATA to the co-installers.
    device.set.Reset();
    report.ok = true;
    return report;
}

bool RegisterClassCoInstaller(const std::string& setupClass, const std::string& entry) {
    GUID guid;
    if (!SetupClassGuid(setupClass, &guid)) {
        return false;
    }
    zk::UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCoInstallersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::string value = entry;
    value.push_back('\0');
    value.push_back('\0');
    return RegSetValueExA(key.Get(), zk::GuidText(guid).c_str(), 0, REG_MULTI_SZ,
                          reinterpret_cast<const BYTE*>(value.data()),
                          static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

bool UnregisterClassCoInstaller(const std::string& setupClass) {
    GUID guid;
    if (!SetupClassGuid(setupClass, &guid)) {
        return false;
    }
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCoInstallersKey, 0, KEY_SET_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        return true;
    }
    LONG status = RegDeleteValueA(key.Get(), zk::GuidText(guid).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
