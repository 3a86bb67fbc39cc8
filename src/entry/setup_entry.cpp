#include "entry/setup_entry.h"

#include "core/device_context.h"
#include "core/install_log.h"
#include "launch/registered_apps.h"
#include "preserve/restore_pass.h"
#include "setupactions/setup_interpreter.h"

extern "C" void CALLBACK SetupEntryPoint(HWND, HINSTANCE, LPSTR commandLine, int) {
    // The context lives for this one call and belongs to it alone. Every call
    // in a process is given the same module handle, so that handle cannot be
    // the key: a second thread would find the first one's context and go on
    // logging through it after the first call freed it. An object in this
    // call's frame is unique to the call for as long as the call lasts.
    const char callKey = 0;
    DeviceContext* context = GetDeviceContext(&callKey);
    if (context == nullptr) {
        return;
    }
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    if (length != 0 && length < sizeof(systemDirectory)) {
        LogMessage(context, "Marvanto Setup Extension DLL\n");
        LogMessage(context, "============================\n\n");
        LogMessage(context, "Windows system directory: %s\n", systemDirectory);
        RunSetupSection(context, nullptr, commandLine != nullptr ? commandLine : "");
        // Outside the device installer, files in use are replaced at the next
        // start through WinInit.ini rather than the registry's rename list.
        RestoreNewerFiles(context, true);
        // Without a device there are no hardware IDs: only the heading is logged.
        LaunchRegisteredApp(context, nullptr, nullptr, 0);
    }
    ReleaseDeviceContext(context);
}
