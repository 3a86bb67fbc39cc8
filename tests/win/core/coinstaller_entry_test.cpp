#include "core/coinstaller_entry.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/dif_codes.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"
#include "harness/device_install.h"
#include "test_support.h"

namespace {

InstallOptions CameraInstallation() {
    InstallOptions options;
    options.infPath = zktest::TestsDirectory() + "\\..\\examples\\camera\\zkcamera.inf";
    options.hardwareIds = {"USB\\VID_1BCF&PID_2C6A&REV_0100&MI_00", "USB\\VID_1BCF&PID_2C6A&MI_00"};
    options.quiet = true;
    return options;
}

TEST(CoInstallerEntry, AWholeInstallationReleasesEveryBlockAndContext) {
    zktest::FreshInstallLog log;
    TrackedUsage before = GetTrackedUsage();
    uint32_t contextsBefore = GetDeviceContextCount();

    InstallOptions options = CameraInstallation();
    options.installations = 2;
    InstallReport report = InstallWithCoInstaller(options, ZkCoInstaller);
    ASSERT_TRUE(report.ok) << report.error;

    EXPECT_EQ(contextsBefore, GetDeviceContextCount());
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);
    for (const CallRecord& call : report.calls) {
        DWORD expected = call.code == DIF_INSTALLDEVICE && !call.postProcessing
                             ? kPostProcessingRequired
                             : static_cast<DWORD>(NO_ERROR);
        EXPECT_EQ(expected, call.result) << DifCodeName(call.code);
    }
    EXPECT_EQ(2u, zktest::CountOf(log.Read(), "Stop co-installer:"));
}

TEST(CoInstallerEntry, ContextsOfSeveralSetsLiveSideBySide) {
    zktest::FreshInstallLog log;
    // Real (empty) sets: from Vista on, the finish-install code asks SetupAPI
    // about the set, which must then be one.
    zk::UniqueDevInfo firstSet(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    zk::UniqueDevInfo secondSet(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    ASSERT_TRUE(firstSet.IsValid());
    ASSERT_TRUE(secondSet.IsValid());
    HDEVINFO first = firstSet.Get();
    HDEVINFO second = secondSet.Get();
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              ZkCoInstaller(DIF_ALLOW_INSTALL, first, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              ZkCoInstaller(DIF_ALLOW_INSTALL, second, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              ZkCoInstaller(DIF_NEWDEVICEWIZARD_FINISHINSTALL, first, nullptr, nullptr));
    DeviceContext* context = FindDeviceContext(first);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(IsVistaOrLater() ? 0u : 1u, context->finishInstallPending);
    ZkCoInstaller(DIF_DESTROYPRIVATEDATA, first, nullptr, nullptr);
    ZkCoInstaller(DIF_DESTROYPRIVATEDATA, second, nullptr, nullptr);
    EXPECT_EQ(nullptr, FindDeviceContext(first));
    EXPECT_EQ(nullptr, FindDeviceContext(second));
}

}  // namespace
