// Runs the preserve-and-restore pass in a prefix of its own, the way the two
// entries run it, with some installed files held open meanwhile:
//
//   restore_pass_driver [--wininit] [--hold PATH]... [--seed-pending S1|S2|...]
//                       [--count | --cut-before N | --cut-after N | --tear N]
//
// --seed-pending first stores "PendingFileRenameOperations" as the given
// strings, each with its NUL and without the list's closing NUL, as a careless
// program would. --hold opens PATH without delete sharing for the whole pass.
//
// The pass's file steps (copies, moves, deletes) are counted: --count prints
// how many there were; --cut-before N and --cut-after N end the process at
// once, as a power cut would, before or after the Nth step; --tear N, when the
// Nth step is a copy, writes the first half of the file and then ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/library.h"
#include "preserve/file_operations.h"
#include "preserve/restore_pass.h"

namespace {

enum class Cut { None, Before, After, Tear };
Cut g_cut = Cut::None;
long g_cutAt = 0;
long g_steps = 0;

// Counts a file step and ends the process there when asked to.
void Step() {
    ++g_steps;
    if (g_cut == Cut::Before && g_steps == g_cutAt) {
        ExitProcess(3);
    }
}

void AfterStep() {
    if (g_cut == Cut::After && g_steps == g_cutAt) {
        ExitProcess(3);
    }
}

// Writes the first half of existing to target, as a copy cut short does.
void TearCopy(LPCSTR existing, LPCSTR target) {
    zk::UniqueFileHandle in(
        CreateFileA(existing, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    zk::UniqueFileHandle out(
        CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (in && out) {
        static char bytes[1 << 20];
        DWORD read = 0;
        DWORD written = 0;
        if (ReadFile(in.Get(), bytes, sizeof(bytes), &read, nullptr)) {
            (void)WriteFile(out.Get(), bytes, read / 2, &written, nullptr);
        }
    }
    ExitProcess(3);
}

BOOL WINAPI CountedCopy(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
    Step();
    if (g_cut == Cut::Tear && g_steps == g_cutAt) {
        TearCopy(existing, target);
    }
    BOOL ok = CopyFileA(existing, target, failIfExists);
    AfterStep();
    return ok;
}
BOOL WINAPI CountedMove(LPCSTR existing, LPCSTR target) {
    Step();
    BOOL ok = MoveFileA(existing, target);
    AfterStep();
    return ok;
}
BOOL WINAPI CountedMoveEx(LPCSTR existing, LPCSTR target, DWORD flags) {
    Step();
    BOOL ok = MoveFileExA(existing, target, flags);
    AfterStep();
    return ok;
}
BOOL WINAPI CountedDelete(LPCSTR path) {
    Step();
    BOOL ok = DeleteFileA(path);
    AfterStep();
    return ok;
}

const FileOperations kCountedOperations = {CountedCopy,   CountedMove,       CountedMoveEx,
                                           CountedDelete, FindFirstFileA,    FindNextFileA,
                                           FindClose,     GetFileAttributesA};

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
    bool count = false;
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
        } else if (strcmp(argv[i], "--count") == 0) {
            count = true;
        } else if ((strcmp(argv[i], "--cut-before") == 0 || strcmp(argv[i], "--cut-after") == 0 ||
                    strcmp(argv[i], "--tear") == 0) &&
                   i + 1 < argc) {
            g_cut = argv[i][2] == 't' ? Cut::Tear : argv[i][6] == 'b' ? Cut::Before : Cut::After;
            g_cutAt = strtol(argv[++i], nullptr, 10);
        } else if (strcmp(argv[i], "--seed-pending") == 0 && i + 1 < argc) {
            if (!SeedPendingRenames(argv[++i])) {
                (void)fprintf(stderr, "cannot seed the rename list\n");
                return 2;
            }
        } else {
            (void)fprintf(stderr,
                          "usage: restore_pass_driver [--wininit] [--hold PATH]... "
                          "[--seed-pending S1|S2|...] "
                          "[--count | --cut-before N | --cut-after N | --tear N]\n");
            return 2;
        }
    }
    SetPreserveFileOperations(&kCountedOperations);
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
    if (count) {
        printf("file steps: %ld\n", g_steps);
    }
    printf("done\n");
    return 0;
}
