#include "setupactions/setup_interpreter.h"

#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/bounded_text.h"
#include "core/tracked_alloc.h"
#include "setupactions_test_support.h"
#include "test_support.h"

namespace {

using zktest::LoggedRun;

const GUID kImageClass = {
    0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services\\";
const char kClasses[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const char kTestKey[] = "SOFTWARE\\ZkSetupSectionTest";

std::string WinVer() {
    const char* version = getenv("ZK_WINVER");
    return version == nullptr ? "" : version;
}

std::string MonitorKey() {
    return std::string(kServices) + "ZKUSBSta";
}
std::string StorageFilterKey() {
    return std::string(kServices) + "ZkClsUpr";
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string DriverFile(const char* name) {
    return zktest::SystemDirectory() + "\\drivers\\" + name;
}

// zkcoinst.ini in the system directory with the test's text, and whatever the
// monitor and storage filter installations write put back afterwards. The two
// filters' driver files are there, as an installed package has them.
class SetupIni {
public:
    explicit SetupIni(const std::string& text)
        : path_(zktest::SystemDirectory() + "\\zkcoinst.ini"),
          savedIni_(path_),
          monitor_(MonitorKey().c_str()),
          storage_(StorageFilterKey().c_str()),
          imageLower_((std::string(kClasses) + "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}").c_str(),
                      "LowerFilters"),
          mediaLower_((std::string(kClasses) + "{4D36E96C-E325-11CE-BFC1-08002BE10318}").c_str(),
                      "LowerFilters"),
          volumeUpper_((std::string(kClasses) + "{71A27CDD-812A-11D0-BEC7-08002BE2092F}").c_str(),
                       "UpperFilters"),
          monitorFile_(DriverFile("ZKUSBSta.sys")),
          storageFile_(DriverFile("ZkClsUpr.sys")) {
        zktest::WriteFileBytes(DriverFile("ZKUSBSta.sys"), "MZ");
        zktest::WriteFileBytes(DriverFile("ZkClsUpr.sys"), "MZ");
        if (text.empty()) {
            zktest::RemoveFile(path_);
        } else {
            zktest::WriteFileBytes(path_, text);
        }
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    zktest::SavedFile savedIni_;
    zktest::SavedKey monitor_;
    zktest::SavedKey storage_;
    zktest::SavedRegistryValue imageLower_;
    zktest::SavedRegistryValue mediaLower_;
    zktest::SavedRegistryValue volumeUpper_;
    zktest::SavedFile monitorFile_;
    zktest::SavedFile storageFile_;
};

std::string RunHeader(const char* section) {
    return "   Windows system directory: " + zktest::SystemDirectory() +
           "\n   Windows directory: " + zktest::WindowsDirectory() +
           "\n   INI file to use: " + zktest::SystemDirectory() +
           "\\zkcoinst.ini\n   Section to register: " + section + "\n";
}

const char kMonitorLine[] = "   Install bandwidth monitor.\n";

std::string Registered(const std::string& path, const std::string& directory) {
    return "   File to register: " + path + "\n   Path to File to register: " + directory + "\n";
}

std::string RegisteredDll(const std::string& path, const std::string& directory) {
    return Registered(path, directory) + "   File to register is a DLL or AX\n" +
           "   Register DLL: file = " + path + "\n";
}

struct Outcome {
    bool result;
    std::string log;
};

Outcome RunSection(const char* section, PSP_DEVINFO_DATA device = nullptr) {
    Outcome outcome{false, ""};
    outcome.log = LoggedRun([&](DeviceContext* context) {
        outcome.result = RunSetupSection(context, device, section);
    });
    return outcome;
}

TEST(SetupSection, TheExampleSectionRegistersSetsTheOptionAndDeclinesTheMonitor) {
    SetupIni ini(
        "[Other]\r\n11,other.dll\r\n"
        "[ZkCam]\r\n"
        "11,zkcodec2.dll\r\n"
        "10,TWAIN_32\\Pictavue\\zksf.dll\r\n"
        "99,DisableUnsafeDialog\r\n"
        "103,NO_ROVudevid\r\n");
    Outcome run = RunSection("ZkCam");
    EXPECT_TRUE(run.result);
    const std::string system = zktest::SystemDirectory();
    const std::string windows = zktest::WindowsDirectory();
    EXPECT_EQ(RunHeader("ZkCam") + RegisteredDll(system + "\\zkcodec2.dll", system) +
                  RegisteredDll(windows + "\\TWAIN_32\\Pictavue\\zksf.dll",
                                windows + "\\TWAIN_32\\Pictavue") +
                  "   DisableUnsafeDialog: Going to Set Registry settings to disable unsafe "
                  "dialog removal\n"
                  "   Install Module check. NO_ROVudevid\n"
                  "   Will not Install ROVudevid.\n",
              run.log);
    // The storage filter is Windows 2000's only; the monitor was declined.
    EXPECT_EQ(WinVer() == "win2k", KeyExists(StorageFilterKey()));
    EXPECT_FALSE(KeyExists(MonitorKey()));
}

TEST(SetupSection, LinesRunInFileOrderAndTheMonitorComesLast) {
    zktest::ScratchDirectory scratch("section_demo");
    const std::string component = scratch.File("democomp.dll");
    ASSERT_TRUE(
        CopyFileA(zktest::BuildOutputPath(ZK_FIXTURE_COMPONENT).c_str(), component.c_str(), FALSE));
    const std::string key = std::string(kTestKey) + "\\Options";
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &created, nullptr));
    const char old[] = "old";
    RegSetValueExA(created, "Stale", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
    RegCloseKey(created);

    SetupIni ini(
        "[Demo]\r\n"
        "12," +
        component +
        "\r\n"
        "102," +
        key +
        "\\Enabled\r\n"
        "100," +
        key +
        "\\Stale\r\n"
        "103,ROVudevid\r\n"
        "99,DisableAutoPlayNow\r\n");
    Outcome run = RunSection("Demo");
    EXPECT_TRUE(run.result);
    EXPECT_EQ(RunHeader("Demo") + RegisteredDll(component, scratch.Path()) +
                  "   CreateRegKeyHKLM: " + key + "\\Enabled \n" + "   DeleteRegKeyHKLM: " + key +
                  "\\Stale \n" +
                  "   Install Module check. ROVudevid\n"
                  "   Unknow ModuleName:ROVudevid \n"
                  "   DisableAutoPlay: Not Supported in the Current Version of VORIVEZ \n" +
                  kMonitorLine,
              run.log);

    // The component's own DllRegisterServer ran; the values changed.
    EXPECT_NE("", zktest::WaitForRecord(component + ".ran"));
    zktest::RegistryValue enabled = zktest::ReadHklmValue(key.c_str(), "Enabled");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), enabled.type);
    EXPECT_EQ(std::string("\1\0\0\0", 4), enabled.data);
    EXPECT_FALSE(zktest::ReadHklmValue(key.c_str(), "Stale").exists);
    // The monitor's service is installed after the lines.
    EXPECT_TRUE(KeyExists(MonitorKey()));

    zktest::DeleteWhenReleased(component);
    zktest::DeleteWhenReleased(component + ".ran");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
}

TEST(SetupSection, OtherCodesAndLinesWithoutCommaRegisterTheArgumentUnchanged) {
    // ".ocx" files are reported but never started, so no process is left over.
    SetupIni ini(
        "[Codes]\r\n"
        "12,zkcodec2.ocx\r\n"
        "abc,zkcodec2.ocx\r\n"
        "0x0B,zkcodec2.ocx\r\n"
        "zkcodec2.ocx\r\n"
        "NoFNW=1\r\n"
        "11,dir\\with,comma.ocx\r\n");
    Outcome run = RunSection("Codes");
    EXPECT_TRUE(run.result);
    const std::string system = zktest::SystemDirectory();
    EXPECT_EQ(RunHeader("Codes") + Registered("zkcodec2.ocx", "") + Registered("zkcodec2.ocx", "") +
                  Registered("zkcodec2.ocx", "") + Registered("zkcodec2.ocx", "") +
                  Registered("NoFNW=1", "") +
                  Registered(system + "\\dir\\with,comma.ocx", system + "\\dir") + kMonitorLine,
              run.log);
}

TEST(SetupSection, WordsThatSelectNothingAreSilent) {
    SetupIni ini(
        "[Words]\r\n"
        "99,Unknown\r\n"
        "99,disableautoplay\r\n"
        "101,CopyHidUsbDriver\r\n"
        "101,Other\r\n"
        "99,DisableUnsafeDialogNow\r\n");
    Outcome run = RunSection("Words");
    EXPECT_EQ(RunHeader("Words") +
                  "   DisableUnsafeDialog: Going to Set Registry settings to disable unsafe "
                  "dialog removal\n" +
                  kMonitorLine,
              run.log);
    EXPECT_EQ(WinVer() == "win2k", KeyExists(StorageFilterKey()));
    EXPECT_TRUE(KeyExists(MonitorKey()));
}

TEST(SetupSection, TheMonitorIsDeclinedFromAnyLine) {
    for (const char* text :
         {"[M]\r\n103,NO_ROVudevid\r\nplain\r\n", "[M]\r\nplain\r\n103,NO_ROVudevid_anyway\r\n"}) {
        SetupIni ini(text);
        Outcome run = RunSection("M");
        EXPECT_TRUE(run.result);
        EXPECT_EQ(std::string::npos, run.log.find(kMonitorLine)) << run.log;
        EXPECT_NE(std::string::npos, run.log.find("   Will not Install ROVudevid.\n"));
        EXPECT_NE(std::string::npos, run.log.find(Registered("plain", "")));
        EXPECT_FALSE(KeyExists(MonitorKey()));
    }
}

TEST(SetupSection, HidUsbDriverCopyRunsFromItsLine) {
    zktest::SavedFile source(zktest::SystemDirectory() + "\\hidusb.sys");
    zktest::SavedFile target(zktest::SystemDirectory() + "\\Drivers\\hidusb.sys");
    zktest::WriteFileBytes(zktest::SystemDirectory() + "\\hidusb.sys", "hid driver");
    SetupIni ini("[Hid]\r\n101,CopyHIDUSBDriver now\r\n");
    Outcome run = RunSection("Hid");
    const std::string system = zktest::SystemDirectory();
    EXPECT_EQ(RunHeader("Hid") + "   Calling CopyHIDUSBDriver()...\n   Copying File \n" +
                  "   From: " + system + "\\hidusb.sys\n   To: " + system +
                  "\\Drivers\\hidusb.sys\n   SHFileOperation() operation Succeeded \n" +
                  kMonitorLine,
              run.log);
    EXPECT_EQ("hid driver", zktest::ReadFileBytes(system + "\\Drivers\\hidusb.sys"));
}

TEST(SetupSection, AMissingSectionFailsOnlyForImageDevicesOn2000AndXP) {
    SP_DEVINFO_DATA image;
    memset(&image, 0, sizeof(image));
    image.cbSize = sizeof(image);
    image.ClassGuid = kImageClass;
    SP_DEVINFO_DATA other = image;
    other.ClassGuid.Data1 = 0x12345678;

    const bool older = WinVer() == "win2k" || WinVer() == "winxp";
    const std::string missing = "   Section Absent doesn't exist in INI file.\n";
    {
        SetupIni ini("[Present]\r\nplain\r\n");
        Outcome run = RunSection("Absent", &image);
        EXPECT_EQ(!older, run.result);
        EXPECT_EQ(RunHeader("Absent") +
                      (older ? "   ERROR: Section Absent not found !\n" : missing) + kMonitorLine,
                  run.log);
        // The monitor is installed on this path too.
        EXPECT_TRUE(KeyExists(MonitorKey()));

        for (PSP_DEVINFO_DATA device : {&other, static_cast<PSP_DEVINFO_DATA>(nullptr)}) {
            run = RunSection("Absent", device);
            EXPECT_TRUE(run.result);
            EXPECT_EQ(RunHeader("Absent") + missing + kMonitorLine, run.log);
        }
        // An empty section reads as a missing one.
        zktest::WriteFileBytes(ini.Path(), "[Absent]\r\n");
        run = RunSection("Absent", &other);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(RunHeader("Absent") + missing + kMonitorLine, run.log);
    }
    {
        // No zkcoinst.ini at all behaves the same.
        SetupIni none("");
        Outcome run = RunSection("Absent", &image);
        EXPECT_EQ(!older, run.result);
        run = RunSection("Absent", nullptr);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(RunHeader("Absent") + missing + kMonitorLine, run.log);
    }
}

// Twenty lines of 24 characters: with their NULs they fill 500 characters, so
// the twentieth does not fit whole.
std::string NumberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[32];
        (void)snprintf(line, sizeof(line), "12,line%02d_abcdefghij.ocx\r\n", i);
        text += line;
    }
    return text;
}

