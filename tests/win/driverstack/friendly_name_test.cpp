#include "driverstack/friendly_name.h"

#include <windows.h>
#include <setupapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_guard.h"

namespace {

using namespace std::string_literals;

// A class of its own, so that the test's driver keys sit apart from the
// classes the other tests edit; its key is removed at the end.
const GUID kTestClass = {0x0BADC0DE, 0x2222, 0x4444, {1, 2, 3, 4, 5, 6, 7, 8}};
const char kTestClassString[] = "{0BADC0DE-2222-4444-0102-030405060708}";

struct StoredValue {
    bool exists;
    DWORD type;
    std::string text;  // as stored, terminator included when there is one
};

// A registered device with a driver key, removed again with its keys.
class TestDevice {
public:
    explicit TestDevice(const std::string* friendlyName) {
        set_ = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, set_);
        data_.cbSize = sizeof(data_);
        EXPECT_TRUE(SetupDiCreateDeviceInfoA(set_, "ZKTESTCAM", &kTestClass, nullptr, nullptr,
                                             DICD_GENERATE_ID, &data_))
            << GetLastError();
        if (friendlyName != nullptr) {
            std::string property = *friendlyName + '\0';
            EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(
                set_, &data_, SPDRP_FRIENDLYNAME, reinterpret_cast<const BYTE*>(property.data()),
                static_cast<DWORD>(property.size())))
                << GetLastError();
        }
        EXPECT_TRUE(SetupDiRegisterDeviceInfo(set_, &data_, 0, nullptr, nullptr, nullptr))
            << GetLastError();
        HKEY key =
            SetupDiCreateDevRegKeyA(set_, &data_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, key) << GetLastError();
        if (key != INVALID_HANDLE_VALUE) {
            RegCloseKey(key);
        }
    }

    ~TestDevice() {
        SetupDiDeleteDevRegKey(set_, &data_, DICS_FLAG_GLOBAL, 0, DIREG_BOTH);
        SetupDiRemoveDevice(set_, &data_);
        SetupDiDestroyDeviceInfoList(set_);
        dstest::DeleteKeyTree(dstest::ClassKeyPath(kTestClassString));
        dstest::DeleteKeyTree("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\ZKTESTCAM");
    }

    int Update() { return UpdateFriendlyNameAndVendor(set_, &data_); }

    // Writes the exact text through the wide API. The unit after it is not a
    // NUL, so that the system does not count one in: a text without a
    // terminator is stored without one.
    void Set(const wchar_t* name, DWORD type, const std::string& text) {
        std::vector<wchar_t> wide(text.begin(), text.end());
        wide.push_back(L'X');
        HKEY key = DriverKey(KEY_SET_VALUE);
        EXPECT_EQ(0, RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(wide.data()),
                                    static_cast<DWORD>(text.size() * sizeof(wchar_t))));
        RegCloseKey(key);
    }

    StoredValue Get(const wchar_t* name) {
        StoredValue value = {false, 0, ""};
        HKEY key = DriverKey(KEY_QUERY_VALUE);
        wchar_t buffer[1024];
        DWORD size = sizeof(buffer);
        if (RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer),
                             &size) == 0) {
            value.exists = true;
            for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) {
                value.text += static_cast<char>(buffer[i]);
            }
        }
        RegCloseKey(key);
        return value;
    }

private:
    HKEY DriverKey(REGSAM access) {
        HKEY key = SetupDiOpenDevRegKey(set_, &data_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, access);
        EXPECT_NE(INVALID_HANDLE_VALUE, key);
        return key;
    }

    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA data_ = {};
};

TEST(FriendlyNameAndVendor, ANameContainedInTheValueIsKept) {
    const std::string name = "Cam 3000";
    // A REG_EXPAND_SZ type shows that the value was not rewritten.
    const std::string kept[] = {"Cam 3000\0"s, "Cam 3000"s, "Marvanto Cam 3000\0"s,
                                "Cam 3000 (USB)\0"s};
    for (const std::string& text : kept) {
        TestDevice device(&name);
        device.Set(L"FriendlyName", REG_EXPAND_SZ, text);
        device.Set(L"Vendor", REG_SZ, "Acme\0"s);
        EXPECT_EQ(1, device.Update()) << text;
        StoredValue value = device.Get(L"FriendlyName");
        EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), value.type) << text;
        EXPECT_EQ(text, value.text);
    }
}

