#include "driverstack/storage_filter.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/tracked_alloc.h"
#include "core/device_context.h"
#include "registry_guard.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using dstest::ReadValue;
using dstest::RegValue;
using dstest::StoredText;

const std::string kServiceKey = dstest::ServiceKeyPath("ZkClsUpr");
const std::string kVolumeKey = dstest::ClassKeyPath(dstest::kVolumeClass);

std::string DriverFile() {
    return zktest::SystemDirectory() + "\\drivers\\ZkClsUpr.sys";
}

// The Volume class key does not exist in a fresh prefix: the guard takes away
// what the test made. The filter's driver file is there, as an installed
// package has it.
class StorageFilter : public testing::Test {
protected:
    StorageFilter()
        : volume_(kVolumeKey, {"UpperFilters"}), service_(kServiceKey, {}), driver_(DriverFile()) {
        dstest::DeleteKeyTree(kServiceKey);
        dstest::WriteValue(kVolumeKey, "Class", REG_SZ, "Volume\0"s);
        dstest::DeleteValue(kVolumeKey, "UpperFilters");
    }
    ~StorageFilter() override { dstest::DeleteKeyTree(kServiceKey); }

    static RegValue Upper() { return ReadValue(kVolumeKey, "UpperFilters"); }

private:
    dstest::KeyGuard volume_;
    dstest::KeyGuard service_;
    dstest::TestFile driver_;
};

// n bytes of a well-formed list of 9-letter names without the filter.
std::string ListOfSize(size_t n) {
    std::string list;
    while (list.size() + 10 + 3 <= n) {
        list += "abcdefghi\0"s;
    }
    list += std::string(n - list.size() - 2, 'z') + '\0' + '\0';
    return list;
}

TEST_F(StorageFilter, ServiceIsBootStartWithItsValuesSizedExactly) {
    EXPECT_EQ(1, InstallStorageClassFilter(nullptr));
    struct Text {
        const char* name;
        std::string data;
    } texts[] = {
        {"DisplayName", "Marvanto Storage Class Filter"},
        {"ImagePath", "system32\\drivers\\ZkClsUpr.sys"},
        {"Group", "System Bus Extender"},
    };
    for (const Text& t : texts) {
        RegValue value = ReadValue(kServiceKey, t.name);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type) << t.name;
        EXPECT_EQ(StoredText(t.data), value.bytes) << t.name;
    }
    EXPECT_EQ(1u, dstest::ReadNumber(kServiceKey, "Type"));
    EXPECT_EQ(0u, dstest::ReadNumber(kServiceKey, "Start"));
    EXPECT_EQ(1u, dstest::ReadNumber(kServiceKey, "ErrorControl"));
    EXPECT_EQ("ZkClsUpr\0\0"s, Upper().bytes);

    // Twice: one entry, the same values.
    EXPECT_EQ(1, InstallStorageClassFilter(nullptr));
    EXPECT_EQ("ZkClsUpr\0\0"s, Upper().bytes);
    EXPECT_EQ(StoredText("Marvanto Storage Class Filter"),
              ReadValue(kServiceKey, "DisplayName").bytes);
}

TEST_F(StorageFilter, GoesFirstUnlessPresentInAnyCase) {
    struct Case {
        const char* what;
        DWORD type;
        std::string list;
        DWORD status;
        std::string expected;
        DWORD expectedType;
    } cases[] = {
        {"before the others", REG_MULTI_SZ, "A\0B\0\0"s, 0, "ZkClsUpr\0A\0B\0\0"s, REG_MULTI_SZ},
        // A REG_BINARY type shows that the value was not rewritten.
        {"present in other case", REG_BINARY, "A\0zkclsupr\0\0"s, 0, "A\0zkclsupr\0\0"s,
         REG_BINARY},
        {"present after an empty string", REG_BINARY, "A\0\0ZKCLSUPR\0\0"s, 0, "A\0\0ZKCLSUPR\0\0"s,
         REG_BINARY},
        {"a value of 0 bytes", REG_MULTI_SZ, ""s, 0, "ZkClsUpr\0\0"s, REG_MULTI_SZ},
        {"a longer name is another filter", REG_MULTI_SZ, "ZkClsUprX\0\0"s, 0,
         "ZkClsUpr\0ZkClsUprX\0\0"s, REG_MULTI_SZ},
        {"260 bytes grow to 269", REG_BINARY, ListOfSize(260), 0, "ZkClsUpr\0"s + ListOfSize(260),
         REG_MULTI_SZ},
        {"261 bytes are not read", REG_BINARY, ListOfSize(261), ERROR_MORE_DATA, ListOfSize(261),
         REG_BINARY},
    };
    for (const Case& c : cases) {
        dstest::WriteValue(kVolumeKey, "UpperFilters", c.type, c.list);
        TrackedUsage before = GetTrackedUsage();
        EXPECT_EQ(c.status, AddUpperFilterToClass(dstest::kVolumeClass)) << c.what;
        TrackedUsage after = GetTrackedUsage();
        EXPECT_EQ(before.blocks, after.blocks) << c.what;
        RegValue value = Upper();
        EXPECT_EQ(c.expected, value.bytes) << c.what;
        EXPECT_EQ(c.expectedType, value.type) << c.what;
    }
    EXPECT_EQ(269u, ("ZkClsUpr\0"s + ListOfSize(260)).size());
}

TEST_F(StorageFilter, WithoutItsDriverFileTheBootFilterGoesIntoNoList) {
    // Listed without its file, a boot-start filter above every volume keeps
    // the machine from starting.
    zktest::RemoveFile(DriverFile());
    dstest::WriteValue(kVolumeKey, "UpperFilters", REG_MULTI_SZ, "volsnap\0\0"s);
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(reinterpret_cast<const void*>(0x7301));
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(1, InstallStorageClassFilter(context));
    ReleaseDeviceContext(context);
    EXPECT_EQ(dstest::LogMessages(log.Read()),
              std::vector<std::string>{"WARNING: InstallStorageClassFilter> " + DriverFile() +
                                       " is missing; ZkClsUpr is not added to the class filter "
                                       "lists."});
    EXPECT_EQ("volsnap\0\0"s, Upper().bytes);
    EXPECT_EQ(0u, dstest::ReadNumber(kServiceKey, "Start"));
}

TEST_F(StorageFilter, AMissingClassKeyLeavesTheServiceWritten) {
    dstest::DeleteKeyTree(kVolumeKey);
    EXPECT_EQ(1, InstallStorageClassFilter(nullptr));
    EXPECT_FALSE(dstest::KeyExists(kVolumeKey));
    EXPECT_EQ(0u, dstest::ReadNumber(kServiceKey, "Start"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              AddUpperFilterToClass(dstest::kVolumeClass));
}

}  // namespace