TEST(SetupSection, OnlyWholeLinesOfALongSectionRun) {
    SetupIni ini("[Long]\r\n" + NumberedLines(30));
    TrackedUsage before = GetTrackedUsage();
    Outcome run = RunSection("Long");
    // The second, larger read that found the cut line was given back.
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);
    std::string expected = RunHeader("Long");
    for (int i = 0; i < 19; ++i) {
        char path[32];
        (void)snprintf(path, sizeof(path), "line%02d_abcdefghij.ocx", i);
        expected += Registered(path, "");
    }
    // The line the read cut is named whole.
    expected +=
        "   WARNING: Section Long is longer than 500 characters; its lines from this one on are "
        "not run: 12,line19_abcdefghij.ocx\n";
    EXPECT_EQ(expected + kMonitorLine, run.log);

    // A section that just fits runs to its last line, whatever the count says.
    for (const char* last : {"12,last_xxxxxxxxxxxxxx", "12,last_xxxxxxxxxxxxxxx"}) {
        zktest::WriteFileBytes(ini.Path(), "[Long]\r\n" + NumberedLines(19) + last + "\r\n");
        run = RunSection("Long");
        EXPECT_NE(std::string::npos, run.log.find(Registered(last + 3, ""))) << run.log;
        EXPECT_EQ(std::string::npos, run.log.find("WARNING")) << run.log;
    }
}

