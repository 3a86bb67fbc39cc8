// record_stub: stands in for every program the co-installer starts. It appends
// one line to a record file and exits:
//
//   <its own path> TAB <its command line> TAB <its current folder> CR LF
//
// The record file is named by the environment variable ZK_STUB_RECORD, or is
// C:\zk_stub_record.txt. Programs started at the same moment take turns.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::string line = std::string(self) + "\t" + GetCommandLineA() + "\t" + folder + "\r\n";

    const char* record = getenv("ZK_STUB_RECORD");
    if (record == nullptr || *record == '\0') {
        record = "C:\\zk_stub_record.txt";
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA(record, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return written == line.size() ? 0 : 1;
        }
        Sleep(25);
    }
    return 1;
}
