#include "entry/coinstaller_entry.h"

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/dif_codes.h"
#include "core/driver_records.h"
#include "core/install_log.h"
#include "core/start_process.h"
#include "core/system_message.h"
#include "core/version_probes.h"
#include "driverstack/codec_registration.h"
#include "driverstack/friendly_name.h"
#include "driverstack/orphan_filters.h"
#include "launch/registered_apps.h"
#include "launch/web_update.h"
#include "preserve/restore_pass.h"
#include "setupactions/setup_interpreter.h"

namespace {

const char kValueAddProgram[] = "xwvalueadd.exe";

DWORD PreProcessInstallDevice(DeviceContext* context, HDEVINFO deviceInfoSet,
                              PSP_DEVINFO_DATA deviceInfoData) {
    LogMessage(context, "DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------\n");
    // Filters of the package that can no longer load go first, before the
    // device's driver is installed below them.
    RemoveOrphanClassFilters(context);
    // Then the zkcoinst.ini section of the selected driver runs.
    RunDriverSetupSection(context, deviceInfoSet, deviceInfoData);
    // Then the preserve-and-restore pass over the protected shared files; a
    // file in use is left to the next start through the registry's rename list.
    RestoreNewerFiles(context, false);
    // Then the registered pre-install programs.
    LaunchRegisteredApp(context, deviceInfoSet, deviceInfoData, 0);

    char directory[MAX_PATH];
    if (!GetMediaSourceDirectory(context, deviceInfoSet, deviceInfoData, directory)) {
        LogMessage(context, "ERROR: Failed to get Media Source Directory \n");
    } else {
        LogMessage(context, "MediaSourceDirectory - %s\n", directory);
        // A path that does not fit is not launched cut: that would start
        // whatever program the shortened path happens to name.
        if (!zk::AppendText(directory, sizeof(directory), kValueAddProgram)) {
            LogMessage(context, "ERROR: Value-add program path is too long; not launched.\n");
        } else {
            LogMessage(context, "Launching - %s\n", directory);
            LaunchFile(context, directory, nullptr);
        }
    }

    // The codec registration is the last step of both phases.
    UpdateCodecs(context);
    return kPostProcessingRequired;
}

DWORD PostProcessInstallDevice(DeviceContext* context, HDEVINFO deviceInfoSet,
                               PSP_DEVINFO_DATA deviceInfoData) {
    LogMessage(context, "DIF Code: DIF_INSTALLDEVICE (Post-processing) ---------------------\n");
    // The registered post-install programs run now unless a finish-install
    // action will follow, which then starts them.
    if (!WantsFinishInstallAction(context, deviceInfoSet, deviceInfoData)) {
        LaunchRegisteredApp(context, deviceInfoSet, deviceInfoData, 1);
    }
    // Then the device's friendly name and vendor are put right in the driver
    // key the installation just wrote, and the codec registered again.
    UpdateFriendlyNameAndVendor(deviceInfoSet, deviceInfoData);
    UpdateCodecs(context);
    return NO_ERROR;
}

void NewDeviceWizardFinishInstall(DeviceContext* context, HDEVINFO deviceInfoSet,
                                  PSP_DEVINFO_DATA deviceInfoData) {
    LogMessage(context, "DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL -----------------------\n");
    if (IsVistaOrLater()) {
        // The finish-install action is requested when the web-update decision
        // wants one.
        if (WantsFinishInstallAction(context, deviceInfoSet, deviceInfoData)) {
            RequestFinishInstallAction(context, deviceInfoSet, deviceInfoData);
        }
    } else {
        context->finishInstallPending = 1;
    }
}

void FinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                         PSP_DEVINFO_DATA deviceInfoData) {
    LogMessage(context, "DIF Code: DIF_FINISHINSTALL_ACTION --------------------------------\n");
    if (!IsVistaOrLater()) {
        return;
    }
    // The device installer sends this code to every installer of the device
    // when any one of them asked for it, and from Windows 8 on it may come in
    // another process, long after the installation, to a context that never
    // saw it. So the finish-install decision is taken again here, from the
    // same settings: the work is done only when this co-installer wants the
    // action, and the post-install programs of a NoFNW installation, started
    // in post-processing already, do not start a second time. The decision
    // reads the web-update switch only when NoFNW is set, so that the switch
    // is asked as often as before whenever the action is ours.
    bool webUpdate = false;
    if (IsNoFNWSet(context, deviceInfoSet, deviceInfoData)) {
        if (!LaunchKestrForDeviceClass(context, deviceInfoSet, deviceInfoData)) {
            LogMessage(context,
                       "DIF_FINISHINSTALL_ACTION> Not requested by this co-installer; nothing "
                       "started.\n");
            return;
        }
        webUpdate = true;
    }
    // The registered post-install programs, then the web-update program.
    LaunchRegisteredApp(context, deviceInfoSet, deviceInfoData, 1);
    if (webUpdate || LaunchKestrForDeviceClass(context, deviceInfoSet, deviceInfoData)) {
        LaunchKestr(context, deviceInfoSet, deviceInfoData);
    }
}

