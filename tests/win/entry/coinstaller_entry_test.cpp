#include "entry/coinstaller_entry.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/dif_codes.h"
#include "core/tracked_alloc.h"
#include "core/version_probes.h"
#include "core/library.h"
#include "harness/device_install.h"
#include "launch_fixtures.h"
#include "maker_folders.h"
#include "test_support.h"

#include <string>
#include <vector>

namespace {

InstallOptions CameraInstallation() {
    InstallOptions options;
    options.infPath = zktest::StagedExampleInf();
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

bool VistaOrLaterProgram() {
    std::string version = zktest::TestWindowsVersion();
    return version == "vista" || version == "win7";
}

// The lines the entry logged for the call of code: those after its DIF line,
// up to the next call's DIF line or the run's stop line.
std::vector<std::string> LinesOfCall(const std::string& log, const char* code) {
    std::vector<std::string> lines;
    bool inCall = false;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find("\r\n", at);
        std::string line = log.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? log.size() : end + 2;
        bool difLine = line.find("DIF Code:") != std::string::npos;
        if (difLine || line.rfind("Stop co-installer:", 0) == 0) {
            inCall =
                difLine && line.find(std::string("DIF Code: ") + code + " ") != std::string::npos;
            continue;
        }
        if (inCall) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The web-update program, switched on for video devices, waits at its place as
// the recording stub; which finish-install code starts it depends on the
// Windows version: the release before Vista (and only after
// DIF_NEWDEVICEWIZARD_FINISHINSTALL came), the finish-install action from
// Vista on.
TEST(CoInstallerEntry, TheWebUpdateStartsAtTheFinishInstallCodeOfTheWindowsVersion) {
    const bool vista = VistaOrLaterProgram();
    zktest::ControlFile ini("[KESTR.DevType]\r\nVideo=1\r\n");
    zktest::MakerFolder shared("Marvshrd");
    const std::string program = zktest::CommonFilesDirectory() + "\\marvshrd\\Kestr32.exe";
    struct Case {
        const char* what;
        bool forVista;  // the Windows versions the row is about
        std::vector<DI_FUNCTION> codes;
        bool setPendingFlag;  // set the before-Vista flag by hand after the first code
        const char* watched;  // the call whose lines are checked
        bool starts;          // the program starts, and that call logs web-update lines
    };
    const std::vector<Case> cases = {
        {"the release without the wizard's finish code",
         false,
         {DIF_ALLOW_INSTALL, DIF_DESTROYPRIVATEDATA},
         false,
         "DIF_DESTROYPRIVATEDATA",
         false},
        {"the release after the wizard's finish code",
         false,
         {DIF_ALLOW_INSTALL, DIF_NEWDEVICEWIZARD_FINISHINSTALL, DIF_DESTROYPRIVATEDATA},
         false,
         "DIF_DESTROYPRIVATEDATA",
         true},
        {"the finish-install action",
         false,
         {DIF_ALLOW_INSTALL, DIF_FINISHINSTALL_ACTION, DIF_DESTROYPRIVATEDATA},
         false,
         "DIF_FINISHINSTALL_ACTION",
         false},
        {"the release after the wizard's finish code",
         true,
         {DIF_ALLOW_INSTALL, DIF_NEWDEVICEWIZARD_FINISHINSTALL, DIF_DESTROYPRIVATEDATA},
         false,
         "DIF_DESTROYPRIVATEDATA",
         false},
        // The flag is never set from Vista on; the release must not rely on that.
        {"the release with the flag set",
         true,
         {DIF_ALLOW_INSTALL, DIF_DESTROYPRIVATEDATA},
         true,
         "DIF_DESTROYPRIVATEDATA",
         false},
        {"the finish-install action",
         true,
         {DIF_ALLOW_INSTALL, DIF_FINISHINSTALL_ACTION, DIF_DESTROYPRIVATEDATA},
         false,
         "DIF_FINISHINSTALL_ACTION",
         true},
    };
    for (const Case& c : cases) {
        if (c.forVista != vista) {
            continue;
        }
        zktest::TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready()) << c.what;
        zktest::InstalledStub stub(program);
        zktest::StubRecord record;
        zktest::FreshInstallLog log;
        for (size_t i = 0; i < c.codes.size(); ++i) {
            EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
                      ZkCoInstaller(c.codes[i], device.Set(), device.Data(), nullptr))
                << c.what;
            if (i == 0 && c.setPendingFlag) {
                DeviceContext* context = FindDeviceContext(device.Set());
                ASSERT_NE(nullptr, context) << c.what;
                context->finishInstallPending = 1;
            }
        }
        std::vector<std::string> lines = LinesOfCall(log.Read(), c.watched);
        if (c.starts) {
            EXPECT_FALSE(lines.empty()) << c.what;
            EXPECT_EQ(1u, record.Read(1).size()) << c.what;
            // The program may still be running after it wrote its record; it
            // is removed once it has let go, or its folder would stay behind.
            for (int tries = 0; tries < 100 && !DeleteFileA(program.c_str()); ++tries) {
                Sleep(100);
            }
        } else {
            EXPECT_TRUE(lines.empty()) << c.what << ": " << lines.front();
            EXPECT_EQ(0u, record.Read(0, 0).size()) << c.what;
        }
    }
}

// Windows sends the finish-install action to every installer of the device
// when any one of them asked for it, and from Windows 8 on in a process of its
// own: the co-installer decides again, and starts its post-install programs
// (and the web-update program) only when it wanted the action itself. A
// NoFNW installation without web update started them in post-processing.
TEST(CoInstallerEntry, TheFinishInstallActionStartsOnlyWhatThisCoInstallerWanted) {
    if (!VistaOrLaterProgram()) {
        return;
    }
    zktest::MakerFolder shared("Marvshrd");
    const std::string app = shared.Path() + "\\regapp.exe";
    const std::string webUpdate = zktest::CommonFilesDirectory() + "\\marvshrd\\Kestr32.exe";
    zktest::InstalledStub appStub(app);
    zktest::InstalledStub webUpdateStub(webUpdate);
    zktest::RegisteredApps registry;
    registry.Add("ZK ValueAdd", "%43%\\%L%", "regapp.exe", "-post", 0, 1);
    const std::string kNotOurs =
        "   DIF_FINISHINSTALL_ACTION> Not requested by this co-installer; nothing started.";
    struct Case {
        const char* ini;
        size_t started;  // the programs the action starts
    };
    const Case cases[] = {
        {"[CamInstall.NT]\r\nNoFNW=1\r\n", 0},
        {"[CamInstall.NT]\r\nNoFNW=1\r\n[KESTR.DevType]\r\nVideo=0\r\n", 0},
        {"[CamInstall.NT]\r\nNoFNW=1\r\n[KESTR.DevType]\r\nVideo=1\r\n", 2},
        {"[CamInstall.NT]\r\nNoFNW=0\r\n", 1},
        {"[KESTR.DevType]\r\nVideo=1\r\n", 2},
    };
    for (const Case& c : cases) {
        zktest::ControlFile ini(c.ini);
        zktest::TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready()) << c.ini;
        zktest::StubRecord record;
        zktest::FreshInstallLog log;
        // The action alone, as a fresh process of Windows 8 gets it.
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
                  ZkCoInstaller(DIF_FINISHINSTALL_ACTION, device.Set(), device.Data(), nullptr));
        ZkCoInstaller(DIF_DESTROYPRIVATEDATA, device.Set(), device.Data(), nullptr);
        std::vector<std::string> lines = LinesOfCall(log.Read(), "DIF_FINISHINSTALL_ACTION");
        EXPECT_EQ(c.started, record.Read(c.started, c.started == 0 ? 2 : 10).size()) << c.ini;
        ASSERT_FALSE(lines.empty()) << c.ini;
        EXPECT_EQ(c.started == 0, lines.back() == kNotOurs) << c.ini << ": " << lines.back();
    }
}