TEST(FriendlyNameAndVendor, ANameNotContainedIsWrittenAndVendorBecomesTheMaker) {
    const std::string name = "Cam 3000";
    struct Case {
        const char* what;
        std::string friendlyName;
    } cases[] = {
        {"differs in case only", "CAM 3000\0"s},
        {"other text", "USB Video Device\0"s},
        {"the name after a NUL", "x\0Cam 3000\0"s},
        {"empty", ""s},
    };
    for (const Case& c : cases) {
        TestDevice device(&name);
        device.Set(L"FriendlyName", REG_EXPAND_SZ, c.friendlyName);
        device.Set(L"Vendor", REG_EXPAND_SZ, "Acme Corporation\0"s);
        EXPECT_EQ(1, device.Update()) << c.what;
        StoredValue friendly = device.Get(L"FriendlyName");
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), friendly.type) << c.what;
        EXPECT_EQ(dstest::StoredText(name), friendly.text) << c.what;
        StoredValue vendor = device.Get(L"Vendor");
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), vendor.type) << c.what;
        EXPECT_EQ(dstest::StoredText("Marvanto"), vendor.text) << c.what;

        // A second run finds both as the first left them.
        EXPECT_EQ(1, device.Update()) << c.what;
        EXPECT_EQ(dstest::StoredText(name), device.Get(L"FriendlyName").text) << c.what;
        EXPECT_EQ(dstest::StoredText("Marvanto"), device.Get(L"Vendor").text) << c.what;
    }
}

TEST(FriendlyNameAndVendor, AbsentValuesAreNotCreated) {
    const std::string name = "Cam 3000";
    TestDevice device(&name);
    EXPECT_EQ(0, device.Update());
    EXPECT_FALSE(device.Get(L"FriendlyName").exists);
    EXPECT_FALSE(device.Get(L"Vendor").exists);

    device.Set(L"FriendlyName", REG_SZ, "Other\0"s);
    EXPECT_EQ(0, device.Update());
    EXPECT_EQ(dstest::StoredText(name), device.Get(L"FriendlyName").text);
    EXPECT_FALSE(device.Get(L"Vendor").exists);
}

TEST(FriendlyNameAndVendor, NothingIsTouchedWithoutAUsableDeviceName) {
    const std::string longest(259, 'n');
    const std::string tooLong(260, 'n');
    struct Case {
        const char* what;
        const std::string* name;
        bool touched;
    } cases[] = {
        {"no friendly name", nullptr, false},
        {"259 characters fit", &longest, true},
        {"260 characters do not", &tooLong, false},
    };
    for (const Case& c : cases) {
        TestDevice device(c.name);
        device.Set(L"FriendlyName", REG_EXPAND_SZ, "Other\0"s);
        device.Set(L"Vendor", REG_EXPAND_SZ, "Acme\0"s);
        EXPECT_EQ(c.touched ? 1 : 0, device.Update()) << c.what;
        EXPECT_EQ(c.touched ? static_cast<DWORD>(REG_SZ) : static_cast<DWORD>(REG_EXPAND_SZ),
                  device.Get(L"FriendlyName").type)
            << c.what;
        EXPECT_EQ(c.touched ? dstest::StoredText("Marvanto") : "Acme\0"s,
                  device.Get(L"Vendor").text)
            << c.what;
    }
}

TEST(FriendlyNameAndVendor, ValuesTooLongToReadStayAsTheyAre) {
    const std::string name = "Cam 3000";
    const std::string longText = std::string(300, 'v') + '\0';
    TestDevice device(&name);
    device.Set(L"FriendlyName", REG_SZ, longText);
    device.Set(L"Vendor", REG_SZ, longText);
    EXPECT_EQ(0, device.Update());
    EXPECT_EQ(longText, device.Get(L"FriendlyName").text);
    EXPECT_EQ(longText, device.Get(L"Vendor").text);
}

}  // namespace
