#include "ini_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zk::inicheck::CheckOptions;
using zk::inicheck::CheckProfile;
using zk::inicheck::CheckReport;
using zk::inicheck::ParseCheckArguments;
using zk::inicheck::ParseProfile;

CheckReport Check(const std::string& text, const char* section, const char* version) {
    CheckOptions options;
    options.fileName = "zkcoinst.ini";
    options.section = section;
    options.version = zk::inicheck::FindWindowsVersion(version);
    return CheckProfile(ParseProfile(text), options);
}

bool Has(const CheckReport& report, const std::string& part) {
    return report.text.find(part) != std::string::npos;
}

TEST(IniCheck, ArgumentsAreParsedOrRefused) {
    struct Case {
        std::vector<const char*> arguments;
        bool ok;
        const char* section;
        const char* version;
        const char* fileName;
        const char* registeredFile;
    };
    const Case cases[] = {
        {{"f.ini"}, true, nullptr, "xp", "f.ini", nullptr},
        {{"--section", "Cam", "f.ini"}, true, "Cam", "xp", "f.ini", nullptr},
        {{"--windows", "VISTA", "f.ini"}, true, nullptr, "vista", "f.ini", nullptr},
        {{"--windows", "98", "--windows-dir", "D:\\W", "f.ini"},
         true,
         nullptr,
         "98",
         "f.ini",
         nullptr},
        // Every version the co-installer tells apart, by name or by its numbers.
        {{"--windows", "6.3", "f.ini"}, true, nullptr, "8.1", "f.ini", nullptr},
        {{"--windows", "10.0", "f.ini"}, true, nullptr, "10", "f.ini", nullptr},
        // Windows 11 reports 10.0: the co-installer takes it for Windows 10.
        {{"--windows", "11", "f.ini"}, true, nullptr, "10", "f.ini", nullptr},
        {{"--windows", "4.10", "f.ini"}, true, nullptr, "98", "f.ini", nullptr},
        {{"--windows", "95", "f.ini"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"--windows", "6.01", "f.ini"}, false, nullptr, nullptr, nullptr, nullptr},
        // A .reg file is the companion-program export, beside the INI or alone.
        {{"f.ini", "apps.REG"}, true, nullptr, "xp", "f.ini", "apps.REG"},
        {{"--registered", "apps.txt"}, true, nullptr, "xp", nullptr, "apps.txt"},
        {{"a.reg", "b.reg"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"--section", "A", "a.reg"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"--section"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"--all", "f.ini"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"--bogus", "f.ini"}, false, nullptr, nullptr, nullptr, nullptr},
        {{"a.ini", "b.ini"}, false, nullptr, nullptr, nullptr, nullptr},
        {{}, false, nullptr, nullptr, nullptr, nullptr},
        // Asking for help is no usage error, in either spelling.
        {{"-h"}, true, nullptr, "xp", nullptr, nullptr},
        {{"--help", "f.ini"}, true, nullptr, "xp", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"zkinicheck"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        CheckOptions options;
        std::string error;
        bool ok = ParseCheckArguments(static_cast<int>(argv.size()), argv.data(), &options, &error);
        std::string label = argv.size() > 1 ? argv[1] : "(none)";
        ASSERT_EQ(c.ok, ok) << label;
        if (!ok) {
            EXPECT_FALSE(error.empty()) << label;
            continue;
        }
        EXPECT_STREQ(c.version, options.version->option) << label;
        EXPECT_EQ(c.fileName == nullptr, options.fileName == nullptr) << label;
        if (c.fileName != nullptr) {
            EXPECT_STREQ(c.fileName, options.fileName) << label;
        }
        EXPECT_EQ(c.registeredFile == nullptr, options.registeredFile == nullptr) << label;
        if (c.registeredFile != nullptr) {
            EXPECT_STREQ(c.registeredFile, options.registeredFile) << label;
        }
        if (c.section == nullptr) {
            EXPECT_EQ(nullptr, options.section) << label;
        } else {
            EXPECT_STREQ(c.section, options.section) << label;
        }
    }
}

TEST(IniCheck, SwitchSectionsAreToldFromSetupSections) {
    struct Case {
        const char* name;
        bool isSwitch;
    };
    const Case cases[] = {
        {"KESTR.DevType", true}, {"kestr.devtype.6.1", true}, {"CamInstall.NT.KESTR", true},
        {"Cam.KESTR.5.1", true}, {"CamInstall.NT", false},    {"KESTRInstall", false},
        {"Cam.KESTREL", false},  {"CamSetup", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.isSwitch, zk::inicheck::IsSwitchSectionName(c.name)) << c.name;
    }
}

// A section of lines "11,<n x 'a'>.dll" whose section read holds exactly
// total characters (each line and its NUL).
std::string SectionOfSize(size_t total) {
    std::string text = "[S]\n";
    while (total > 0) {
        size_t line = total > 200 ? 150 : total - 1;  // characters before the NUL
        std::string name(line - 7, 'a');
        text += "11," + name + ".dll\n";
        total -= line + 1;
    }
    return text;
}

// The co-installer reads 500 characters; a read that fills them is checked
// against a larger one, and only a last line that the larger read shows
// longer is left out.
TEST(IniCheck, OnlyALastLineCutByTheSectionReadIsNotRun) {
    struct Case {
        size_t total;
        bool cut;
    };
    // At 499 the read loses only the last line's NUL, which the larger read
    // shows to be where that line ends.
    const Case cases[] = {{497, false}, {498, false}, {499, false}, {500, true}, {520, true}};
    for (const Case& c : cases) {
        CheckReport report = Check(SectionOfSize(c.total), "S", "xp");
        EXPECT_EQ(c.cut, Has(report, "not run: cut to")) << c.total << "\n" << report.text;
        EXPECT_EQ(c.cut ? 1 : 0, report.warnings) << c.total << "\n" << report.text;
    }
}

TEST(IniCheck, WebUpdateSwitchFollowsTheVersionsSearchOrder) {
    const std::string text =
        "[CamInstall.NT]\n11,zk.dll\n"
        "[CamInstall.NT.KESTR.6.1]\nVideo=0\n"
        "[KESTR.DevType]\nVideo=1\n";
    struct Case {
        const char* version;
        const char* answer;
        bool neverRead;  // the Windows 7 section says otherwise and is not read
    };
    const Case cases[] = {
        {"7", "web update, Video: [CamInstall.NT.KESTR.6.1] Video=0 -> off", false},
        {"vista", "web update, Video: [KESTR.DevType] Video=1 -> on", true},
        {"xp", "web update, Video: [KESTR.DevType] Video=1 -> on", true},
    };
    for (const Case& c : cases) {
        CheckReport report = Check(text, "CamInstall.NT", c.version);
        EXPECT_TRUE(Has(report, c.answer)) << c.version << "\n" << report.text;
        EXPECT_EQ(c.neverRead, Has(report, "[CamInstall.NT.KESTR.6.1] Video=0 is never read"))
            << c.version << "\n"
            << report.text;
        EXPECT_TRUE(Has(report, "web update, Audio: no section answers")) << c.version;
    }
}

// Another version's switch is judged as that version reads it (quotes gone),
// and a later copy of a section, which no version reads, is not reported.
TEST(IniCheck, OtherVersionsSwitchIsReadAsThatVersionReadsIt) {
    const std::string text =
        "[S]\n11,zk.dll\n[KESTR.DevType]\nAudio=0\n[KESTR.DevType.6.0]\nAudio=\"1\"\n"
        "[KESTR.DevType.6.1]\nAudio=0\n[KESTR.DevType.6.1]\nAudio=1\n";
    CheckReport report = Check(text, "S", "xp");
    EXPECT_TRUE(Has(report,
                    "warning: line 6: [KESTR.DevType.6.0] Audio=\"1\" is never read on "
                    "Windows XP (5.1), where Audio is off"))
        << report.text;
    EXPECT_FALSE(Has(report, "line 10")) << report.text;
    EXPECT_EQ(1, report.warnings) << report.text;
}

TEST(IniCheck, VersionDecidesWhatDisableUnsafeDialogDoes) {
    struct Case {
        const char* version;
        bool acts;
    };
    const Case cases[] = {
        {"2000", true}, {"xp", false}, {"vista", false}, {"98", false}, {"nt4", false}};
    for (const Case& c : cases) {
        CheckReport report = Check("[S]\n99,DisableUnsafeDialog\n", "S", c.version);
        EXPECT_EQ(c.acts, Has(report, "install the storage class upper filter")) << c.version;
        EXPECT_EQ(c.acts ? 0 : 1, report.warnings) << c.version;
    }
}

TEST(IniCheck, DirectoriesShapeThePathsAndTheirLimits) {
    CheckOptions options;
    options.section = "S";
    options.version = zk::inicheck::FindWindowsVersion("98");
    options.windowsDirectory = "D:\\WIN";
    std::string name(230, 'n');
    CheckReport report =
        CheckProfile(ParseProfile("[S]\n11,zk.dll\n10,sub\\zk.ax\n11," + name + ".dll\n"), options);
    EXPECT_TRUE(
        Has(report, "start \"D:\\WIN\\SYSTEM\\regsvr32.exe\" /s \"D:\\WIN\\SYSTEM\\zk.dll\""))
        << report.text;
    EXPECT_TRUE(Has(report, "/s \"D:\\WIN\\sub\\zk.ax\"")) << report.text;
    // 14 + 1 + 234 characters fit a path, but not the command line around it.
    EXPECT_TRUE(Has(report, "not run (regsvr32): command line too long")) << report.text;
    EXPECT_EQ(1, report.warnings) << report.text;
}

TEST(IniCheck, MissingSectionInstallsTheMonitorAndWarns) {
    CheckReport report = Check("[Other]\n11,zk.dll\n", "S", "2000");
    EXPECT_TRUE(Has(report, "bandwidth monitor: installed"));
    EXPECT_TRUE(Has(report,
                    "warning: [S] is not in the file: an Image-class device's installation logs "
                    "\"ERROR: Section S not found !\", any other run \"Section S doesn't exist in "
                    "INI file.\"\n"))
        << report.text;
    // Server 2003 is not XP for this check.
    report = Check("[Other]\n11,zk.dll\n", "S", "2003");
    EXPECT_TRUE(Has(report,
                    "warning: [S] is not in the file: the log shows \"Section S doesn't exist in "
                    "INI file.\"\n"))
        << report.text;
    report = Check("[S]\n; only a comment\n", "S", "7");
    EXPECT_TRUE(Has(report, "warning: [S] has no lines to run: the log shows")) << report.text;
}

// How often an installation asks for a switch that no section answers, and
// whether a finish-install action is requested: Vista and later ask in
// post-processing, at the finish-install page and in the action itself.
TEST(IniCheck, SwitchWithoutAnswerIsAnErrorLinePerQuestion) {
    struct Case {
        const char* version;
        bool noFnw;
        const char* times;
        const char* finishInstall;  // nullptr: no finish-install action before Vista
    };
    const Case cases[] = {
        {"2000", false, "once", nullptr},
        {"2003", true, "once", nullptr},
        {"vista", false, "3 times", "requested (NoFNW not set)"},
        {"7", true, "twice", "not requested (NoFNW set, web update off)"},
        {"10", true, "twice", "not requested (NoFNW set, web update off)"},
    };
    for (const Case& c : cases) {
        std::string text = std::string("[S]\n11,zk.dll\n") + (c.noFnw ? "NoFNW=01\n" : "") +
                           "[KESTR.DevType]\nAudio=1\n";
        CheckReport report = Check(text, "S", c.version);
        EXPECT_TRUE(
            Has(report, std::string("log, Video device: \"ERROR: LaunchKestrForDeviceClass> "
                                    "Device section not found in '") +
                            zk::inicheck::FindWindowsVersion(c.version)->systemDirectory +
                            "\\zkcoinst.ini'.\" " + c.times + " (expected"))
            << c.version << "\n"
            << report.text;
        EXPECT_FALSE(Has(report, "log, Audio device")) << c.version;
        EXPECT_EQ(c.finishInstall != nullptr,
                  Has(report, "finish-install action, Audio device: requested (web update on)"))
            << c.version;
        if (c.finishInstall != nullptr) {
            EXPECT_TRUE(
                Has(report, std::string("finish-install action, Video device: ") + c.finishInstall))
                << c.version << "\n"
                << report.text;
        }
        EXPECT_EQ(0, report.warnings) << c.version << "\n" << report.text;
    }
}

// A NoFNW line is the switch, not a mistake, when its value reads as 1; the
// first NoFNW line of the section is the one read.
TEST(IniCheck, NoFnwLinesAreTheSwitch) {
    struct Case {
        const char* lines;
        bool set;
        int warnings;
    };
    const Case cases[] = {
        {"NoFNW=1\n", true, 0},      {"nofnw = 01\n", true, 0},       {"NoFNW=\"1\"\n", true, 0},
        {"NoFNW=yes\n", false, 1},   {"NoFNW=1\nNoFNW=0\n", true, 1}, {"NoFNW\n", false, 1},
        {"NoFNW=10000\n", false, 1},
    };
    for (const Case& c : cases) {
        CheckReport report = Check(std::string("[S]\n") + c.lines, "S", "7");
        EXPECT_EQ(c.set, Has(report, "not requested (NoFNW set")) << c.lines << report.text;
        EXPECT_EQ(c.warnings, report.warnings) << c.lines << report.text;
    }
}

// Switch sections are asked for by names formed from the version's numbers in
// decimal; any other name is never read.
TEST(IniCheck, SwitchSectionsNoVersionAsksForAreNamed) {
    struct Case {
        const char* section;
        const char* why;  // nullptr: some version reads it
    };
    const Case cases[] = {
        {"KESTR.DevType", nullptr},
        {"KESTR.DevType.5.2", nullptr},
        {"kestr.devtype.10.0", nullptr},
        {"S.KESTR.6.3", nullptr},
        {"Other.KESTR", nullptr},
        {"KESTR.DevType.5.01", "Windows XP asks for [KESTR.DevType.5.1]"},
        {"S.KESTR.010.0", "Windows 10 or 11 asks for [S.KESTR.10.0]"},
        {"KESTR.DevType.4.0", "Windows NT 4.0 does not call the co-installer"},
        {"KESTR.DevType.6.5", "no Windows version reports 6.5"},
        {"KESTR.DevType.6", "a version is written .<major>.<minor>"},
        {"KESTR.DevType.6.1.0", "a version is written .<major>.<minor>"},
        {"S.KESTR.x", "a version is written .<major>.<minor>"},
    };
    for (const Case& c : cases) {
        CheckReport report =
            Check(std::string("[S]\n11,zk.dll\n[") + c.section + "]\nAudio=1\n", "S", "xp");
        EXPECT_EQ(c.why != nullptr, Has(report, "is read on no Windows version")) << c.section;
        if (c.why != nullptr) {
            EXPECT_TRUE(Has(report, c.why)) << c.section << "\n" << report.text;
        }
    }
}

TEST(IniCheck, RegistryLinesWithoutAKeyPathAreIgnored) {
    struct Case {
        const char* line;
        const char* why;
    };
    const Case cases[] = {
        {"102,NoBackslash", "\"NoBackslash\" holds no backslash"},
        {"102,\\ZkRootValue", "\"\\ZkRootValue\" has nothing in front of its last backslash"},
        {"100,\\", "\"\\\" has nothing in front of its last backslash"},
    };
    for (const Case& c : cases) {
        CheckReport report = Check(std::string("[S]\n") + c.line + "\n", "S", "xp");
        EXPECT_TRUE(Has(report, "ignored: no key path")) << report.text;
        EXPECT_TRUE(Has(report, std::string(c.why) +
                                    ", so it names no key under HKEY_LOCAL_MACHINE; the line is "
                                    "ignored with a WARNING in the log"))
            << report.text;
    }
}

TEST(IniCheck, NoRovudevidAnywhereKeepsTheMonitorOut) {
    CheckReport report = Check("[S]\n103,NO_ROVudevid now\n11,zk.dll\n", "S", "xp");
    EXPECT_TRUE(Has(report, "bandwidth monitor: not installed (line 2)")) << report.text;
    EXPECT_EQ(0, report.warnings) << report.text;
}

}  // namespace
