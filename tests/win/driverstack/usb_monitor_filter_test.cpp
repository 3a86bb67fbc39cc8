#include "driverstack/usb_monitor_filter.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/tracked_alloc.h"
#include "core/device_context.h"
#include "registry_guard.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using dstest::ClassKeyPath;
using dstest::ReadValue;
using dstest::RegValue;
using dstest::StoredText;

const std::string kServiceKey = dstest::ServiceKeyPath("ZKUSBSta");

std::string DriverFile() {
    return zktest::SystemDirectory() + "\\drivers\\ZKUSBSta.sys";
}

// The service key and the two class lists are put back after each test. The
// MEDIA class key does not exist in a fresh prefix; the guard removes it again.
// The filter's driver file is there, as an installed package has it.
class UsbMonitorFilter : public testing::Test {
protected:
    UsbMonitorFilter()
        : image_(ClassKeyPath(dstest::kImageClass), {"LowerFilters"}),
          media_(ClassKeyPath(dstest::kMediaClass), {"LowerFilters"}),
          service_(kServiceKey, {}),
          driver_(DriverFile()) {
        dstest::DeleteKeyTree(kServiceKey);
        dstest::WriteValue(ClassKeyPath(dstest::kMediaClass), "Class", REG_SZ, "MEDIA\0"s);
        dstest::DeleteValue(ClassKeyPath(dstest::kImageClass), "LowerFilters");
        dstest::DeleteValue(ClassKeyPath(dstest::kMediaClass), "LowerFilters");
    }
    ~UsbMonitorFilter() override { dstest::DeleteKeyTree(kServiceKey); }

    static RegValue Lower(const char* guid) {
        return ReadValue(ClassKeyPath(guid), "LowerFilters");
    }

private:
    dstest::KeyGuard image_;
    dstest::KeyGuard media_;
    dstest::KeyGuard service_;
    dstest::TestFile driver_;
};

TEST_F(UsbMonitorFilter, ServiceValuesAreWrittenWithTheirExactSizes) {
    // A value of another name stays; a value of the same name is overwritten.
    dstest::WriteValue(kServiceKey, "Tag", REG_DWORD, "\x07\0\0\0"s);
    dstest::WriteValue(kServiceKey, "Start", REG_DWORD, "\x04\0\0\0"s);
    EXPECT_EQ(1, RegisterROVudevidNT(nullptr));

    RegValue displayName = ReadValue(kServiceKey, "DisplayName");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), displayName.type);
    EXPECT_EQ(StoredText("Marvanto USB Monitor Filter"), displayName.bytes);
    RegValue imagePath = ReadValue(kServiceKey, "ImagePath");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), imagePath.type);
    EXPECT_EQ(StoredText("system32\\drivers\\ZKUSBSta.sys"), imagePath.bytes);
    EXPECT_EQ(1u, dstest::ReadNumber(kServiceKey, "Type"));
    EXPECT_EQ(3u, dstest::ReadNumber(kServiceKey, "Start"));
    EXPECT_EQ(1u, dstest::ReadNumber(kServiceKey, "ErrorControl"));
    EXPECT_EQ(7u, dstest::ReadNumber(kServiceKey, "Tag"));
}

TEST_F(UsbMonitorFilter, GoesLastInTheImageThenTheMediaListAndOnlyOnce) {
    dstest::WriteValue(ClassKeyPath(dstest::kImageClass), "LowerFilters", REG_MULTI_SZ,
                       "A\0B\0\0"s);
    TrackedUsage before = GetTrackedUsage();
    EXPECT_EQ(1, RegisterROVudevidNT(nullptr));
    TrackedUsage after = GetTrackedUsage();
    EXPECT_EQ(before.blocks, after.blocks);
    EXPECT_EQ(before.bytes, after.bytes);

    RegValue image = Lower(dstest::kImageClass);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), image.type);
    EXPECT_EQ("A\0B\0ZKUSBSta\0\0"s, image.bytes);
    // No list before: the one-entry list of 10 bytes.
    RegValue media = Lower(dstest::kMediaClass);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), media.type);
    EXPECT_EQ("ZKUSBSta\0\0"s, media.bytes);

    // A second run leaves everything as the first left it.
    EXPECT_EQ(1, RegisterROVudevidNT(nullptr));
    EXPECT_EQ("A\0B\0ZKUSBSta\0\0"s, Lower(dstest::kImageClass).bytes);
    EXPECT_EQ("ZKUSBSta\0\0"s, Lower(dstest::kMediaClass).bytes);
    EXPECT_EQ(StoredText("Marvanto USB Monitor Filter"),
              ReadValue(kServiceKey, "DisplayName").bytes);
}

