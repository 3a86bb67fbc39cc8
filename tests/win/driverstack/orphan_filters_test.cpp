#include "driverstack/orphan_filters.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/device_context.h"
#include "core/tracked_alloc.h"
#include "registry_guard.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using dstest::LogMessages;
using dstest::ReadValue;
using dstest::RegValue;
using Messages = std::vector<std::string>;

const void* const kHandle = reinterpret_cast<const void*>(0x7100);
const char kRemovedLine[] = "Filter 'zkusbsta' is already present.";

std::string DriversFile(const char* name) {
    return zktest::SystemDirectory() + "\\drivers\\" + name;
}

// The Image class lists and the package's two services and driver files, put
// back after each test; each test starts with neither service nor file.
class OrphanFilters : public testing::Test {
protected:
    OrphanFilters()
        : imageClass_(dstest::ClassKeyPath(dstest::kImageClass), {"LowerFilters", "UpperFilters"}) {
        dstest::RemoveService("zkusbsta");
        dstest::RemoveService("zkmvdrv");
        zktest::RemoveFile(DriversFile("zkusbsta.sys"));
        zktest::RemoveFile(DriversFile("zkmvdrv.sys"));
        dstest::DeleteValue(ImageKey(), "LowerFilters");
        dstest::DeleteValue(ImageKey(), "UpperFilters");
    }

    static std::string ImageKey() { return dstest::ClassKeyPath(dstest::kImageClass); }

    static void SetLowerFilters(const std::string& bytes, DWORD type = REG_MULTI_SZ) {
        dstest::WriteValue(ImageKey(), "LowerFilters", type, bytes);
    }

    static RegValue LowerFilters() { return ReadValue(ImageKey(), "LowerFilters"); }

    // One pass as the installation's pre-processing runs it; the messages it
    // logged, and its status in *status.
    static Messages RunPass(DWORD* status) {
        zktest::FreshInstallLog log;
        TrackedUsage before = GetTrackedUsage();
        DeviceContext* context = GetDeviceContext(kHandle);
        EXPECT_NE(nullptr, context);
        *status = RemoveOrphanClassFilters(context);
        ReleaseDeviceContext(context);
        TrackedUsage after = GetTrackedUsage();
        EXPECT_EQ(before.blocks, after.blocks);
        EXPECT_EQ(before.bytes, after.bytes);
        return LogMessages(log.Read());
    }

private:
    dstest::KeyGuard imageClass_;
};

TEST_F(OrphanFilters, MissingServiceLosesEveryCaseVariantAndTheRestKeepsOrderAndType) {
    struct Case {
        const char* what;
        DWORD type;
        std::string list;
        std::string expected;
        size_t lines;
    } cases[] = {
        {"two spellings among others", REG_MULTI_SZ, "A\0zkusbsta\0B\0ZKUSBSta\0C\0\0"s,
         "A\0B\0C\0\0"s, 2},
        {"type read is the type written", REG_BINARY, "ZkUsBsTa\0X\0\0"s, "X\0\0"s, 1},
        {"a longer name is another filter", REG_MULTI_SZ, "zkusbsta2\0zkusbsta\0\0"s,
         "zkusbsta2\0\0"s, 1},
        {"no closing NUL, name last", REG_MULTI_SZ, "A\0zkusbsta\0"s, "A\0\0"s, 1},
    };
    for (const Case& c : cases) {
        SetLowerFilters(c.list, c.type);
        DWORD status = 99;
        Messages messages = RunPass(&status);
        EXPECT_EQ(0u, status) << c.what;
        EXPECT_EQ(Messages(c.lines, kRemovedLine), messages) << c.what;
        RegValue value = LowerFilters();
        EXPECT_TRUE(value.exists) << c.what;
        EXPECT_EQ(c.type, value.type) << c.what;
        EXPECT_EQ(c.expected, value.bytes) << c.what;
    }
}

