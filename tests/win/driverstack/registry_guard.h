// Registry, service and log helpers of the driver stack's tests under Wine.
// Every test puts back what it touched: the prefix is shared by all tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dstest {

inline constexpr char kImageClass[] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
inline constexpr char kMediaClass[] = "{4D36E96C-E325-11CE-BFC1-08002BE10318}";
inline constexpr char kVolumeClass[] = "{71A27CDD-812A-11D0-BEC7-08002BE2092F}";

// HKLM "SYSTEM\CurrentControlSet\Control\Class\<guid>".
std::string ClassKeyPath(const char* guid);
// HKLM "SYSTEM\CurrentControlSet\Services\<name>".
std::string ServiceKeyPath(const char* name);

struct RegValue {
    bool exists;
    DWORD type;
    std::string bytes;
};

// A string value as the registry stores it when it is written with the
// text's length only: the system counts the NUL that follows the text in the
// caller's buffer (ANSI writes on Windows NT and Wine alike), so what the
// package writes "without its terminator" reads back terminated.
std::string StoredText(const std::string& text);

// Values under HKEY_LOCAL_MACHINE, with the bytes as stored.
RegValue ReadValue(const std::string& path, const char* name);
void WriteValue(const std::string& path, const char* name, DWORD type, const std::string& bytes);
void DeleteValue(const std::string& path, const char* name);
bool KeyExists(const std::string& path);
void DeleteKeyTree(const std::string& path);
DWORD ReadNumber(const std::string& path, const char* name);

// Puts an HKLM key back as it was when the guard was made: a key that did not
// exist is deleted with everything below it; one that did gets the named
// values back (or loses them, when they were absent).
class KeyGuard {
public:
    KeyGuard(const std::string& path, std::vector<std::string> valueNames);
    ~KeyGuard();
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

private:
    std::string path_;
    bool existed_;
    std::vector<std::string> names_;
    std::vector<RegValue> values_;
};

// A kernel-driver service known to the service manager for the guard's life.
class TestService {
public:
    explicit TestService(const char* name);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

private:
    std::string name_;
};

// Deletes the service (and its key) if the service manager knows it.
void RemoveService(const char* name);
bool ServiceExists(const char* name);

// A file for the guard's life.
class TestFile {
public:
    explicit TestFile(const std::string& path);
    ~TestFile();
    TestFile(const TestFile&) = delete;
    TestFile& operator=(const TestFile&) = delete;

private:
    std::string path_;
};

// The messages of the log's runs (the lines indented by three blanks, other
// than the binary line), without their line ends.
std::vector<std::string> LogMessages(const std::string& log);

}  // namespace dstest
