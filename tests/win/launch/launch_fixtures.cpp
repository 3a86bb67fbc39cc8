#include "launch_fixtures.h"

#include <shlwapi.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/bounded_text.h"
#include "common/guid_text.h"
#include "core/device_context.h"

namespace zktest {

namespace {

const char kMakerKey[] = "SOFTWARE\\Marvanto";
const char kAppsKey[] = "SOFTWARE\\Marvanto\\ZKCoInstaller";

std::string ClassName(const GUID& guid) {
    if (IsEqualGUID(guid, kImageClassGuid)) {
        return "Image";
    }
    if (IsEqualGUID(guid, kMediaClassGuid)) {
        return "MEDIA";
    }
    return "Ports";
}

// The stub that the build made, as a Windows path.
std::string StubProgram() {
    std::string path = std::string("Z:") + ZK_RECORD_STUB;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

}  // namespace

std::string TestWindowsVersion() {
    const char* version = getenv("ZK_WINVER");
    return version == nullptr ? "" : version;
}

TestDevice::TestDevice(const GUID& classGuid, const std::vector<std::string>& hardwareIds,
                       const TestInf& inf)
    : folder_("launch_device") {
    std::string text = "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nClass=" + ClassName(classGuid) +
                       "\r\nClassGuid=" + zk::GuidText(classGuid).c_str() +
                       "\r\nProvider=%Mfg%\r\n";
    if (inf.withDriverVer) {
        text += "DriverVer=" + inf.driverVer + "\r\n";
    }
    text += "\r\n[Manufacturer]\r\n%Mfg%=Models\r\n\r\n[Models]\r\n%Desc%=" + inf.section + "," +
            hardwareIds.front() + "\r\n\r\n[" + inf.section + "]\r\n\r\n[Strings]\r\nMfg=\"" +
            inf.manufacturer + "\"\r\nDesc=\"Test camera\"\r\n";
    std::string infPath = folder_.File("test.inf");
    WriteFileBytes(infPath, text);
    Prepare(classGuid, hardwareIds, infPath);
}

void TestDevice::Prepare(const GUID& classGuid, const std::vector<std::string>& hardwareIds,
                         const std::string& infPath) {
    GUID guid = classGuid;
    set_.Reset(SetupDiCreateDeviceInfoList(&guid, nullptr));
    ASSERT_TRUE(set_.IsValid());
    data_.cbSize = sizeof(data_);
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set_.Get(), ClassName(classGuid).c_str(), &guid,
                                         "Test camera", nullptr, DICD_GENERATE_ID, &data_));
    std::string ids;
    for (const std::string& id : hardwareIds) {
        ids.append(id).push_back('\0');
    }
    ids.push_back('\0');
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set_.Get(), &data_, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(ids.data()),
                                                  static_cast<DWORD>(ids.size())));
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    ASSERT_TRUE(SetupDiGetDeviceInstallParamsA(set_.Get(), &data_, &params));
    ASSERT_LT(infPath.size(), sizeof(params.DriverPath));
    ASSERT_TRUE(zk::CopyText(params.DriverPath, sizeof(params.DriverPath), infPath.c_str()));
    params.Flags |= DI_ENUMSINGLEINF;
    ASSERT_TRUE(SetupDiSetDeviceInstallParamsA(set_.Get(), &data_, &params));
    ASSERT_TRUE(SetupDiBuildDriverInfoList(set_.Get(), &data_, SPDIT_COMPATDRIVER));
    ASSERT_TRUE(SetupDiSelectBestCompatDrv(set_.Get(), &data_)) << GetLastError();
    ready_ = true;
}

void TestDevice::SetInstallFlags(DWORD flags) {
    SP_DEVINSTALL_PARAMS_A params;
    params.cbSize = sizeof(params);
    ASSERT_TRUE(SetupDiGetDeviceInstallParamsA(set_.Get(), &data_, &params));
    params.Flags |= flags;
    ASSERT_TRUE(SetupDiSetDeviceInstallParamsA(set_.Get(), &data_, &params));
}

TestContext::TestContext() {
    // Keyed by this fixture, so contexts of two fixtures never share a record.
    context_ = GetDeviceContext(this);
}

TestContext::~TestContext() {
    ReleaseDeviceContext(context_);
}