TEST(SetupSection, LinesBehindAReadThatEndedAtALineEndAreNamed) {
    // The twentieth line ends exactly where the 500-character read does (or
    // one character before, so that the read stops where the next line
    // begins): nothing is cut, but the module check behind it is never read,
    // and the monitor it declines is installed. The log must name that line
    // whole.
    for (const char* last : {"12,last_xxxxxxxxxxxxxxx", "12,last_xxxxxxxxxxxxxx"}) {
        SetupIni ini("[Long]\r\n" + NumberedLines(19) + last + "\r\n" +
                     "103,NO_ROVudevid\r\n12,after.ocx\r\n");
        Outcome run = RunSection("Long");
        std::string expected = RunHeader("Long");
        for (int i = 0; i < 19; ++i) {
            char path[32];
            (void)snprintf(path, sizeof(path), "line%02d_abcdefghij.ocx", i);
            expected += Registered(path, "");
        }
        expected += Registered(last + 3, "");
        expected +=
            "   WARNING: Section Long is longer than 500 characters; its lines from this one on "
            "are not run: 103,NO_ROVudevid\n";
        EXPECT_EQ(expected + kMonitorLine, run.log) << last;
    }
}

TEST(SetupSection, LinesAndPathsThatDoNotFitAreRefused) {
    const std::string system = zktest::SystemDirectory();
    // "<system directory>\<argument>" one character longer than 259.
    const std::string longName(259 - system.size() - strlen(".ocx"), 'n');
    const std::string tooLongLine = "12,C:\\" + std::string(253, 'l') + ".ocx";  // 263 characters
    const std::string fitsLine = "12,C:\\" + std::string(249, 'f') + ".ocx";     // 259 characters
    struct Case {
        std::string line;
        std::string logged;
    };
    const Case cases[] = {
        {tooLongLine, "   ERROR: Line longer than 259 characters; not run: " + tooLongLine + "\n"},
        {"11," + longName + ".ocx",
         "   ERROR: The path " + system + "\\" + longName + ".ocx is too long; not registered.\n"},
        {fitsLine, Registered(fitsLine.substr(3), "C:")},
        {"100,NoKeyPath",
         "   DeleteRegKeyHKLM: NoKeyPath \n"
         "   WARNING: DeleteRegKeyHKLM: NoKeyPath names no key; line ignored.\n"},
        {"102,NoKeyPath",
         "   CreateRegKeyHKLM: NoKeyPath \n"
         "   WARNING: CreateRegKeyHKLM: NoKeyPath names no key; line ignored.\n"},
        // An empty key path would be HKEY_LOCAL_MACHINE itself.
        {"102,\\ZkRootValue",
         "   CreateRegKeyHKLM: \\ZkRootValue \n"
         "   WARNING: CreateRegKeyHKLM: \\ZkRootValue names no key; line ignored.\n"},
        {"100,\\ZkRootValue",
         "   DeleteRegKeyHKLM: \\ZkRootValue \n"
         "   WARNING: DeleteRegKeyHKLM: \\ZkRootValue names no key; line ignored.\n"},
    };
    for (const Case& c : cases) {
        SetupIni ini("[Fit]\r\n" + c.line + "\r\nafter\r\n");
        Outcome run = RunSection("Fit");
        // The refused line is skipped; the next one still runs.
        EXPECT_EQ(RunHeader("Fit") + c.logged + Registered("after", "") + kMonitorLine, run.log);
        // Nothing is written at the root of HKEY_LOCAL_MACHINE.
        EXPECT_FALSE(zktest::ReadHklmValue("", "NoKeyPath").exists) << c.line;
        EXPECT_FALSE(zktest::ReadHklmValue("", "ZkRootValue").exists) << c.line;
    }
}

