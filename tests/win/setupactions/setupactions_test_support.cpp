#include "setupactions_test_support.h"

#include <shlwapi.h>
#include <gtest/gtest.h>

#include "core/device_context.h"
#include "test_support.h"

namespace zktest {

std::string BuildOutputPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string LoggedRun(void (*body)(DeviceContext*, void*), void* data) {
    FreshInstallLog log;
    static int next = 0;
    const void* key = reinterpret_cast<const void*>(static_cast<uintptr_t>(0x5e70 + (++next)));
    DeviceContext* context = GetDeviceContext(key);
    if (context == nullptr) {
        ADD_FAILURE() << "no context";
        return "";
    }
    body(context, data);
    ReleaseDeviceContext(context);
    std::string text = log.Read();
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        plain += text[i];
    }
    const std::string binary = "   Binary: ";
    size_t start = plain.find(binary);
    size_t stop = plain.rfind("Stop co-installer: ");
    if (start == std::string::npos || stop == std::string::npos) {
        ADD_FAILURE() << "no run in the log: " << plain;
        return plain;
    }
    start = plain.find('\n', start) + 1;
    return plain.substr(start, stop - start);
}

std::string WaitForRecord(const std::string& path, DWORD timeoutMs) {
    DWORD waited = 0;
    while (waited < timeoutMs) {
        if (FileExists(path)) {
            // The writer may still hold the file open.
            Sleep(100);
            std::string bytes = ReadFileBytes(path);
            if (!bytes.empty()) {
                return bytes;
            }
        }
        Sleep(100);
        waited += 200;
    }
    return "";
}

void DeleteWhenReleased(const std::string& path) {
    for (int attempt = 0; attempt < 100 && FileExists(path); ++attempt) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileA(path.c_str())) {
            return;
        }
        Sleep(100);
    }
}

SavedRegistryValue::SavedRegistryValue(const char* keyPath, const char* valueName)
    : keyPath_(keyPath), valueName_(valueName) {
    RegistryValue value = ReadHklmValue(keyPath, valueName);
    existed_ = value.exists;
    type_ = value.type;
    data_ = value.data;
}

SavedRegistryValue::~SavedRegistryValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    if (existed_) {
        RegSetValueExA(key, valueName_.c_str(), 0, type_,
                       reinterpret_cast<const BYTE*>(data_.data()),
                       static_cast<DWORD>(data_.size()));
    } else {
        RegDeleteValueA(key, valueName_.c_str());
    }
    RegCloseKey(key);
}

SavedKey::SavedKey(const char* keyPath) : keyPath_(keyPath) {
    HKEY key = nullptr;
    existed_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (!existed_) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof(name);
        BYTE data[4096];
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS) {
            break;
        }
        values_.push_back(Value{std::string(name, nameLength), type,
                                std::string(reinterpret_cast<char*>(data), dataLength)});
    }
    RegCloseKey(key);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
}

SavedKey::~SavedKey() {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath_.c_str());
    if (!existed_) {
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const Value& value : values_) {
        RegSetValueExA(key, value.name.c_str(), 0, value.type,
                       reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(key);
}

SavedFile::SavedFile(const std::string& path) : path_(path), existed_(FileExists(path)) {
    if (existed_) {
        bytes_ = ReadFileBytes(path);
    }
}

SavedFile::~SavedFile() {
    if (existed_) {
        WriteFileBytes(path_, bytes_);
    } else {
        RemoveFile(path_);
    }
}

RegistryValue ReadHklmValue(const char* keyPath, const char* valueName) {
    RegistryValue value{false, 0, ""};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(key, valueName, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.data[0]), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(key);
    if (!value.exists) {
        value.type = 0;
        value.data.clear();
    }
    return value;
}

}  // namespace zktest