std::string TestContext::Finish() {
    ReleaseDeviceContext(context_);
    context_ = nullptr;
    return WithoutTimestamps(log_.Read());
}

ControlFile::ControlFile(const std::string& text) : path_(SystemDirectory() + "\\zkcoinst.ini") {
    existed_ = FileExists(path_);
    if (existed_) {
        previous_ = ReadFileBytes(path_);
    }
    WriteFileBytes(path_, text);
}

ControlFile::~ControlFile() {
    if (existed_) {
        WriteFileBytes(path_, previous_);
    } else {
        RemoveFile(path_);
    }
}

InstalledStub::InstalledStub(const std::string& path) : path_(path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        std::string folder = path.substr(0, at);
        if (!FileExists(folder) && CreateDirectoryA(folder.c_str(), nullptr)) {
            createdFolders_.push_back(folder);
        }
    }
    EXPECT_TRUE(CopyFileA(StubProgram().c_str(), path.c_str(), FALSE)) << StubProgram();
}

InstalledStub::~InstalledStub() {
    RemoveFile(path_);
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
        RemoveDirectoryA(it->c_str());
    }
}

StubRecord::StubRecord() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ =
        std::string(temp) + "zk_launch_record_" + std::to_string(GetCurrentProcessId()) + ".txt";
    RemoveFile(path_);
    SetEnvironmentVariableA("ZK_STUB_RECORD", path_.c_str());
}

StubRecord::~StubRecord() {
    SetEnvironmentVariableA("ZK_STUB_RECORD", nullptr);
    RemoveFile(path_);
}

std::vector<StubRecord::Entry> StubRecord::Read(size_t count, int seconds) const {
    std::vector<Entry> entries;
    for (int waited = 0;; waited += 100) {
        entries.clear();
        std::string text = ReadFileBytes(path_);
        size_t start = 0;
        for (size_t end = text.find("\r\n"); end != std::string::npos;
             start = end + 2, end = text.find("\r\n", start)) {
            std::string line = text.substr(start, end - start);
            size_t tab1 = line.find('\t');
            size_t tab2 = line.find('\t', tab1 + 1);
            entries.push_back(Entry{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1),
                                    line.substr(tab2 + 1)});
        }
        if (entries.size() >= count || waited >= seconds * 1000) {
            return entries;
        }
        Sleep(100);
    }
}

RegisteredApps::RegisteredApps() {
    HKEY key = nullptr;
    createdMaker_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMakerKey, 0, KEY_READ, &key) != 0;
    if (key != nullptr) {
        RegCloseKey(key);
        key = nullptr;
    }
    createdKey_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppsKey, 0, KEY_READ, &key) != 0;
    if (key != nullptr) {
        RegCloseKey(key);
    }
    EXPECT_TRUE(createdKey_) << "registered programs already exist in this prefix";
}

RegisteredApps::~RegisteredApps() {
    if (createdKey_) {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kAppsKey);
    }
    if (createdMaker_) {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMakerKey);
    }
}

void RegisteredApps::SetBytes(const std::string& entry, const char* name, const std::string& bytes,
                              DWORD type) {
    zk::UniqueRegKey key;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kAppsKey) + "\\" + entry).c_str(),
                                 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
    ASSERT_EQ(0,
              RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())));
}

void RegisteredApps::SetString(const std::string& entry, const char* name,
                               const std::string& value) {
    SetBytes(entry, name, std::string(value.c_str(), value.size() + 1), REG_SZ);
}

void RegisteredApps::SetDword(const std::string& entry, const char* name, DWORD value) {
    SetBytes(entry, name, std::string(reinterpret_cast<const char*>(&value), sizeof(value)),
             REG_DWORD);
}

void RegisteredApps::Add(const std::string& entry, const std::string& path, const std::string& name,
                         const std::string& parameters, int preInstall, int postInstall) {
    SetString(entry, "Path", path);
    SetString(entry, "Name", name);
    SetString(entry, "Parameters", parameters);
    if (preInstall >= 0) {
        SetDword(entry, "PreInstall", static_cast<DWORD>(preInstall));
    }
    if (postInstall >= 0) {
        SetDword(entry, "PostInstall", static_cast<DWORD>(postInstall));
    }
}

}  // namespace zktest