// A device of the test INF with its best driver selected, as the device
// installer has it at DIF_INSTALLDEVICE.
class TestDevice {
public:
    TestDevice() {
        set_ = SetupDiCreateDeviceInfoList(&kImageClass, nullptr);
        memset(&data_, 0, sizeof(data_));
        data_.cbSize = sizeof(data_);
        EXPECT_TRUE(SetupDiCreateDeviceInfoA(set_, "Image", &kImageClass, nullptr, nullptr,
                                             DICD_GENERATE_ID, &data_));
    }
    ~TestDevice() { SetupDiDestroyDeviceInfoList(set_); }

    void SelectDriver() {
        const char ids[] = "USB\\VID_0ACE&PID_7E57\0";
        EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(
            set_, &data_, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids), sizeof(ids)));
        SP_DEVINSTALL_PARAMS_A params;
        params.cbSize = sizeof(params);
        EXPECT_TRUE(SetupDiGetDeviceInstallParamsA(set_, &data_, &params));
        std::string inf = zktest::TestsDirectory() + "\\win\\setupactions\\fixtures\\zksetup.inf";
        ASSERT_TRUE(zk::CopyText(params.DriverPath, sizeof(params.DriverPath), inf.c_str())) << inf;
        params.Flags |= DI_ENUMSINGLEINF;
        EXPECT_TRUE(SetupDiSetDeviceInstallParamsA(set_, &data_, &params));
        EXPECT_TRUE(SetupDiBuildDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER));
        EXPECT_TRUE(SetupDiSelectBestCompatDrv(set_, &data_));
    }

    HDEVINFO Set() const { return set_; }
    PSP_DEVINFO_DATA Data() { return &data_; }

