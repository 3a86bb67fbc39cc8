// differential_driver: runs many zkcoinst.ini files through zkcoinst.dll and
// through zkinicheck in one process, since a Wine process start costs about a
// second and the differential test runs hundreds of files.
//
//   differential_driver LIST
//
// It prints the Windows version it is told ("windows 5.1"), then runs the cases.
// LIST names one case folder per line. A folder holds zkcoinst.ini (or none)
// and case.txt, whose lines say what to do, in order:
//
//   mkfile PATH / rmfile PATH       an empty file made (with its folders) or removed
//   regkey KEY / regtree KEY        a key under HKLM made, or removed with its subkeys
//   regdword KEY<TAB>NAME           a DWORD value 7 set under HKLM\KEY (the key made)
//   regdel KEY<TAB>NAME             a value removed
//   check ARG                       one argument of zkinicheck (the program name comes first)
//   checkrun NAME                   zkinicheck run on the arguments so far, its report and
//                                   "exit status: N" to the file NAME of the folder
//   entry SECTION                   the run: SetupEntryPoint with SECTION (may be empty)
//   install INF<TAB>CLASS<TAB>HWID...  the run: a device installation through the harness
//                                   (hardware IDs separated by tabs)
//   dump KEY                        after the run, HKLM\KEY with its subkeys to registry.txt
//   dumpvalue KEY<TAB>NAME          after the run, that one value to registry.txt
//
// Before the run the folder's zkcoinst.ini goes to <system directory>\zkcoinst.ini
// and the log is removed; programs the DLL starts record themselves in
// started.txt of the folder (ZK_STUB_RECORD). Afterwards the folder gets
// zkcoinst.log, registry.txt and result.txt.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check_run.h"
#include "common/win_handles.h"
#include "harness/device_install.h"

namespace {

typedef void(CALLBACK* SetupEntryProc)(HWND, HINSTANCE, LPSTR, int);

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    zk::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    char chunk[4096];
    DWORD got = 0;
    bytes->clear();
    while (ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        bytes->append(chunk, got);
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    zk::UniqueFileHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

void MakeFile(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    (void)WriteFileBytes(path, std::string());
}

// "KEY<TAB>NAME" split; a line without a tab is all key.
void SplitKeyAndName(const std::string& text, std::string* key, std::string* name) {
    size_t tab = text.find('\t');
    *key = text.substr(0, tab);
    *name = tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    const char* chars = reinterpret_cast<const char*>(data.data());
    switch (type) {
        case REG_DWORD: {
            DWORD number = 0;
            memcpy(&number, data.data(), size < sizeof(number) ? size : sizeof(number));
            return "dword:" + std::to_string(number);
        }
        case REG_SZ:
        case REG_EXPAND_SZ:
            return "sz:" + std::string(chars, strnlen(chars, size));
        case REG_MULTI_SZ: {
            std::string items;
            for (DWORD at = 0; at < size && chars[at] != '\0';) {
                size_t length = strnlen(chars + at, size - at);
                items += (items.empty() ? "" : "|") + std::string(chars + at, length);
                at += static_cast<DWORD>(length) + 1;
            }
            return "multi:" + items;
        }
        default:
            return "type" + std::to_string(type) + ":" + std::to_string(size) + " bytes";
    }
}

// Every value of HKLM\path and its subkeys, one "KEY<TAB>NAME<TAB>DATA" line each.
void DumpKey(const std::string& path, std::string* out) {
    zk::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    *out += path + "\t\t(key)\n";
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        std::vector<BYTE> data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        *out += path + "\t" + name + "\t" + ValueText(type, data, size) + "\n";
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        subkeys.push_back(path + "\\" + name);
    }
    for (const std::string& subkey : subkeys) {
        DumpKey(subkey, out);
    }
}

// zkinicheck on arguments (the program name first): its report and exit
// status into the file at path.
void RunChecker(const std::vector<std::string>& arguments, const std::string& path) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::string report;
    std::string errors;
    int status =
        zk::inicheck::RunIniCheck(static_cast<int>(argv.size()), argv.data(), &report, &errors);
    (void)WriteFileBytes(path, report + errors + "exit status: " + std::to_string(status) + "\n");
}

struct Dll {
    CoInstallerProc coInstaller;
    SetupEntryProc setupEntry;
};

