#include "registered_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zk::inicheck::CheckOptions;
using zk::inicheck::CheckRegisteredPrograms;
using zk::inicheck::CheckReport;
using zk::inicheck::ParseRegFile;

// The report on one entry named name with the given value lines.
CheckReport CheckEntry(const std::string& name, const std::string& values,
                       const char* version = "xp", const char* hardwareId = nullptr) {
    std::string text = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\" +
                       name + "]\r\n" + values;
    CheckOptions options;
    options.registeredFile = "apps.reg";
    options.version = zk::inicheck::FindWindowsVersion(version);
    options.hardwareId = hardwareId;
    return CheckRegisteredPrograms(ParseRegFile(text), options);
}

bool Has(const CheckReport& report, const std::string& part) {
    return report.text.find(part) != std::string::npos;
}

const char kProgram[] = "\"Path\"=\"C:\\\\Tools\"\r\n\"Name\"=\"t.exe\"\r\n\"Parameters\"=\"\"\r\n";

// Flags are read as 4 bytes of whatever is stored: text is its characters'
// codes, and a value longer than 4 bytes reads as 0.
TEST(RegisteredCheck, FlagsAreReadAsTheirStoredBytes) {
    struct Case {
        const char* flag;
        const char* phases;
        int warnings;
    };
    const Case cases[] = {
        {"\"PreInstall\"=dword:00000001", "phases: pre-install (", 0},
        {"\"PreInstall\"=dword:00000000", "phases: none", 1},
        {"\"PreInstall\"=\"0\"", "phases: pre-install (", 1},
        {"\"PreInstall\"=\"\"", "phases: none", 2},
        {"\"PreInstall\"=\"1000\"", "phases: none", 2},
        {"\"PreInstall\"=hex:01", "phases: pre-install (", 0},
        {"\"PreInstall\"=hex:00,01,00,00", "phases: pre-install (", 0},
        {"\"PreInstall\"=hex:01,00,00,00,00", "phases: none", 2},
        {"\"PreInstall\"=hex(b):01,00,00,00,00,00,00,00", "phases: none", 2},
        {"\"PostInstall\"=dword:00000002", "phases: post-install (", 0},
    };
    for (const Case& c : cases) {
        CheckReport report = CheckEntry("A valueadd", std::string(kProgram) + c.flag + "\r\n");
        EXPECT_TRUE(Has(report, c.phases)) << c.flag << "\n" << report.text;
        EXPECT_EQ(c.warnings, report.warnings) << c.flag << "\n" << report.text;
    }
}

// On the NT family the flags choose the phases; Windows 98 and NT 4.0 never
// call the co-installer, whatever the entry says.
TEST(RegisteredCheck, OnlyVersionsThatCallTheCoInstallerStartEntries) {
    const std::string entry = std::string(kProgram) + "\"PostInstall\"=dword:1\r\n";
    EXPECT_TRUE(Has(CheckEntry("A valueadd", entry, "7"), "starts: \"C:\\Tools\\t.exe\" \n"));
    EXPECT_TRUE(Has(CheckEntry("A valueadd", entry, "7"), "the finish-install action"));
    EXPECT_FALSE(Has(CheckEntry("A valueadd", entry, "xp"), "the finish-install action"));
    for (const char* version : {"98", "nt4"}) {
        CheckReport report = CheckEntry("A valueadd", entry, version);
        EXPECT_TRUE(Has(report, "no entry starts")) << version;
        EXPECT_FALSE(Has(report, "starts: ")) << version;
    }
}

TEST(RegisteredCheck, NamesSelectDevicesAsTheCoInstallerMatchesThem) {
    struct Case {
        const char* name;
        const char* hardwareId;
        const char* applies;
    };
    const Case cases[] = {
        {"Cam PID_2C6A&MI_00", "USB\\VID_1BCF&PID_2C6A&REV_0100&MI_00", " is one"},
        {"Cam pid_2c6a&mi_01", "USB\\VID_1BCF&PID_2C6A&MI_00", " is not"},
        {"Cam pid_2c6a", "USB\\VID_1BCF&PID_2C6A&MI_00", " is not"},
        {"Extra VIDURUVIR", "PCI\\VEN_1234", " is one"},
    };
    for (const Case& c : cases) {
        CheckReport report = CheckEntry(
            c.name, std::string(kProgram) + "\"PreInstall\"=dword:1\r\n", "xp", c.hardwareId);
        EXPECT_TRUE(Has(report, std::string(c.hardwareId) + c.applies)) << c.name << report.text;
    }
}