TEST_F(UsbMonitorFilter, ListEditsAppendOrNormalise) {
    struct Case {
        const char* what;
        DWORD type;
        std::string list;
        std::string expected;
    } cases[] = {
        {"present in another case: not doubled, rewritten normalised", REG_MULTI_SZ,
         "\0zkusbsta\0\0\0B\0\0"s, "zkusbsta\0B\0\0"s},
        {"a value of 0 bytes", REG_MULTI_SZ, ""s, "ZKUSBSta\0\0"s},
        {"a longer name is another filter", REG_MULTI_SZ, "ZKUSBSta2\0\0"s,
         "ZKUSBSta2\0ZKUSBSta\0\0"s},
        {"written back as a list whatever it was", REG_BINARY, "A\0\0"s, "A\0ZKUSBSta\0\0"s},
    };
    for (const Case& c : cases) {
        dstest::WriteValue(ClassKeyPath(dstest::kMediaClass), "LowerFilters", c.type, c.list);
        EXPECT_EQ(0u, AddLowerFilterToClass(dstest::kMediaClass)) << c.what;
        RegValue value = Lower(dstest::kMediaClass);
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), value.type) << c.what;
        EXPECT_EQ(c.expected, value.bytes) << c.what;
    }
}

TEST_F(UsbMonitorFilter, WithoutItsDriverFileTheFilterGoesIntoNoList) {
    // Listed without its file, the filter would keep every camera and every
    // sound device from starting.
    zktest::RemoveFile(DriverFile());
    dstest::WriteValue(ClassKeyPath(dstest::kImageClass), "LowerFilters", REG_MULTI_SZ, "A\0\0"s);
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(reinterpret_cast<const void*>(0x7300));
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(0, RegisterROVudevidNT(context));
    ReleaseDeviceContext(context);
    EXPECT_EQ(dstest::LogMessages(log.Read()),
              std::vector<std::string>{"WARNING: RegisterROVudevidNT> " + DriverFile() +
                                       " is missing; ZKUSBSta is not added to the class filter "
                                       "lists."});
    EXPECT_EQ("A\0\0"s, Lower(dstest::kImageClass).bytes);
    EXPECT_FALSE(Lower(dstest::kMediaClass).exists);
    // The service key is written all the same: it loads nothing by itself.
    EXPECT_EQ(3u, dstest::ReadNumber(kServiceKey, "Start"));
}

TEST_F(UsbMonitorFilter, AMissingClassKeyIsNotCreated) {
    const char* missing = "{0BADC0DE-1234-5678-0102-030405060708}";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), AddLowerFilterToClass(missing));
    EXPECT_FALSE(dstest::KeyExists(ClassKeyPath(missing)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), AddLowerFilterToClass(nullptr));
}

TEST_F(UsbMonitorFilter, AFailedImageInsertionLeavesTheMediaListAlone) {
    // The Image class key of a fresh prefix holds values only; it is taken
    // away for this test and put back with them.
    const std::string imageKey = ClassKeyPath(dstest::kImageClass);
    RegValue name = ReadValue(imageKey, "");
    RegValue className = ReadValue(imageKey, "Class");
    dstest::DeleteKeyTree(imageKey);
    dstest::WriteValue(ClassKeyPath(dstest::kMediaClass), "LowerFilters", REG_MULTI_SZ, "A\0\0"s);

    EXPECT_EQ(0, RegisterROVudevidNT(nullptr));
    EXPECT_FALSE(dstest::KeyExists(imageKey));
    EXPECT_EQ("A\0\0"s, Lower(dstest::kMediaClass).bytes);
    // The service key was written all the same.
    EXPECT_EQ(3u, dstest::ReadNumber(kServiceKey, "Start"));

    if (name.exists) {
        dstest::WriteValue(imageKey, "", name.type, name.bytes);
    }
    if (className.exists) {
        dstest::WriteValue(imageKey, "Class", className.type, className.bytes);
    }
    dstest::WriteValue(imageKey, "LowerFilters", REG_MULTI_SZ, "x\0\0"s);
}

}  // namespace
