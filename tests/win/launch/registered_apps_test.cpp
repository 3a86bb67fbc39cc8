#include "launch/registered_apps.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/tracked_alloc.h"
#include "launch/launch_fixtures.h"
#include "maker_folders.h"

namespace {

using zktest::InstalledStub;
using zktest::MakerFolder;
using zktest::RegisteredApps;
using zktest::StubRecord;
using zktest::TestContext;
using zktest::TestDevice;

bool NtFamily() {
    return zktest::TestWindowsVersion() != "win98";
}

// The registered programs live in the shared maker folder under Common Files,
// found through the path templates of their "Path" values.
struct AppsFolder {
    AppsFolder()
        : shared("Marvshrd"),
          folder(shared.Path() + "\\Apps"),
          program(folder + "\\regapp.exe"),
          stub(program) {}
    MakerFolder shared;
    std::string folder;
    std::string program;
    InstalledStub stub;
};

std::vector<std::string> SortedCommandLines(const std::vector<StubRecord::Entry>& records) {
    std::vector<std::string> lines;
    for (const StubRecord::Entry& record : records) {
        lines.push_back(record.commandLine);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Runs one phase for the camera and returns the command lines the stub
// recorded, waiting for the expected number and a moment for any extra.
std::vector<std::string> RunPhase(TestDevice* device, int postInstall, size_t expected,
                                  std::string* log = nullptr) {
    StubRecord record;
    TestContext context;
    EXPECT_EQ(1, LaunchRegisteredApp(context.Get(), device->Set(), device->Data(), postInstall));
    std::string text = context.Finish();
    if (log != nullptr) {
        *log = text;
    }
    record.Read(expected);
    Sleep(500);
    return SortedCommandLines(record.Read(expected, 0));
}

TEST(LaunchRegisteredApp, StartsTheEntriesOfEachPhaseThatMatchTheDevice) {
    AppsFolder apps;
    RegisteredApps registry;
    const std::string quoted = "\"" + apps.program + "\"";
    registry.Add("ZK ValueAdd", "%43%\\%L%\\Apps", "regapp.exe", "-valueadd %43%", 1, 0);
    registry.Add("cam_pid_3c4d_mi_00", "%43%\\%L%\\Apps\\", "regapp.exe", "-camera", 0, 1);
    registry.Add("CAM_PID_3C4D_MI_01", "%43%\\%L%\\Apps", "regapp.exe", "-interface1", 1, 1);
    registry.Add("pid_3c4d_only", "%43%\\%L%\\Apps", "regapp.exe", "-nointerface", 1, 1);
    registry.Add("Viduruvir", "%43%\\%L%\\Apps", "regapp.exe", "-noflags", -1, -1);
    registry.Add("valueadd empty", "%43%\\%L%\\Apps", "regapp.exe", "", 0, 1);
    registry.Add("valueadd both", "%43%\\%L%\\Apps", "regapp.exe", "-both", 1, 1);
    registry.Add("valueadd bad template", "%10%", "regapp.exe", "-recycled", 1, 1);
    registry.Add("valueadd no parameters", "%43%\\%L%\\Apps", "regapp.exe", "x", 1, 1);
    registry.SetBytes("valueadd no parameters", "Parameters", "", REG_SZ);
    registry.Add("valueadd no path", "%43%\\%L%\\Apps", "regapp.exe", "-nopath", 1, 1);
    registry.SetBytes("valueadd no path", "Path", "", REG_SZ);
    registry.Add("valueadd long flag", "%43%\\%L%\\Apps", "regapp.exe", "-longflag", -1, -1);
    registry.SetBytes("valueadd long flag", "PreInstall", std::string(8, '\1'));
    registry.SetBytes("valueadd long flag", "PostInstall", std::string(8, '\1'));

    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());
    const std::string common = zktest::CommonFilesDirectory();
    std::vector<std::string> pre = {quoted + " -valueadd " + common, quoted + " -both"};
    std::vector<std::string> post = {quoted + " ", quoted + " -both", quoted + " -camera"};
    if (!NtFamily()) {
        // Without the NT family's phase flags every applying entry starts in
        // both phases.
        // Windows 9x reads a zero-byte string value as an empty string with its
        // terminator, so the entry without parameters starts there too.
        pre = {quoted + " ",
               quoted + " ",
               quoted + " -both",
               quoted + " -camera",
               quoted + " -longflag",
               quoted + " -noflags",
               quoted + " -valueadd " + common};
        post = pre;
    }
    std::sort(pre.begin(), pre.end());
    std::sort(post.begin(), post.end());

    TrackedUsage before = GetTrackedUsage();
    std::string log;
    EXPECT_EQ(pre, RunPhase(&device, 0, pre.size(), &log));
    EXPECT_EQ(post, RunPhase(&device, 1, post.size()));
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);

    EXPECT_EQ(1u, zktest::CountOf(log, "   LaunchRegisteredApp:\r\n"));
    EXPECT_EQ(pre.size(), zktest::CountOf(log, "   Launching File - \"" + apps.program + "\" "));
    EXPECT_NE(std::string::npos, log.find("   Launching File - " + quoted + " -both\r\n"));
}

TEST(LaunchRegisteredApp, FailedStartsAndOverlongCommandLinesAreWarnings) {
    AppsFolder apps;
    RegisteredApps registry;
    registry.Add("valueadd missing", "%43%\\%L%\\Apps", "missing.exe", "-x", 1, 1);
    registry.Add("valueadd long", "%43%\\%L%\\Apps", "regapp.exe", std::string(250, 'a'), 1, 1);
    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());

    std::string log;
    EXPECT_TRUE(RunPhase(&device, 0, 0, &log).empty());
    std::string missing = "\"" + apps.folder + "\\missing.exe\" -x";
    EXPECT_NE(std::string::npos,
              log.find("   Launching File - " + missing + "\r\n   WARNING: Unable to launch '" +
                       missing + "'. 0x00000002 - File not found.\r\r\n"))
        << log;
    // The overlong line is reported whole, and not started cut.
    std::string longLine = "\"" + apps.program + "\" " + std::string(250, 'a');
    EXPECT_NE(std::string::npos,
              log.find("   WARNING: Unable to launch '" + longLine + "'. 0x0000007a - "))
        << log;
    EXPECT_EQ(std::string::npos, log.find("Launching File - \"" + apps.program));
}

TEST(LaunchRegisteredApp, WithoutADeviceOrKeyOnlyTheHeaderIsLogged) {
    {
        RegisteredApps registry;
        registry.Add("valueadd", "C:\\", "regapp.exe", "", 1, 1);
        TestContext context;
        EXPECT_EQ(0, LaunchRegisteredApp(context.Get(), INVALID_HANDLE_VALUE, nullptr, 0));
        EXPECT_EQ(0, LaunchRegisteredApp(context.Get(), nullptr, nullptr, 0));
        std::string log = context.Finish();
        EXPECT_EQ(2u, zktest::CountOf(log, "   LaunchRegisteredApp:\r\n"));
        EXPECT_EQ(std::string::npos, log.find("Launching"));
    }
    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());
    TestContext context;
    EXPECT_EQ(0, LaunchRegisteredApp(context.Get(), device.Set(), device.Data(), 1));
}

}  // namespace
