// Holds a file open as a running program holds its DLL (others may read it,
// nobody may write, rename or delete it) until the test asks it to let go:
//   file_locker.exe FILE READY RELEASE
// opens FILE, creates READY, and waits (two minutes at most) for RELEASE.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    HANDLE locked =
        CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (locked == INVALID_HANDLE_VALUE) {
        return 1;
    }
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) {
        CloseHandle(ready);
    }
    for (int waited = 0; waited < 1200; ++waited) {
        if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        Sleep(100);
    }
    CloseHandle(locked);
    return 0;
}
