#include "core/start_process.h"

#include <cstring>

#include "common/win_handles.h"

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