// The address space of this process taken up, and the heap drained, so that
// no allocation can succeed for as long as the object lives. Nothing here may
// need the heap itself: the regions go to a fixed table, the heap blocks are
// chained through their own first bytes.
class ExhaustedMemory {
public:
    ExhaustedMemory() {
        for (SIZE_T size = SIZE_T{1} << 30; size >= 0x10000 && count_ < kMaxRegions;) {
            void* region = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
            if (region != nullptr) {
                regions_[count_++] = region;
            } else {
                size /= 2;
            }
        }
        for (size_t size = 4096; size >= sizeof(void*);) {
            void* block = malloc(size);
            if (block == nullptr) {
                size /= 2;
                continue;
            }
            *static_cast<void**>(block) = blocks_;
            blocks_ = block;
        }
    }
    ~ExhaustedMemory() {
        while (blocks_ != nullptr) {
            void* next = *static_cast<void**>(blocks_);
            free(blocks_);
            blocks_ = next;
        }
        for (size_t i = 0; i < count_; ++i) {
            VirtualFree(regions_[i], 0, MEM_RELEASE);
        }
    }
    ExhaustedMemory(const ExhaustedMemory&) = delete;
    ExhaustedMemory& operator=(const ExhaustedMemory&) = delete;

private:
    // 4 GiB in the smallest regions, more than any 32-bit process can have.
    static constexpr size_t kMaxRegions = 65536;
    static void* regions_[kMaxRegions];
    size_t count_ = 0;
    void* blocks_ = nullptr;
};

