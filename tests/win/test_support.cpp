#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "core/install_log.h"

namespace zktest {

std::string SystemDirectory() {
    char buffer[MAX_PATH];
    UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string WindowsDirectory() {
    char buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string InstallLogPath() {
    char buffer[MAX_PATH];
    GetInstallLogPath(buffer, sizeof(buffer));
    return buffer;
}

std::string TestsDirectory() {
    const char* unixPath = getenv("ZK_TESTS_DIR");
    if (unixPath == nullptr) {
        ADD_FAILURE() << "ZK_TESTS_DIR is not set";
        return "";
    }
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

ScratchDirectory::ScratchDirectory(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "zktest_" + name + "_" + std::to_string(GetCurrentProcessId());
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory() {
    RemoveTree(path_);
}

std::string StagedExampleInf() {
    static ScratchDirectory folder("example_package");
    static std::string inf;
    if (!inf.empty()) {
        return inf;
    }
    std::string source = TestsDirectory() + "\\..\\examples\\camera\\";
    for (const char* name : {"zkcamera.inf", "zkcoinst.ini", "registered_programs.reg"}) {
        EXPECT_TRUE(CopyFileA((source + name).c_str(), folder.File(name).c_str(), FALSE))
            << source << name;
    }
    std::string copied = folder.File("zkcamera.inf");
    for (const char* key :
         {"CatalogFile", "CatalogFile.NT", "CatalogFile.NTx86", "CatalogFile.NTamd64"}) {
        char catalog[MAX_PATH] = "";
        GetPrivateProfileStringA("Version", key, "", catalog, sizeof(catalog), copied.c_str());
        if (catalog[0] != '\0' && !FileExists(folder.File(catalog))) {
            WriteFileBytes(folder.File(catalog), "stand-in for the catalog that signing makes\r\n");
        }
    }
    inf = copied;
    return inf;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

void RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                RemoveFile(child);
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

FreshInstallLog::FreshInstallLog() {
    RemoveFile(InstallLogPath());
}
FreshInstallLog::~FreshInstallLog() {
    RemoveFile(InstallLogPath());
}
std::string FreshInstallLog::Read() const {
    return ReadFileBytes(InstallLogPath());
}

std::string WithoutTimestamps(const std::string& text) {
    static const std::regex stamp(
        R"(\[[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2} [0-9]{4}\])");
    return std::regex_replace(text, stamp, "[T]");
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace zktest
