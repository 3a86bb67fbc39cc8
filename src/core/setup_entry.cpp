#include "core/setup_entry.h"

#include "core/device_context.h"
#include "core/install_log.h"
#include "launch/registered_apps.h"
#include "preserve/restore_pass.h"
#include "setupactions/setup_interpreter.h"

extern "C" void CALLBACK SetupEntryPoint(HWND, HINSTANCE instance, LPSTR commandLine, int) {
    // The context lives for this one call; the module handle is its key.
    DeviceContext* context = GetDeviceContext(instance);
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
