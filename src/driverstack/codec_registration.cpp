#include "driverstack/codec_registration.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/version_info.h"
#include "core/version_probes.h"

void UpdateCodecs(DeviceContext* context) {
    if (!IsWin2000OrLater()) {
        return;
    }
    LogMessage(context, "Updating codecs ...\n");
    // Opened, never created: a system without the key has no use for the
    // codec. No view flag: each build works on the view of its own processor,
    // and the error line names that view.
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0,
                      KEY_READ | KEY_WRITE, key.Receive()) != ERROR_SUCCESS) {
        LogMessage(
            context,
            "ERROR:  Failed to open "
            "\"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\" (" ZK_BUILD_VIEW_TEXT
            ").\n");
    } else {
        SetCodecValue(context, key.Get(), "VIDC.I420", "zkcodec2.dll");
    }
    LogMessage(context, "Done updating codecs.\n");
}

DWORD SetCodecValue(DeviceContext* context, HKEY key, const char* valueName, const char* fileName) {
    LONG status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(fileName),
                                 static_cast<DWORD>(strlen(fileName)) + 1);
    if (status != ERROR_SUCCESS) {
        LogMessage(context, "ERROR: Failed to set \"%s\" codec.\n", valueName);
    }
    return static_cast<DWORD>(status);
}