private:
    HDEVINFO set_;
    SP_DEVINFO_DATA data_;
};

TEST(DriverSetupSection, RunsTheSectionOfTheSelectedDriversInstallSection) {
    TestDevice device;
    device.SelectDriver();
    SetupIni ini("[ZkSetupCam_Install]\r\nNoFNW=1\r\n103,NO_ROVudevid\r\n");
    bool result = false;
    std::string log = LoggedRun([&](DeviceContext* context) {
        result = RunDriverSetupSection(context, device.Set(), device.Data());
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(RunHeader("ZkSetupCam_Install") + Registered("NoFNW=1", "") +
                  "   Install Module check. NO_ROVudevid\n   Will not Install ROVudevid.\n",
              log);
}

TEST(DriverSetupSection, NoSelectedDriverIsAnErrorAndRunsNothing) {
    TestDevice device;
    SetupIni ini("[ZkSetupCam_Install]\r\nplain\r\n");
    bool result = true;
    std::string log = LoggedRun([&](DeviceContext* context) {
        result = RunDriverSetupSection(context, device.Set(), device.Data());
    });
    EXPECT_FALSE(result);
    const std::string error = "   ERROR: SetupDiGetSelectedDriver. 0x";
    EXPECT_EQ(error, log.substr(0, error.size())) << log;
    EXPECT_EQ(error.size() + 10, log.size()) << log;
    EXPECT_FALSE(KeyExists(MonitorKey()));
}

}  // namespace
