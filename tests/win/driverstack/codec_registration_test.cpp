#include "driverstack/codec_registration.h"

#include <windows.h>
#include <setupapi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "entry/coinstaller_entry.h"
#include "core/device_context.h"
#include "registry_guard.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using dstest::LogMessages;
using dstest::ReadValue;
using dstest::RegValue;
using Messages = std::vector<std::string>;

const char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const void* const kHandle = reinterpret_cast<const void*>(0x7200);
const char* const kOpenFailed = zktest::kCodecOpenFailed;

// The program is built once per Windows version; the codec is registered
// from Windows 2000 on.
bool RegistersCodecs() {
    const char* version = getenv("ZK_WINVER");
    return version == nullptr || std::string(version) != "nt40";
}

Messages RunUpdateCodecs() {
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(kHandle);
    EXPECT_NE(nullptr, context);
    UpdateCodecs(context);
    ReleaseDeviceContext(context);
    return LogMessages(log.Read());
}

class CodecRegistration : public testing::Test {
protected:
    CodecRegistration() : drivers32_(kDrivers32, {"VIDC.I420"}) {}

private:
    dstest::KeyGuard drivers32_;
};

TEST_F(CodecRegistration, RegistersTheCodecFileNameWithItsTerminator) {
    // Whatever another codec set is overwritten.
    dstest::WriteValue(kDrivers32, "VIDC.I420", REG_SZ, "other.dll\0"s);
    Messages messages = RunUpdateCodecs();
    RegValue value = ReadValue(kDrivers32, "VIDC.I420");
    if (!RegistersCodecs()) {
        EXPECT_EQ(Messages(), messages);
        EXPECT_EQ("other.dll\0"s, value.bytes);
        return;
    }
    EXPECT_EQ((Messages{"Updating codecs ...", "Done updating codecs."}), messages);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ("zkcodec2.dll\0"s, value.bytes);
    EXPECT_EQ(13u, value.bytes.size());
}

TEST_F(CodecRegistration, AKeyThatCannotBeOpenedIsLoggedBetweenTheBrackets) {
    // The key is taken away with its values and put back afterwards; it is
    // opened, never created.
    HKEY key = nullptr;
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_READ, &key));
    std::vector<std::pair<std::string, RegValue>> saved;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) {
            break;
        }
        saved.emplace_back(name, ReadValue(kDrivers32, name));
    }
    RegCloseKey(key);
    ASSERT_EQ(0, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDrivers32));

    Messages messages = RunUpdateCodecs();
    bool created = dstest::KeyExists(kDrivers32);

    for (const auto& value : saved) {
        dstest::WriteValue(kDrivers32, value.first.c_str(), value.second.type, value.second.bytes);
    }
    if (saved.empty()) {
        dstest::WriteValue(kDrivers32, "VIDC.I420", REG_SZ, "x\0"s);
    }
    EXPECT_FALSE(created);
    if (RegistersCodecs()) {
        EXPECT_EQ((Messages{"Updating codecs ...", kOpenFailed, "Done updating codecs."}),
                  messages);
    } else {
        EXPECT_EQ(Messages(), messages);
    }
}

TEST_F(CodecRegistration, AFailedWriteIsLoggedWithTheValueName) {
    HKEY readOnly = nullptr;
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_READ, &readOnly));
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              SetCodecValue(context, readOnly, "VIDC.I420", "zkcodec2.dll"));
    EXPECT_EQ(0u, SetCodecValue(context, HKEY_CURRENT_USER, "ZkCodecTest", "zkcodec2.dll"));
    ReleaseDeviceContext(context);
    RegCloseKey(readOnly);
    HKEY user = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_SET_VALUE, &user) == 0) {
        RegDeleteValueA(user, "ZkCodecTest");
        RegCloseKey(user);
    }
    EXPECT_EQ(Messages{"ERROR: Failed to set \"VIDC.I420\" codec."}, LogMessages(log.Read()));
}

TEST_F(CodecRegistration, AnInstallationRegistersAtTheEndOfBothPhases) {
    // The installation's first step edits the Image class list; it is put back.
    dstest::KeyGuard image(dstest::ClassKeyPath(dstest::kImageClass), {"LowerFilters"});
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    zktest::FreshInstallLog log;
    COINSTALLER_CONTEXT_DATA phase = {};
    EXPECT_EQ(0xE0000226u, ZkCoInstaller(DIF_INSTALLDEVICE, set, nullptr, &phase));
    phase.PostProcessing = TRUE;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), ZkCoInstaller(DIF_INSTALLDEVICE, set, nullptr, &phase));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              ZkCoInstaller(DIF_DESTROYPRIVATEDATA, set, nullptr, nullptr));
    SetupDiDestroyDeviceInfoList(set);

    Messages messages = LogMessages(log.Read());
    std::string all;
    for (const std::string& message : messages) {
        all += message + "\n";
    }
    if (!RegistersCodecs()) {
        EXPECT_EQ(0u, zktest::CountOf(all, "codecs")) << all;
        return;
    }
    EXPECT_EQ(2u, zktest::CountOf(all, "Updating codecs ...\nDone updating codecs.\n")) << all;
    // Each phase ends with the pair.
    EXPECT_NE(std::string::npos,
              all.find("Done updating codecs.\nDIF Code: DIF_INSTALLDEVICE (Post-processing)"))
        << all;
    EXPECT_NE(std::string::npos,
              all.find("Done updating codecs.\nDIF Code: DIF_DESTROYPRIVATEDATA"))
        << all;
    EXPECT_EQ("zkcodec2.dll\0"s, ReadValue(kDrivers32, "VIDC.I420").bytes);
}

}  // namespace
