#include "preserve_fixtures.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "preserve/file_operations.h"
#include "test_support.h"

namespace zktest {

std::string FixturePath(const char* name) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string path = program;
    return path.substr(0, path.rfind('\\') + 1) + name + ".dll";
}

std::string FixtureBytes(const char* name) {
    return ReadFileBytes(FixturePath(name));
}

void MakeDirectories(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

void PutFixture(const char* name, const std::string& path) {
    MakeDirectories(path.substr(0, path.rfind('\\')));
    ASSERT_TRUE(CopyFileA(FixturePath(name).c_str(), path.c_str(), FALSE))
        << name << " -> " << path << ": " << GetLastError();
}

}  // namespace zktest

namespace zktest {

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";
const char* const kWinInitSuffixes[3] = {"", ".bak", ".new"};

}  // namespace

std::string ReadPendingRenames(unsigned long* type, bool* exists) {
    HKEY key = nullptr;
    std::string bytes;
    if (exists != nullptr) {
        *exists = false;
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return bytes;
    }
    DWORD size = 0;
    DWORD valueType = 0;
    if (RegQueryValueExA(key, kPending, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
        bytes.resize(size);
        RegQueryValueExA(key, kPending, nullptr, &valueType, reinterpret_cast<BYTE*>(&bytes[0]),
                         &size);
        bytes.resize(size);
        if (type != nullptr) {
            *type = valueType;
        }
        if (exists != nullptr) {
            *exists = true;
        }
    }
    RegCloseKey(key);
    return bytes;
}

void WritePendingRenames(const std::string& bytes, unsigned long type) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, kPending, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
}

static void DeletePendingRenames() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, kPending);
        RegCloseKey(key);
    }
}

SavedPendingRenames::SavedPendingRenames() {
    bytes_ = ReadPendingRenames(&type_, &existed_);
    DeletePendingRenames();
}

SavedPendingRenames::~SavedPendingRenames() {
    DeletePendingRenames();
    if (existed_) {
        WritePendingRenames(bytes_, type_);
    }
}

std::string SavedWinInit::Path() {
    return WindowsDirectory() + "\\WinInit.ini";
}

SavedWinInit::SavedWinInit() {
    for (int i = 0; i < 3; ++i) {
        std::string path = Path() + kWinInitSuffixes[i];
        saved_[i].existed = FileExists(path);
        saved_[i].bytes = ReadFileBytes(path);
        RemoveFile(path);
    }
}

SavedWinInit::~SavedWinInit() {
    for (int i = 0; i < 3; ++i) {
        std::string path = Path() + kWinInitSuffixes[i];
        RemoveFile(path);
        if (saved_[i].existed) {
            WriteFileBytes(path, saved_[i].bytes);
        }
    }
}

}  // namespace zktest

namespace zktest {

namespace {

std::vector<FailRule> g_rules;
int g_calls[4] = {0, 0, 0, 0};

bool Fails(FileCall call, const char* from, const char* to) {
    ++g_calls[static_cast<int>(call)];
    for (FailRule& rule : g_rules) {
        if (rule.call == call && lstrcmpiA(rule.from.c_str(), from) == 0 &&
            (rule.to.empty() || lstrcmpiA(rule.to.c_str(), to) == 0) && rule.pass-- <= 0) {
            SetLastError(rule.error);
            return true;
        }
    }
    return false;
}

BOOL WINAPI FailingCopy(LPCSTR from, LPCSTR to, BOOL failIfExists) {
    return !Fails(FileCall::Copy, from, to) && CopyFileA(from, to, failIfExists);
}
BOOL WINAPI FailingMove(LPCSTR from, LPCSTR to) {
    return !Fails(FileCall::Move, from, to) && MoveFileA(from, to);
}
BOOL WINAPI FailingMoveEx(LPCSTR from, LPCSTR to, DWORD flags) {
    return !Fails(FileCall::MoveEx, from, to) && MoveFileExA(from, to, flags);
}
BOOL WINAPI FailingDelete(LPCSTR path) {
    return !Fails(FileCall::Delete, path, "") && DeleteFileA(path);
}

const FileOperations kFailingOperations = {FailingCopy,   FailingMove,       FailingMoveEx,
                                           FailingDelete, FindFirstFileA,    FindNextFileA,
                                           FindClose,     GetFileAttributesA};

}  // namespace

FailingFileOperations::FailingFileOperations(std::vector<FailRule> rules) {
    g_rules = std::move(rules);
    for (int& calls : g_calls) {
        calls = 0;
    }
    SetPreserveFileOperations(&kFailingOperations);
}

FailingFileOperations::~FailingFileOperations() {
    SetPreserveFileOperations(nullptr);
    g_rules.clear();
}

int FailingFileOperations::Calls(FileCall call) {
    return g_calls[static_cast<int>(call)];
}

}  // namespace zktest