TEST_F(OrphanFilters, RemovalLinesEndInCarriageReturnAndLineFeed) {
    SetLowerFilters("zkusbsta\0A\0\0"s);
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    RemoveOrphanClassFilters(context);
    ReleaseDeviceContext(context);
    // The text-mode log turns the message's own "\r\n" into CR CR LF.
    EXPECT_EQ(1u, zktest::CountOf(log.Read(), "   Filter 'zkusbsta' is already present.\r\r\n"));
}

TEST_F(OrphanFilters, InstalledFiltersWithTheirFilesAreLeftAloneSilently) {
    dstest::TestService usbMonitor("ZKUSBSta");
    dstest::TestService mvdrv("zkmvdrv");
    dstest::TestFile usbFile(DriversFile("zkusbsta.sys"));
    dstest::TestFile mvFile(DriversFile("zkmvdrv.sys"));
    // A list that a rebuild would change even without the names in it: any
    // edit would show.
    const std::string list = "zkmvdrv\0\0ZKUSBSta\0zkusbsta\0\0"s;
    SetLowerFilters(list);
    DWORD status = 99;
    EXPECT_EQ(Messages(), RunPass(&status));
    EXPECT_EQ(0u, status);
    EXPECT_EQ(list, LowerFilters().bytes);
}

TEST_F(OrphanFilters, InstalledServiceWithoutItsDriverFileIsRemoved) {
    dstest::TestService usbMonitor("zkusbsta");
    dstest::TestService mvdrv("zkmvdrv");
    dstest::TestFile mvFile(DriversFile("zkmvdrv.sys"));
    SetLowerFilters("zkmvdrv\0zkusbsta\0\0"s);
    DWORD status = 99;
    EXPECT_EQ(Messages{kRemovedLine}, RunPass(&status));
    EXPECT_EQ(0u, status);
    EXPECT_EQ("zkmvdrv\0\0"s, LowerFilters().bytes);
}

TEST_F(OrphanFilters, AListLeftWithoutStringsIsDeleted) {
    struct Case {
        const char* what;
        std::string list;
        Messages messages;
    } cases[] = {
        {"only the orphan", "zkusbsta\0\0"s, {kRemovedLine}},
        {"both orphans",
         "zkmvdrv\0ZKUSBSTA\0\0"s,
         {"Filter 'zkmvdrv' is already present.", kRemovedLine}},
        {"a value of 0 bytes", ""s, {}},
        {"only empty strings", "\0\0\0"s, {}},
    };
    for (const Case& c : cases) {
        SetLowerFilters(c.list);
        DWORD status = 99;
        EXPECT_EQ(c.messages, RunPass(&status)) << c.what;
        EXPECT_EQ(0u, status) << c.what;
        EXPECT_FALSE(LowerFilters().exists) << c.what;
    }
}

TEST_F(OrphanFilters, NoListMeansNothingToDo) {
    DWORD status = 99;
    EXPECT_EQ(Messages(), RunPass(&status));
    EXPECT_EQ(0u, status);
    EXPECT_FALSE(LowerFilters().exists);
    // The upper list is not the rows' list.
    dstest::WriteValue(ImageKey(), "UpperFilters", REG_MULTI_SZ, "zkusbsta\0\0"s);
    EXPECT_EQ(Messages(), RunPass(&status));
    EXPECT_EQ("zkusbsta\0\0"s, ReadValue(ImageKey(), "UpperFilters").bytes);
}

TEST_F(OrphanFilters, AClassKeyThatCannotBeOpenedIsLogged) {
    // A class no system has: its key does not exist.
    ClassFilterEntry row = {
        1, 1, "zkusbsta.sys", "zkusbsta", {0x0BADC0DE, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}},
        0};
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    DWORD status = DelFilterInClassKey(context, &row);
    ReleaseDeviceContext(context);
    EXPECT_NE(0u, status);
    char expected[96];
    (void)snprintf(expected, sizeof(expected),
                   "DelFilterInClassKey> Failed to open class registry key. (0x%08x).",
                   static_cast<unsigned>(status));
    EXPECT_EQ(Messages{expected}, LogMessages(log.Read()));
    EXPECT_FALSE(dstest::KeyExists(dstest::ClassKeyPath("{0BADC0DE-1234-5678-0102-030405060708}")));
}

