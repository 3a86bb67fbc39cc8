#include "core/start_process.h"

#include <shellapi.h>

#include <cstring>

#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/system_message.h"

bool StartWithoutWaiting(char* commandLine) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started;
    memset(&started, 0, sizeof(started));
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    // Not waited for: the program lives on by itself.
    zk::UniqueHandle process(started.hProcess);
    zk::UniqueHandle thread(started.hThread);
    thread.Reset();
    process.Reset();
    return true;
}

DWORD LaunchFile(DeviceContext* context, const char* path, const char* option) {
    LogMessage(context, "Launching File %s with CommandLine Option - %s\n", path, option);
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.lpParameters = option;
    info.nShow = SW_SHOWDEFAULT;
    if (ShellExecuteExA(&info)) {
        return 0;
    }
    DWORD error = GetLastError();
    char text[MAX_PATH];
    GetSystemMessageLine(error, text, sizeof(text));
    LogMessage(context, "WARNING: Unable to launch '%s'. 0x%08x - %s", path,
               static_cast<unsigned>(error), text);
    return HresultFromWin32(error);
}