void RunCase(const std::string& folder, const Dll& dll, const std::string& systemDirectory) {
    std::string script;
    if (!ReadFileBytes(folder + "\\case.txt", &script)) {
        (void)WriteFileBytes(folder + "\\result.txt", "no case.txt\n");
        return;
    }
    std::string ini;
    std::string iniTarget = systemDirectory + "\\zkcoinst.ini";
    if (ReadFileBytes(folder + "\\zkcoinst.ini", &ini)) {
        (void)WriteFileBytes(iniTarget, ini);
    } else {
        DeleteFileA(iniTarget.c_str());
    }
    // The profile functions keep a file read until its time stamp changes, and
    // two cases may be written within one tick of the file system's clock:
    // the cached copy of the file is dropped.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniTarget.c_str());
    std::string logPath = systemDirectory + "\\zkcoinst.log";
    DeleteFileA(logPath.c_str());
    SetEnvironmentVariableA("ZK_STUB_RECORD", (folder + "\\started.txt").c_str());

    std::vector<std::string> checkArguments = {"zkinicheck"};
    std::vector<std::string> dumps;
    std::string result;
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find('\n', at);
        std::string line = script.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? script.size() : end + 1;
        size_t blank = line.find(' ');
        std::string op = line.substr(0, blank);
        std::string argument = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        std::string key;
        std::string name;
        SplitKeyAndName(argument, &key, &name);
        if (op == "mkfile") {
            MakeFile(argument);
        } else if (op == "rmfile") {
            DeleteFileA(argument.c_str());
        } else if (op == "regkey") {
            zk::UniqueRegKey made;
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, argument.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, made.Receive(), nullptr);
        } else if (op == "regtree") {
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, argument.c_str());
        } else if (op == "regdword") {
            zk::UniqueRegKey made;
            const DWORD seven = 7;
            if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, made.Receive(), nullptr) == ERROR_SUCCESS) {
                RegSetValueExA(made.Get(), name.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&seven), sizeof(seven));
            }
        } else if (op == "regdel") {
            SHDeleteValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
        } else if (op == "check") {
            checkArguments.push_back(argument);
        } else if (op == "checkrun") {
            RunChecker(checkArguments, folder + "\\" + argument);
            checkArguments.resize(1);
        } else if (op == "dump" || op == "dumpvalue") {
            dumps.push_back(line);
        } else if (op == "entry") {
            std::vector<char> section(argument.begin(), argument.end());
            section.push_back('\0');
            dll.setupEntry(nullptr, nullptr, section.data(), SW_HIDE);
        } else if (op == "install") {
            InstallOptions options;
            std::string rest;
            SplitKeyAndName(argument, &options.infPath, &rest);
            std::string hardwareIds;
            SplitKeyAndName(rest, &options.setupClass, &hardwareIds);
            while (!hardwareIds.empty()) {
                std::string next;
                SplitKeyAndName(hardwareIds, &key, &next);
                options.hardwareIds.push_back(key);
                hardwareIds = next;
            }
            options.quiet = true;
            InstallReport report = InstallWithCoInstaller(options, dll.coInstaller);
            result += report.ok ? "installed\n" : "not installed: " + report.error + "\n";
            result += std::string("finish-install action requested: ") +
                      (report.finishInstallRequested ? "yes" : "no") + "\n";
        }
    }

    std::string log;
    if (ReadFileBytes(logPath, &log)) {
        (void)WriteFileBytes(folder + "\\zkcoinst.log", log);
    }
    std::string registry;
    for (const std::string& dump : dumps) {
        std::string argument = dump.substr(dump.find(' ') + 1);
        if (dump.compare(0, 5, "dump ") == 0) {
            DumpKey(argument, &registry);
            continue;
        }
        std::string key;
        std::string name;
        SplitKeyAndName(argument, &key, &name);
        std::vector<BYTE> data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        zk::UniqueRegKey opened;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.Receive()) ==
                ERROR_SUCCESS &&
            RegQueryValueExA(opened.Get(), name.c_str(), nullptr, &type, data.data(), &size) ==
                ERROR_SUCCESS) {
            registry += key + "\t" + name + "\t" + ValueText(type, data, size) + "\n";
        }
    }
    (void)WriteFileBytes(folder + "\\registry.txt", registry);

    (void)WriteFileBytes(folder + "\\result.txt", result);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        (void)fprintf(stderr, "usage: differential_driver LIST\n");
        return 2;
    }
    std::string list;
    if (!ReadFileBytes(argv[1], &list)) {
        (void)fprintf(stderr, "differential_driver: cannot read %s\n", argv[1]);
        return 2;
    }
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    HMODULE module = LoadLibraryA("zkcoinst.dll");
    if (length == 0 || length >= sizeof(systemDirectory) || module == nullptr) {
        (void)fprintf(stderr, "differential_driver: cannot load zkcoinst.dll (%lu)\n",
                      GetLastError());
        return 1;
    }
    Dll dll;
    dll.coInstaller = reinterpret_cast<CoInstallerProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "ZkCoInstaller")));
    dll.setupEntry = reinterpret_cast<SetupEntryProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SetupEntryPoint")));
    if (dll.coInstaller == nullptr || dll.setupEntry == nullptr) {
        (void)fprintf(stderr, "differential_driver: zkcoinst.dll lacks its exports\n");
        return 1;
    }
    // The version the DLL will see, for the test to hold against the one it asked for.
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version)) {
        printf("windows %lu.%lu\n", version.dwMajorVersion, version.dwMinorVersion);
    }
    size_t at = 0;
    int cases = 0;
    while (at < list.size()) {
        size_t end = list.find('\n', at);
        std::string folder = list.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? list.size() : end + 1;
        if (!folder.empty() && folder.back() == '\r') {
            folder.pop_back();
        }
        if (!folder.empty()) {
            RunCase(folder, dll, systemDirectory);
            ++cases;
        }
    }
    printf("%d cases\n", cases);
    FreeLibrary(module);
    return 0;
}