TEST_F(OrphanFilters, OrphansLeaveEveryListThePackageEditsAndOnlyThose) {
    // The bandwidth monitor is added below the MEDIA class too, and the
    // storage filter above the Volume class: their orphans stay there no
    // longer. Other devices' filters keep their places.
    const std::string mediaKey = dstest::ClassKeyPath(dstest::kMediaClass);
    const std::string volumeKey = dstest::ClassKeyPath(dstest::kVolumeClass);
    dstest::KeyGuard media(mediaKey, {"LowerFilters", "UpperFilters"});
    dstest::KeyGuard volume(volumeKey, {"UpperFilters", "LowerFilters"});
    dstest::RemoveService("ZkClsUpr");
    zktest::RemoveFile(DriversFile("zkclsupr.sys"));
    dstest::WriteValue(mediaKey, "LowerFilters", REG_MULTI_SZ, "A\0ZKUSBSta\0\0"s);
    dstest::WriteValue(mediaKey, "UpperFilters", REG_MULTI_SZ, "zkusbsta\0\0"s);
    dstest::WriteValue(volumeKey, "UpperFilters", REG_MULTI_SZ, "ZkClsUpr\0volsnap\0\0"s);
    dstest::WriteValue(volumeKey, "LowerFilters", REG_MULTI_SZ, "ZkClsUpr\0\0"s);
    DWORD status = 99;
    EXPECT_EQ((Messages{kRemovedLine, "Filter 'ZkClsUpr' is already present."}), RunPass(&status));
    EXPECT_EQ(0u, status);
    EXPECT_EQ("A\0\0"s, ReadValue(mediaKey, "LowerFilters").bytes);
    EXPECT_EQ("volsnap\0\0"s, ReadValue(volumeKey, "UpperFilters").bytes);
    // Lists the package never adds to are not its to clean.
    EXPECT_EQ("zkusbsta\0\0"s, ReadValue(mediaKey, "UpperFilters").bytes);
    EXPECT_EQ("ZkClsUpr\0\0"s, ReadValue(volumeKey, "LowerFilters").bytes);

    // With the services installed and their files there, nothing changes.
    dstest::TestService usbMonitor("ZKUSBSta");
    dstest::TestService storage("ZkClsUpr");
    dstest::TestFile usbFile(DriversFile("zkusbsta.sys"));
    dstest::TestFile storageFile(DriversFile("zkclsupr.sys"));
    dstest::WriteValue(mediaKey, "LowerFilters", REG_MULTI_SZ, "A\0ZKUSBSta\0\0"s);
    dstest::WriteValue(volumeKey, "UpperFilters", REG_MULTI_SZ, "ZkClsUpr\0volsnap\0\0"s);
    EXPECT_EQ(Messages(), RunPass(&status));
    EXPECT_EQ("A\0ZKUSBSta\0\0"s, ReadValue(mediaKey, "LowerFilters").bytes);
    EXPECT_EQ("ZkClsUpr\0volsnap\0\0"s, ReadValue(volumeKey, "UpperFilters").bytes);
}

TEST_F(OrphanFilters, AMachineWithoutTheMediaOrVolumeClassKeyLogsNothingForThem) {
    const std::string mediaKey = dstest::ClassKeyPath(dstest::kMediaClass);
    const std::string volumeKey = dstest::ClassKeyPath(dstest::kVolumeClass);
    dstest::KeyGuard media(mediaKey, {});
    dstest::KeyGuard volume(volumeKey, {});
    dstest::DeleteKeyTree(mediaKey);
    dstest::DeleteKeyTree(volumeKey);
    SetLowerFilters("zkusbsta\0\0"s);
    DWORD status = 99;
    EXPECT_EQ(Messages{kRemovedLine}, RunPass(&status));
    EXPECT_FALSE(dstest::KeyExists(mediaKey));
    EXPECT_FALSE(dstest::KeyExists(volumeKey));
}

