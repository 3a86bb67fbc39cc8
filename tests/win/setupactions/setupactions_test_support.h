// Helpers of the setup-action tests under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DeviceContext;

namespace zktest {

// A build output (a Unix path from CMake) as a Windows path on drive Z:.
std::string BuildOutputPath(const char* unixPath);

// Runs body with a fresh context (and a fresh log) and returns the messages of
// that one run: the lines between the run start and the stop line, with the
// text-mode "\r\n" turned back into "\n".
std::string LoggedRun(void (*body)(DeviceContext*, void*), void* data);
template <typename Body>
std::string LoggedRun(Body body) {
    return LoggedRun(
        [](DeviceContext* context, void* data) { (*static_cast<Body*>(data))(context); }, &body);
}

// Waits up to timeoutMs for path to exist and be readable; its bytes, or "".
std::string WaitForRecord(const std::string& path, DWORD timeoutMs = 20000);

// Deletes path, retrying while a process that was started on it still holds it.
void DeleteWhenReleased(const std::string& path);

// Restores one HKLM value (or its absence) when it goes out of scope.
class SavedRegistryValue {
public:
    SavedRegistryValue(const char* keyPath, const char* valueName);
    ~SavedRegistryValue();

private:
    std::string keyPath_;
    std::string valueName_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::string data_;
};

// Takes an HKLM key (with no subkeys of its own) out of the way for a test:
// deletes it now, and when it goes out of scope deletes whatever the test left
// there and puts the key back with the values it had, if it existed.
class SavedKey {
public:
    explicit SavedKey(const char* keyPath);
    ~SavedKey();

private:
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::string keyPath_;
    bool existed_ = false;
    std::vector<Value> values_;
};

// Restores a file's bytes (or its absence) when it goes out of scope.
class SavedFile {
public:
    explicit SavedFile(const std::string& path);
    ~SavedFile();

private:
    std::string path_;
    bool existed_;
    std::string bytes_;
};

// A REG_DWORD, REG_SZ or other value of HKLM as its type and bytes; type 0 and
// "" when absent.
struct RegistryValue {
    bool exists;
    DWORD type;
    std::string data;
};
RegistryValue ReadHklmValue(const char* keyPath, const char* valueName);

}  // namespace zktest