void* ExhaustedMemory::regions_[kMaxRegions];

TEST(CoInstallerEntry, AnswersEFailOnlyWhenNoContextCanBeHad) {
    const DWORD kEFail = 0x80004005;
    zktest::FreshInstallLog log;
    zk::UniqueDevInfo set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    ASSERT_TRUE(set.IsValid());

    // After the last detach there is no registry to hold a context.
    LibraryProcessDetach();
    DWORD detached = ZkCoInstaller(DIF_ALLOW_INSTALL, set.Get(), nullptr, nullptr);
    LibraryProcessAttach();
    EXPECT_EQ(kEFail, detached);

    // With no memory left, no record can be allocated for a new set. Only a
    // 32-bit address space can be used up in a test.
    if (sizeof(void*) == 4) {
        DWORD noMemory = 0;
        {
            ExhaustedMemory exhausted;
            noMemory = ZkCoInstaller(DIF_ALLOW_INSTALL, set.Get(), nullptr, nullptr);
        }
        EXPECT_EQ(kEFail, noMemory);
        EXPECT_EQ(nullptr, FindDeviceContext(set.Get()));
    }
    // Neither call logged anything.
    EXPECT_EQ("", log.Read());

    // In every other case a context is had, whatever else goes wrong.
    zk::UniqueHandle logHolder;
    struct Case {
        const char* what;
        DI_FUNCTION code;
        HDEVINFO deviceInfoSet;
        bool holdLog;
        DWORD expected;
    };
    const Case cases[] = {
        {"an unknown code", 0xFFFF, set.Get(), false, NO_ERROR},
        {"the release of a set never seen", DIF_DESTROYPRIVATEDATA, set.Get(), false, NO_ERROR},
        {"no device information set", DIF_ALLOW_INSTALL, nullptr, false, NO_ERROR},
        {"an invalid device information set", DIF_ALLOW_INSTALL,
         static_cast<HDEVINFO>(INVALID_HANDLE_VALUE), false, NO_ERROR},
        {"pre-processing without a selected driver", DIF_INSTALLDEVICE, set.Get(), false,
         0xE0000226},
        {"the log held by another", DIF_ALLOW_INSTALL, set.Get(), true, NO_ERROR},
    };
    for (const Case& c : cases) {
        zk::UniqueFileHandle holder(c.holdLog ? CreateFileA(zktest::InstallLogPath().c_str(),
                                                            GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                                            0, nullptr)
                                              : INVALID_HANDLE_VALUE);
        EXPECT_EQ(c.expected, ZkCoInstaller(c.code, c.deviceInfoSet, nullptr, nullptr)) << c.what;
        holder.Reset();
        ZkCoInstaller(DIF_DESTROYPRIVATEDATA, c.deviceInfoSet, nullptr, nullptr);
    }
}

}  // namespace