// What the templates give on each version's folders, and the templates that
// cannot mean what they say.
TEST(RegisteredCheck, TemplatesExpandOnTheVersionsFolders) {
    struct Case {
        const char* version;
        const char* path;
        const char* parameters;
        const char* starts;  // nullptr: nothing starts
        const char* warning;
    };
    const Case cases[] = {
        {"xp", "%36%", "\\\"%37%\\\\x.ini\\\"",
         "\"C:\\WINDOWS\\t.exe\" \"C:\\WINDOWS\\system32\\x.ini\"", nullptr},
        {"7", "%26%", "-q", "\"<user profile>\\AppData\\Roaming\\t.exe\" -q", nullptr},
        {"xp", "%26%", "-q", "\"<user profile>\\Application Data\\t.exe\" -q", nullptr},
        {"xp", "%windir%", "-q", "\"<user profile>\\Desktop\\t.exe\" -q", "has no leading digits"},
        {"xp", "%43x%", "-q", "\"C:\\Program Files\\Common Files\\t.exe\" -q",
         "only the leading number of \"%43x%\" counts"},
        {"xp", "C:\\\\Tools", "100%", "\"C:\\Tools\\t.exe\" 100", "cannot be meant literally"},
        {"xp", "%43%%L%", "-q", "\"C:\\Program Files\\Common FilesL\\t.exe\" -q",
         "cannot be meant literally"},
        {"xp", "%17%", "-q", nullptr, "CSIDL 17, My Computer, is a folder without a path"},
        {"xp", "%99%", "-q", nullptr, "CSIDL 99 is no shell folder the checker knows"},
        {"xp", "%L%\\\\x", "-q", nullptr, "%L% has no folder in front of it"},
        {"xp", "\\\"%43%\\\\%L%\\\"", "-q",
         "\"\"C:\\Program Files\\Common Files\\Marvshrd\"\\t.exe\" -q",
         "Path holds a double quote"},
        {"xp", "%43%", "-f %43%\\\\a.txt",
         "\"C:\\Program Files\\Common Files\\t.exe\" -f C:\\Program "
         "Files\\Common Files\\a.txt",
         "outside double quotes"},
        {"xp", "", "-q", "\"\\t.exe\" -q", "Path is empty"},
    };
    for (const Case& c : cases) {
        std::string values = std::string("\"Path\"=\"") + c.path + "\"\r\n\"Name\"=\"t.exe\"\r\n" +
                             "\"Parameters\"=\"" + c.parameters +
                             "\"\r\n\"PreInstall\"=dword:1\r\n";
        CheckReport report = CheckEntry("A valueadd", values, c.version);
        std::string starts =
            c.starts == nullptr ? "starts: nothing\n" : std::string("starts: ") + c.starts + "\n";
        EXPECT_TRUE(Has(report, starts)) << c.path << " " << c.parameters << "\n" << report.text;
        if (c.warning == nullptr) {
            EXPECT_EQ(0, report.warnings) << c.path << "\n" << report.text;
        } else {
            EXPECT_TRUE(Has(report, c.warning)) << c.path << "\n" << report.text;
        }
    }
}

TEST(RegisteredCheck, ACommandLineOverTheLimitStartsNothing) {
    std::string longName(240, 'n');
    CheckReport report =
        CheckEntry("A valueadd", "\"Path\"=\"%43%\"\r\n\"Name\"=\"" + longName +
                                     ".exe\"\r\n\"Parameters\"=\"\"\r\n\"PreInstall\"=dword:1\r\n");
    EXPECT_TRUE(Has(report, "starts: nothing (command line too long)")) << report.text;
    EXPECT_TRUE(Has(report, "WARNING: Unable to launch")) << report.text;
}

}  // namespace
