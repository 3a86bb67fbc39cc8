#include "launch/web_update.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/tracked_alloc.h"
#include "launch/launch_fixtures.h"
#include "maker_folders.h"

namespace {

using zktest::ControlFile;
using zktest::InstalledStub;
using zktest::StubRecord;
using zktest::TestContext;
using zktest::TestDevice;

bool Vista() {
    return zktest::TestWindowsVersion() == "vista";
}
bool Win7() {
    return zktest::TestWindowsVersion() == "win7";
}

std::string IniPath() {
    return zktest::SystemDirectory() + "\\zkcoinst.ini";
}

// What LaunchKestrForDeviceClass answers for a device, and what it logged.
struct SwitchAnswer {
    int on;
    std::string log;
};
SwitchAnswer AskSwitch(const GUID& classGuid) {
    TestDevice device(classGuid, {zktest::kCameraId});
    EXPECT_TRUE(device.Ready());
    TrackedUsage before = GetTrackedUsage();
    TestContext context;
    int on = LaunchKestrForDeviceClass(context.Get(), device.Set(), device.Data());
    std::string log = context.Finish();
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    return SwitchAnswer{on, log};
}

TEST(GetDeviceClassIndex, KnowsTheMediaAndImageClassesOnly) {
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    data.ClassGuid = zktest::kMediaClassGuid;
    EXPECT_EQ(0, GetDeviceClassIndex(&data));
    EXPECT_STREQ("Audio", KestrClassTable[0].className);
    data.ClassGuid = zktest::kImageClassGuid;
    EXPECT_EQ(1, GetDeviceClassIndex(&data));
    EXPECT_STREQ("Video", KestrClassTable[1].className);
    data.ClassGuid = zktest::kOtherClassGuid;
    EXPECT_EQ(-1, GetDeviceClassIndex(&data));
    EXPECT_EQ(-1, GetDeviceClassIndex(nullptr));
}

TEST(LaunchKestrForDeviceClass, TheMostSpecificSectionWithAValueDecides) {
    ControlFile ini(
        "[CamInstall.NT.KESTR.6.1]\r\nVideo=0\r\n\r\n"
        "[KESTR.DevType]\r\nVideo=1\r\nAudio=0\r\n");
    SwitchAnswer video = AskSwitch(zktest::kImageClassGuid);
    if (Win7()) {
        EXPECT_EQ(0, video.on);
        EXPECT_NE(std::string::npos,
                  video.log.find("   LaunchKestrForDeviceClass> Device section: CamInstall.NT, "
                                 "selected section: CamInstall.NT.KESTR.6.1\r\n"
                                 "   LaunchKestrForDeviceClass> Video is off (0)\r\n"))
            << video.log;
    } else {
        EXPECT_EQ(1, video.on);
        EXPECT_NE(std::string::npos,
                  video.log.find("   LaunchKestrForDeviceClass> Device section: CamInstall.NT, "
                                 "selected section: KESTR.DevType\r\n"
                                 "   LaunchKestrForDeviceClass> Video is on (1)\r\n"))
            << video.log;
    }
    SwitchAnswer audio = AskSwitch(zktest::kMediaClassGuid);
    EXPECT_EQ(0, audio.on);
    EXPECT_NE(std::string::npos, audio.log.find("> Audio is off (0)\r\n")) << audio.log;

    // A device of another class is no error: no answer and no line.
    SwitchAnswer other = AskSwitch(zktest::kOtherClassGuid);
    EXPECT_EQ(0, other.on);
    EXPECT_EQ(std::string::npos, other.log.find("LaunchKestrForDeviceClass")) << other.log;
}

TEST(LaunchKestrForDeviceClass, EverySectionOfTheSearchIsAskedInOrder) {
    // Each section answers only when every more specific one is empty.
    const char* sections[] = {"CamInstall.NT.KESTR.6.0", "CamInstall.NT.KESTR.5.1",
                              "CamInstall.NT.KESTR",     "KESTR.DevType.6.0",
                              "KESTR.DevType.5.1",       "KESTR.DevType"};
    std::string expected = Vista()  ? "CamInstall.NT.KESTR.6.0"
                           : Win7() ? "CamInstall.NT.KESTR"
                                    : "CamInstall.NT.KESTR.5.1";
    std::string text;
    for (const char* section : sections) {
        text += std::string("[") + section + "]\r\nVideo=1\r\n";
    }
    {
        ControlFile ini(text);
        SwitchAnswer answer = AskSwitch(zktest::kImageClassGuid);
        EXPECT_EQ(1, answer.on);
        EXPECT_NE(std::string::npos, answer.log.find("selected section: " + expected + "\r\n"))
            << answer.log;
    }
    // An empty value counts as absent and moves the search on.
    ControlFile ini(
        "[CamInstall.NT.KESTR]\r\nVideo=\r\n[KESTR.DevType.6.1]\r\nVideo=01\r\n"
        "[KESTR.DevType]\r\nVideo=0\r\n");
    SwitchAnswer answer = AskSwitch(zktest::kImageClassGuid);
    EXPECT_EQ(Win7() ? 1 : 0, answer.on) << answer.log;
    EXPECT_NE(std::string::npos, answer.log.find(Win7() ? "selected section: KESTR.DevType.6.1\r\n"
                                                        : "selected section: KESTR.DevType\r\n"))
        << answer.log;
}

TEST(LaunchKestrForDeviceClass, OnlyValuesReadingAsOneSwitchItOn) {
    struct Case {
        const char* value;
        int on;
        const char* logged;  // null: no section answered
    } cases[] = {
        {"1", 1, "Video is on (1)"},         {"01", 1, "Video is on (01)"},
        {"0", 0, "Video is off (0)"},        {"2", 0, "Video is off (2)"},
        {"on", 0, "Video is off (on)"},      {"yes", 0, "Video is off (yes)"},
        {"10000", 0, "Video is off (1000)"}, {"", 0, nullptr},
    };
    for (const Case& c : cases) {
        ControlFile ini(std::string("[KESTR.DevType]\r\nVideo=") + c.value + "\r\n");
        SwitchAnswer answer = AskSwitch(zktest::kImageClassGuid);
        EXPECT_EQ(c.on, answer.on) << c.value;
        std::string line = c.logged != nullptr
                               ? std::string("   LaunchKestrForDeviceClass> ") + c.logged + "\r\n"
                               : "   ERROR: LaunchKestrForDeviceClass> Device section not found "
                                 "in '" +
                                     IniPath() + "'.\r\n";
        EXPECT_NE(std::string::npos, answer.log.find(line)) << c.value << "\n" << answer.log;
    }
}

TEST(WantsFinishInstallAction, FollowsTheSwitchThenNoFNWOnVistaAndLater) {
    struct Case {
        const GUID* classGuid;
        const char* ini;
        int wanted;  // on Vista and later; never before
    } cases[] = {
        {&zktest::kImageClassGuid, "[KESTR.DevType]\r\nVideo=1\r\n[CamInstall.NT]\r\nNoFNW=1\r\n",
         1},
        {&zktest::kImageClassGuid, "[KESTR.DevType]\r\nVideo=0\r\n[CamInstall.NT]\r\nNoFNW=1\r\n",
         0},
        {&zktest::kImageClassGuid, "[KESTR.DevType]\r\nVideo=0\r\n", 1},
        {&zktest::kOtherClassGuid, "[KESTR.DevType]\r\nVideo=1\r\n[CamInstall.NT]\r\nNoFNW=1\r\n",
         0},
        {&zktest::kOtherClassGuid, "[CamInstall.NT]\r\nNoFNW=0\r\n", 1},
        {&zktest::kOtherClassGuid, "[CamInstall.NT]\r\nNoFNW=\r\n", 1},
    };
    bool vistaOrLater = Vista() || Win7();
    for (const Case& c : cases) {
        ControlFile ini(c.ini);
        TestDevice device(*c.classGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready());
        TestContext context;
        EXPECT_EQ(vistaOrLater ? c.wanted : 0,
                  WantsFinishInstallAction(context.Get(), device.Set(), device.Data()))
            << c.ini;
        TestContext noDevice;
        EXPECT_EQ(0, IsNoFNWSet(noDevice.Get(), device.Set(), nullptr));
    }
}

class LaunchKestrTest : public testing::Test {
protected:
    LaunchKestrTest() : shared_("Marvshrd") {}
    std::string Program() const {
        return zktest::CommonFilesDirectory() + "\\marvshrd\\Kestr32.exe";
    }