TEST_F(OrphanFilters, AnUpperFilterRowEditsTheUpperList) {
    ClassFilterEntry row = ClassFilterTable[1];
    row.isLowerFilter = 0;
    dstest::WriteValue(ImageKey(), "UpperFilters", REG_MULTI_SZ, "a\0zkusbsta\0\0"s);
    SetLowerFilters("zkusbsta\0\0"s);
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(0u, DelFilterInClassKey(context, &row));
    ReleaseDeviceContext(context);
    EXPECT_EQ("a\0\0"s, ReadValue(ImageKey(), "UpperFilters").bytes);
    EXPECT_EQ("zkusbsta\0\0"s, LowerFilters().bytes);
}

TEST(OrphanFilterProbes, ServiceManagerAnswersForTheRowsService) {
    dstest::RemoveService("zkusbsta");
    int installed = 7;
    EXPECT_EQ(0u, IsServiceInstalled(&ClassFilterTable[1], &installed));
    EXPECT_EQ(0, installed);
    {
        // Service names are one name in any case.
        dstest::TestService service("ZKUSBSta");
        EXPECT_EQ(0u, IsServiceInstalled(&ClassFilterTable[1], &installed));
        EXPECT_EQ(1, installed);
    }
    EXPECT_FALSE(dstest::ServiceExists("zkusbsta"));
}

TEST(OrphanFilterProbes, OnlyAFileKnownToBeAbsentIsMissing) {
    zktest::ScratchDirectory system("orphan_probe");
    const ClassFilterEntry& row = ClassFilterTable[1];
    // No drivers directory: the path is not found, so the file is not
    // known to be absent.
    EXPECT_EQ(0, IsDriverFileMissingIn(system.Path().c_str(), &row));
    CreateDirectoryA(system.File("drivers").c_str(), nullptr);
    EXPECT_EQ(1, IsDriverFileMissingIn(system.Path().c_str(), &row));
    zktest::WriteFileBytes(system.File("drivers\\zkusbsta.sys"), "MZ");
    EXPECT_EQ(0, IsDriverFileMissingIn(system.Path().c_str(), &row));
    // A directory too long for the file name is not probed under a cut path.
    std::string deep = system.Path() + "\\" + std::string(230, 'd');
    EXPECT_EQ(0, IsDriverFileMissingIn(deep.c_str(), &row));
}

TEST(OrphanFilterProbes, TheSystemDriversDirectoryIsProbed) {
    zktest::RemoveFile(DriversFile("zkusbsta.sys"));
    EXPECT_EQ(1, IsDriverFileMissing(&ClassFilterTable[1]));
    dstest::TestFile file(DriversFile("zkusbsta.sys"));
    EXPECT_EQ(0, IsDriverFileMissing(&ClassFilterTable[1]));
}

TEST(OrphanFilterRebuild, ReportsAChangeOnlyWhenTheSizeChanges) {
    struct Case {
        std::string list;
        bool changed;
        std::string rebuilt;
    } cases[] = {
        {"A\0B\0\0"s, false, "A\0B\0\0"s},
        {"A\0\0B\0\0"s, true, "A\0B\0\0"s},
        {"A\0"s, true, "A\0\0"s},
        {"zkusbsta\0\0"s, true, "\0"s},
    };
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    for (const Case& c : cases) {
        std::vector<BYTE> output(c.list.size() + 2, '#');
        DWORD size = static_cast<DWORD>(output.size());
        EXPECT_EQ(c.changed, RebuildFilterList(
                                 context, "zkusbsta", reinterpret_cast<const BYTE*>(c.list.data()),
                                 static_cast<DWORD>(c.list.size()), output.data(), &size))
            << c.rebuilt;
        EXPECT_EQ(c.rebuilt, std::string(reinterpret_cast<char*>(output.data()), size));
    }
    // An output too small is refused rather than written past.
    BYTE small[2] = {'#', '#'};
    DWORD size = 1;
    EXPECT_FALSE(
        RebuildFilterList(context, "x", reinterpret_cast<const BYTE*>("A\0B\0"), 4, small, &size));
    EXPECT_EQ('#', small[1]);
    ReleaseDeviceContext(context);
}

}  // namespace