void DestroyPrivateData(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData) {
    LogMessage(context, "DIF Code: DIF_DESTROYPRIVATEDATA ----------------------------------\n");
    // Before Vista, the web-update program starts here when the finish-install
    // code came for this set.
    if (!IsVistaOrLater() && context->finishInstallPending &&
        LaunchKestrForDeviceClass(context, deviceInfoSet, deviceInfoData)) {
        LaunchKestr(context, deviceInfoSet, deviceInfoData);
    }
    context->driverRecords = nullptr;
    ReleaseDeviceContext(context);
}

}  // namespace

extern "C" DWORD CALLBACK ZkCoInstaller(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet,
                                        PSP_DEVINFO_DATA deviceInfoData,
                                        PCOINSTALLER_CONTEXT_DATA coContext) {
    DeviceContext* context = GetDeviceContext(deviceInfoSet);
    if (context == nullptr) {
        return kNoContext;
    }
    // The selected driver and its details are read at most once in this call,
    // by whichever step needs them first.
    DriverRecords records;
    StartCallRecords(&records, context, deviceInfoSet, deviceInfoData);
    context->driverRecords = &records;
    DWORD result = NO_ERROR;
    switch (installFunction) {
        case DIF_INSTALLDEVICE:
            // The post-processing pass runs whatever the installation's
            // result (coContext->InstallResult, deliberately not read): the
            // friendly name and codec fix-ups are harmless after a failure,
            // and the co-installer never fails an installation itself.
            if (coContext != nullptr && coContext->PostProcessing) {
                result = PostProcessInstallDevice(context, deviceInfoSet, deviceInfoData);
            } else {
                result = PreProcessInstallDevice(context, deviceInfoSet, deviceInfoData);
            }
            break;
        case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
            NewDeviceWizardFinishInstall(context, deviceInfoSet, deviceInfoData);
            break;
        case DIF_FINISHINSTALL_ACTION:
            FinishInstallAction(context, deviceInfoSet, deviceInfoData);
            break;
        case DIF_DESTROYPRIVATEDATA:
            // Frees the context: it must not be touched afterwards.
            DestroyPrivateData(context, deviceInfoSet, deviceInfoData);
            return NO_ERROR;
        default:
            LogMessage(context,
                       "Unhandled DIF Code: %3d -------------------------------------------\n",
                       static_cast<int>(installFunction));
            break;
    }
    context->driverRecords = nullptr;
    return result;
}

void RequestFinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                                PSP_DEVINFO_DATA deviceInfoData) {
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(deviceInfoSet, deviceInfoData, &params)) {
        LogMessage(context, "ERROR: Failed to get install params (0x%08x)\n",
                   static_cast<unsigned>(GetLastError()));
        return;
    }
    params.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
    if (!SetupDiSetDeviceInstallParamsA(deviceInfoSet, deviceInfoData, &params)) {
        LogMessage(context, "ERROR: Failed to set install params (0x%08x)\n",
                   static_cast<unsigned>(GetLastError()));
    }
}
