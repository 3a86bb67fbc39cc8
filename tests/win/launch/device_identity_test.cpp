#include "launch/device_identity.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/install_log.h"
#include "core/tracked_alloc.h"
#include "launch/launch_fixtures.h"

namespace {

using zktest::TestContext;
using zktest::TestDevice;
using zktest::TestInf;

struct Identity {
    int ok = 0;
    DriverVersion version = {{0, 0, 0, 0}};
    char vid[5] = {};
    char pid[5] = {};
    char bcd[5] = {};
    std::string log;  // the messages, without the run's start and stop
};

// Reads the identity of a test device of the Image class, in a log run of its own.
Identity ReadIdentity(const std::vector<std::string>& ids, const TestInf& inf = TestInf()) {
    Identity identity;
    TestDevice device(zktest::kImageClassGuid, ids, inf);
    EXPECT_TRUE(device.Ready());
    if (!device.Ready()) {
        return identity;
    }
    SP_DRVINFO_DATA_V2_A driver;
    driver.cbSize = sizeof(driver);
    EXPECT_TRUE(SetupDiGetSelectedDriverA(device.Set(), device.Data(),
                                          reinterpret_cast<PSP_DRVINFO_DATA_A>(&driver)));
    TrackedUsage before = GetTrackedUsage();
    TestContext context;
    identity.ok =
        GetHardwareInformation(context.Get(), device.Set(), device.Data(), &driver,
                               &identity.version, identity.vid, identity.pid, identity.bcd);
    std::string log = context.Finish();
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    size_t start = log.find("\r\n", log.find("   Binary:"));
    size_t stop = log.find("Stop co-installer:");
    if (start != std::string::npos && stop != std::string::npos) {
        identity.log = log.substr(start + 2, stop - start - 2);
    }
    return identity;
}

TEST(GetHardwareInformation, ReadsTheExampleDevice) {
    Identity identity = ReadIdentity({zktest::kCameraId});
    ASSERT_EQ(1, identity.ok) << identity.log;
    EXPECT_STREQ("1a2b", identity.vid);
    EXPECT_STREQ("3c4d", identity.pid);
    EXPECT_STREQ("0100", identity.bcd);
    EXPECT_EQ(1, identity.version.parts[0]);
    EXPECT_EQ(2, identity.version.parts[1]);
    EXPECT_EQ(30, identity.version.parts[2]);
    EXPECT_EQ(400, identity.version.parts[3]);
    EXPECT_EQ("", identity.log);
}

TEST(GetHardwareInformation, DriverVerLinesAndTheirFailures) {
    struct Case {
        const char* driverVer;
        bool present;
        int ok;
        int major;
        std::string log;
    } cases[] = {
        {"1.2.30.400", true, 1, 1, ""},
        {"01/15/2008, 4.5.6.7", true, 1, 4, ""},
        {"01/15/2008,   ", true, 0, 0, "   ERROR: KESTR> Failed to get INF version.\r\n"},
        {"01/15/2008,1.2.3", true, 0, 0,
         "   ERROR: KESTR> Failed to retrieve version (1.2.3).\r\n"
         "   ERROR: KESTR> Failed to get INF version.\r\n"},
        {"", false, 0, 0, "   ERROR: KESTR> Failed to get version info size from INF ("},
    };
    for (const Case& c : cases) {
        TestInf inf;
        inf.driverVer = c.driverVer;
        inf.withDriverVer = c.present;
        Identity identity = ReadIdentity({zktest::kCameraId}, inf);
        EXPECT_EQ(c.ok, identity.ok) << c.driverVer;
        if (c.ok) {
            EXPECT_EQ(c.major, identity.version.parts[0]) << c.driverVer;
        }
        EXPECT_EQ(0u, identity.log.find(c.log)) << c.driverVer << "\n" << identity.log;
        if (c.present) {
            EXPECT_EQ(c.log.size(), identity.log.size()) << c.driverVer << "\n" << identity.log;
        }
    }
}

TEST(GetHardwareInformation, LooksForEachPrefixInTheFirstHardwareIdOnly) {
    struct Case {
        std::vector<std::string> ids;
        std::string log;
        const char* vid;
    } cases[] = {
        {{"usb\\Vid_ABCD&pId_EF01&rEv_0A0B"}, "", "abcd"},
        {{"USB\\VID_1A2B&PID_3C4D&MI_00", zktest::kCameraId},
         "   ERROR: KESTR> Failed to get BCD.\r\n",
         nullptr},
        {{"USB\\VID_1A2B&MI_00"},
         "   ERROR: KESTR> Failed to get PID.\r\n   ERROR: KESTR> Failed to get BCD.\r\n",
         nullptr},
        {{"USB\\PID_3C4D&REV_0100&MI_00"}, "   ERROR: KESTR> Failed to get VID.\r\n", nullptr},
        {{"USB\\VID_1A2B&PID_3C4D&REV_01"}, "   ERROR: KESTR> Failed to get BCD.\r\n", nullptr},
    };
    for (const Case& c : cases) {
        Identity identity = ReadIdentity(c.ids);
        EXPECT_EQ(c.log, identity.log) << c.ids[0];
        EXPECT_EQ(c.vid != nullptr ? 1 : 0, identity.ok) << c.ids[0];
        if (c.vid != nullptr) {
            EXPECT_STREQ(c.vid, identity.vid);
            EXPECT_STREQ("ef01", identity.pid);
            EXPECT_STREQ("0a0b", identity.bcd);
        }
    }
}

}  // namespace
