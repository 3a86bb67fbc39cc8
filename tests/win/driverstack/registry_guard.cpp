#include "registry_guard.h"

#include <shlwapi.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace dstest {

std::string ClassKeyPath(const char* guid) {
    return std::string("SYSTEM\\CurrentControlSet\\Control\\Class\\") + guid;
}

std::string ServiceKeyPath(const char* name) {
    return std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
}

std::string StoredText(const std::string& text) {
    return text + '\0';
}

RegValue ReadValue(const std::string& path, const char* name) {
    // Read through the wide API, which gives the bytes as stored: the ANSI
    // one adds a terminator to a string value stored without one.
    RegValue value = {false, 0, ""};
    std::wstring widePath(path.begin(), path.end());
    std::wstring wideName(name, name + strlen(name));
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, widePath.c_str(), 0, KEY_QUERY_VALUE, &key) != 0) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, nullptr, &size) == 0) {
        std::string bytes(size + 2, '\0');
        if (RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&bytes[0]), &size) == 0) {
            value.exists = true;
            bytes.resize(size);
            if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
                // The tests' strings are ASCII: one byte per UTF-16 unit.
                std::string narrow;
                for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                    narrow += bytes[i];
                }
                bytes = narrow;
            }
            value.bytes = bytes;
        }
    }
    RegCloseKey(key);
    return value;
}

void WriteValue(const std::string& path, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr))
        << path;
    EXPECT_EQ(0, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size())))
        << path << " " << name;
    RegCloseKey(key);
}

void DeleteValue(const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) == 0) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != 0) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(const std::string& path) {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

DWORD ReadNumber(const std::string& path, const char* name) {
    RegValue value = ReadValue(path, name);
    DWORD number = 0xFFFFFFFF;
    if (value.exists && value.type == REG_DWORD && value.bytes.size() == sizeof(number)) {
        memcpy(&number, value.bytes.data(), sizeof(number));
    }
    return number;
}

KeyGuard::KeyGuard(const std::string& path, std::vector<std::string> valueNames)
    : path_(path), existed_(KeyExists(path)), names_(std::move(valueNames)) {
    for (const std::string& name : names_) {
        values_.push_back(ReadValue(path_, name.c_str()));
    }
}

KeyGuard::~KeyGuard() {
    if (!existed_) {
        DeleteKeyTree(path_);
        return;
    }
    for (size_t i = 0; i < names_.size(); ++i) {
        if (values_[i].exists) {
            WriteValue(path_, names_[i].c_str(), values_[i].type, values_[i].bytes);
        } else {
            DeleteValue(path_, names_[i].c_str());
        }
    }
}

TestService::TestService(const char* name) : name_(name) {
    RemoveService(name);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    EXPECT_NE(nullptr, manager);
    if (manager == nullptr) {
        return;
    }
    std::string image = std::string("system32\\drivers\\") + name + ".sys";
    SC_HANDLE service = CreateServiceA(
        manager, name, name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, service) << name << " " << GetLastError();
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

TestService::~TestService() {
    RemoveService(name_.c_str());
}

void RemoveService(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return;
    }
    SC_HANDLE service = OpenServiceA(manager, name, DELETE);
    if (service != nullptr) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    DeleteKeyTree(ServiceKeyPath(name));
}

bool ServiceExists(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return false;
    }
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return service != nullptr;
}

TestFile::TestFile(const std::string& path) : path_(path) {
    zktest::WriteFileBytes(path, "MZ");
}

TestFile::~TestFile() {
    zktest::RemoveFile(path_);
}

std::vector<std::string> LogMessages(const std::string& log) {
    std::vector<std::string> messages;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) {
            end = log.size();
        }
        std::string line = log.substr(at, end - at);
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, 3, "   ") == 0 && line.compare(0, 10, "   Binary:") != 0) {
            messages.push_back(line.substr(3));
        }
        at = end + 1;
    }
    return messages;
}

}  // namespace dstest
