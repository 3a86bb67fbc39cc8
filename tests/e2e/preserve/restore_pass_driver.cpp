// Runs the preserve-and-restore pass in a prefix of its own, the way the two
// entries run it, with some installed files held open meanwhile:
//
//   restore_pass_driver [--wininit] [--hold PATH]... [--seed-pending S1|S2|...]
//
// --seed-pending first stores "PendingFileRenameOperations" as the given
// strings, each with its NUL and without the list's closing NUL, as a careless
// program would. --hold opens PATH without delete sharing for the whole pass.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/device_context.h"
#include "core/library.h"
#include "preserve/restore_pass.h"

namespace {

bool SeedPendingRenames(const std::string& strings) {
    std::string bytes = strings;
    for (char& c : bytes) {
        if (c == '|') {
            c = '\0';
        }
    }
    bytes.push_back('\0');
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    bool useWinInit = false;
    std::vector<HANDLE> held;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--wininit") == 0) {
            useWinInit = true;
        } else if (strcmp(argv[i], "--hold") == 0 && i + 1 < argc) {
            HANDLE file = CreateFileA(argv[++i], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                (void)fprintf(stderr, "cannot hold %s: %lu\n", argv[i], GetLastError());
                return 2;
            }
            held.push_back(file);
        } else if (strcmp(argv[i], "--seed-pending") == 0 && i + 1 < argc) {
            if (!SeedPendingRenames(argv[++i])) {
                (void)fprintf(stderr, "cannot seed the rename list\n");
                return 2;
            }
        } else {
            (void)fprintf(stderr,
                          "usage: restore_pass_driver [--wininit] [--hold PATH]... "
                          "[--seed-pending S1|S2|...]\n");
            return 2;
        }
    }
    LibraryProcessAttach();
    static const int kHandle = 0;
    DeviceContext* context = GetDeviceContext(&kHandle);
    if (context == nullptr) {
        (void)fprintf(stderr, "no context\n");
        return 1;
    }
    RestoreNewerFiles(context, useWinInit);
    ReleaseDeviceContext(context);
    LibraryProcessDetach();
    for (HANDLE file : held) {
        CloseHandle(file);
    }
    printf("done\n");
    return 0;
}
