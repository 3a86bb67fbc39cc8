#include "setupactions/hid_registry_actions.h"

#include <windows.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <string>

#include "setupactions_test_support.h"
#include "test_support.h"

namespace {

using zktest::LoggedRun;
using zktest::ReadHklmValue;

const char kTestKey[] = "SOFTWARE\\ZkSetupActionsTest";

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<char*>(&value), 4);
}

// Creates kTestKey\Level1\Level2 with a few values, removed again afterwards.
class TestKeys {
public:
    TestKeys() {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path("Level1\\Level2").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr));
        const char text[] = "text";
        RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
        RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
        DWORD seven = 7;
        RegSetValueExA(key, "Seven", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4);
        RegCloseKey(key);
    }
    ~TestKeys() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey); }
    static std::string Path(const char* rest) { return std::string(kTestKey) + "\\" + rest; }
};

TEST(RegistryActions, CreateWritesDwordOneIntoExistingKeysOnly) {
    TestKeys keys;
    const std::string deep = TestKeys::Path("Level1\\Level2");
    struct Case {
        std::string argument;
        bool written;
        std::string key;
        const char* value;
    };
    const Case cases[] = {
        // Three levels deep: only the last backslash splits.
        {deep + "\\NewValue", true, deep, "NewValue"},
        // Another type is replaced by the REG_DWORD 1.
        {deep + "\\Text", true, deep, "Text"},
        {deep + "\\Seven", true, deep, "Seven"},
        // A trailing backslash addresses the default value.
        {deep + "\\", true, deep, ""},
        // Value names keep blanks and commas.
        {deep + "\\a b,c", true, deep, "a b,c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.written, CreateRegKeyHKLM(c.argument.c_str())) << c.argument;
        zktest::RegistryValue value = ReadHklmValue(c.key.c_str(), c.value);
        EXPECT_TRUE(value.exists) << c.argument;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type) << c.argument;
        EXPECT_EQ(Dword(1), value.data) << c.argument;
    }

    // A missing key is not created, at any level.
    const std::string missing = TestKeys::Path("Level1\\Missing\\Deeper");
    EXPECT_FALSE(CreateRegKeyHKLM((missing + "\\Value").c_str()));
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, TestKeys::Path("Level1\\Missing").c_str(), 0,
                            KEY_READ, &key));

    // No backslash, no key path: refused, nothing written at the root.
    EXPECT_FALSE(CreateRegKeyHKLM("ZkSetupActionsNoKey"));
    EXPECT_FALSE(ReadHklmValue("", "ZkSetupActionsNoKey").exists);
}

TEST(RegistryActions, DeleteRemovesOneValue) {
    TestKeys keys;
    const std::string deep = TestKeys::Path("Level1\\Level2");
    EXPECT_TRUE(DeleteRegKeyHKLM((deep + "\\Seven").c_str()));
    EXPECT_FALSE(ReadHklmValue(deep.c_str(), "Seven").exists);
    // The other values and the key stay.
    EXPECT_TRUE(ReadHklmValue(deep.c_str(), "Text").exists);

    EXPECT_TRUE(DeleteRegKeyHKLM((deep + "\\").c_str()));
    EXPECT_FALSE(ReadHklmValue(deep.c_str(), "").exists);
    EXPECT_TRUE(ReadHklmValue(deep.c_str(), "Text").exists);

    // Gone already, a missing key, or no key path at all: false, nothing else.
    EXPECT_FALSE(DeleteRegKeyHKLM((deep + "\\Seven").c_str()));
    EXPECT_FALSE(DeleteRegKeyHKLM(TestKeys::Path("Missing\\Text").c_str()));
    EXPECT_FALSE(DeleteRegKeyHKLM("Text"));
    EXPECT_TRUE(ReadHklmValue(deep.c_str(), "Text").exists);
}

// The system directory's hidusb.sys and its Drivers copy, as the test found
// them, are put back afterwards.
class HidUsbFiles {
public:
    HidUsbFiles()
        : source_(zktest::SystemDirectory() + "\\hidusb.sys"),
          target_(zktest::SystemDirectory() + "\\Drivers\\hidusb.sys"),
          savedSource_(source_),
          savedTarget_(target_) {}
    const std::string& Source() const { return source_; }
    const std::string& Target() const { return target_; }
    std::string ExpectedStart() const {
        return "   Copying File \n   From: " + source_ + "\n   To: " + target_ + "\n";
    }

private:
    std::string source_;
    std::string target_;
    zktest::SavedFile savedSource_;
    zktest::SavedFile savedTarget_;
};

TEST(CopyHidUsbDriver, OverwritesTheDriversCopyAndRestoresTheErrorMode) {
    HidUsbFiles files;
    zktest::WriteFileBytes(files.Source(), "new driver");
    zktest::WriteFileBytes(files.Target(), "old driver, longer than the new one");

    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    std::string log = LoggedRun([](DeviceContext* context) { CopyHIDUSBDriver(context); });
    EXPECT_EQ(static_cast<UINT>(SEM_NOGPFAULTERRORBOX), SetErrorMode(0));

    EXPECT_EQ(files.ExpectedStart() + "   SHFileOperation() operation Succeeded \n", log);
    EXPECT_EQ("new driver", zktest::ReadFileBytes(files.Target()));
}

TEST(CopyHidUsbDriver, AMissingSourceIsLoggedAndChangesNothing) {
    HidUsbFiles files;
    zktest::RemoveFile(files.Source());
    zktest::WriteFileBytes(files.Target(), "old driver");

    SetErrorMode(0);
    std::string log = LoggedRun([](DeviceContext* context) { CopyHIDUSBDriver(context); });
    EXPECT_EQ(0u, SetErrorMode(0));

    const std::string failed = "   ERROR: SHFileOperation() operation Failed... Result - ";
    ASSERT_EQ(files.ExpectedStart(), log.substr(0, files.ExpectedStart().size()));
    std::string rest = log.substr(files.ExpectedStart().size());
    EXPECT_EQ(failed, rest.substr(0, failed.size())) << log;
    EXPECT_NE(failed + "0\n", rest);
    EXPECT_EQ("old driver", zktest::ReadFileBytes(files.Target()));
}

}  // namespace