    // Launches for a test device; returns the log.
    std::string Launch(TestDevice* device, int expected) {
        TrackedUsage before = GetTrackedUsage();
        TestContext context;
        EXPECT_EQ(expected, LaunchKestr(context.Get(), device->Set(), device->Data()));
        std::string log = context.Finish();
        EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
        return log;
    }

    zktest::MakerFolder shared_;
    StubRecord record_;
};

TEST_F(LaunchKestrTest, StartsTheProgramWithTheDeviceIdentity) {
    InstalledStub stub(Program());
    const std::string quoted = "\"" + Program() + "\"";
    struct Case {
        const GUID* classGuid;
        DWORD flags;
        std::string arguments;
    } cases[] = {
        {&zktest::kImageClassGuid, 0,
         " -v 0x1a2b -p 0x3c4d -b 0x0100 -f Video -d 1.2.30.400 -m Some Maker"},
        {&zktest::kMediaClassGuid, DI_NEEDREBOOT,
         " -v 0x1a2b -p 0x3c4d -b 0x0100 -f Audio -d 1.2.30.400 -m Some Maker -reboot"},
        {&zktest::kImageClassGuid, DI_NEEDRESTART,
         " -v 0x1a2b -p 0x3c4d -b 0x0100 -f Video -d 1.2.30.400 -m Some Maker"},
    };
    size_t started = 0;
    for (const Case& c : cases) {
        TestDevice device(*c.classGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready());
        device.SetInstallFlags(c.flags);
        std::string log = Launch(&device, 1);
        EXPECT_NE(std::string::npos, log.find("   KESTR> Successfully launched Kestr32.exe.\r\n"))
            << log;
        std::vector<StubRecord::Entry> records = record_.Read(++started);
        ASSERT_EQ(started, records.size());
        // The file system keeps the folder's own spelling (Marvshrd).
        EXPECT_EQ(0, _stricmp(Program().c_str(), records.back().program.c_str()));
        EXPECT_EQ(quoted + c.arguments, records.back().commandLine);
    }
}

TEST_F(LaunchKestrTest, FailuresAreLoggedWithTheCommandLine) {
    const std::string quoted = "\"" + Program() + "\"";
    {
        // No program installed: the start fails with the system's error.
        TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready());
        std::string log = Launch(&device, 0);
        EXPECT_NE(std::string::npos,
                  log.find("   ERROR: KESTR> Failed to start Kestr32.exe (0x00000002).\r\n"
                           "   KESTR> Command Line: '" +
                           quoted +
                           " -v 0x1a2b -p 0x3c4d -b 0x0100 -f Video -d 1.2.30.400 -m Some "
                           "Maker'\r\n"))
            << log;
    }
    InstalledStub stub(Program());
    {
        // A manufacturer name that makes the line too long: not started cut.
        zktest::TestInf inf;
        inf.manufacturer = std::string(200, 'M');
        TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId}, inf);
        ASSERT_TRUE(device.Ready());
        std::string log = Launch(&device, 0);
        EXPECT_NE(std::string::npos,
                  log.find("   ERROR: KESTR> Failed to start Kestr32.exe (0x0000007a).\r\n"
                           "   KESTR> Command Line: '" +
                           quoted + " -v 0x1a2b -p 0x3c4d -b 0x0100 -f Video -d 1.2.30.400 -m " +
                           inf.manufacturer + "'\r\n"))
            << log;
    }
    {
        TestDevice device(zktest::kImageClassGuid, {"USB\\VID_1A2B&PID_3C4D&MI_00"});
        ASSERT_TRUE(device.Ready());
        std::string log = Launch(&device, 0);
        EXPECT_NE(std::string::npos,
                  log.find("   ERROR: KESTR> Failed to get BCD.\r\n"
                           "   ERROR: KESTR> Failed to retrieve hardware information.\r\n"))
            << log;
    }
    {
        TestDevice device(zktest::kOtherClassGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready());
        Launch(&device, 0);
    }
    Sleep(500);
    EXPECT_TRUE(record_.Read(0, 0).empty());
}

}  // namespace
