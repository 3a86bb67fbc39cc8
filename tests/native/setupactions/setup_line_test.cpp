#include "setupactions/setup_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using zk::BuildResult;
using zk::RegistrationKind;
using zk::SetupActionKind;

TEST(SetupLine, CodeIsReadLikeAtoi) {
    struct Case {
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"11,x", 11},
        {"  \t10,x", 10},
        {"+103,x", 103},
        {"-11,x", -11},
        {"abc,x", 0},
        {"0x0B,x", 0},
        {"12abc,x", 12},
        {",x", 0},
        {"- 5,x", 0},
        {"1 1,x", 1},
        {"007,x", 7},
        {"99999999999,x", INT_MAX},
        {"-99999999999,x", INT_MIN},
        {"2147483647,x", INT_MAX},
        {"-2147483648,x", INT_MIN},
        {"4294967307,x", INT_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, zk::ReadActionCode(c.text)) << c.text;
    }
}

TEST(SetupLine, EachCodeSelectsItsAction) {
    struct Case {
        const char* line;
        SetupActionKind kind;
        const char* argument;
    };
    const Case cases[] = {
        {"11,zkcodec2.dll", SetupActionKind::RegisterInSystemDirectory, "zkcodec2.dll"},
        {"10,TWAIN_32\\Pictavue\\zksf.dll", SetupActionKind::RegisterInWindowsDirectory,
         "TWAIN_32\\Pictavue\\zksf.dll"},
        {"99,DisableAutoPlay", SetupActionKind::DisableAutoPlay, "DisableAutoPlay"},
        {"99,DisableAutoPlayNow", SetupActionKind::DisableAutoPlay, "DisableAutoPlayNow"},
        {"99,DisableUnsafeDialog", SetupActionKind::DisableUnsafeDialog, "DisableUnsafeDialog"},
        {"99,DisableUnsafeDialogs please", SetupActionKind::DisableUnsafeDialog,
         "DisableUnsafeDialogs please"},
        {"99,disableautoplay", SetupActionKind::Nothing, "disableautoplay"},
        {"99,DisableAutoPla", SetupActionKind::Nothing, "DisableAutoPla"},
        {"99, DisableAutoPlay", SetupActionKind::Nothing, " DisableAutoPlay"},
        {"99,", SetupActionKind::Nothing, ""},
        {"100,SOFTWARE\\A\\B", SetupActionKind::DeleteRegistryValue, "SOFTWARE\\A\\B"},
        {"101,CopyHIDUSBDriver", SetupActionKind::CopyHidUsbDriver, "CopyHIDUSBDriver"},
        {"101,CopyHIDUSBDriverX", SetupActionKind::CopyHidUsbDriver, "CopyHIDUSBDriverX"},
        {"101,CopyHidUsbDriver", SetupActionKind::Nothing, "CopyHidUsbDriver"},
        {"102,SOFTWARE\\A\\", SetupActionKind::CreateRegistryValue, "SOFTWARE\\A\\"},
        {"103,NO_ROVudevid", SetupActionKind::DeclineBandwidthMonitor, "NO_ROVudevid"},
        {"103,NO_ROVudevid_too", SetupActionKind::DeclineBandwidthMonitor, "NO_ROVudevid_too"},
        {"103,ROVudevid", SetupActionKind::UnknownModule, "ROVudevid"},
        {"103,no_rovudevid", SetupActionKind::UnknownModule, "no_rovudevid"},
        // Any other number, or none, registers the argument unchanged.
        {"12,zkcodec2.dll", SetupActionKind::RegisterFile, "zkcodec2.dll"},
        {"abc,zkcodec2.dll", SetupActionKind::RegisterFile, "zkcodec2.dll"},
        {"0x0B,zkcodec2.dll", SetupActionKind::RegisterFile, "zkcodec2.dll"},
        {"-11,zkcodec2.dll", SetupActionKind::RegisterFile, "zkcodec2.dll"},
        {"4294967307,zkcodec2.dll", SetupActionKind::RegisterFile, "zkcodec2.dll"},
        // Only the first comma splits; nothing is trimmed.
        {"11, a.dll,b ", SetupActionKind::RegisterInSystemDirectory, " a.dll,b "},
        {" 103 ,NO_ROVudevid", SetupActionKind::DeclineBandwidthMonitor, "NO_ROVudevid"},
    };
    for (const Case& c : cases) {
        zk::SetupAction action = zk::ParseSetupLine(c.line);
        EXPECT_EQ(c.kind, action.kind) << c.line;
        EXPECT_TRUE(action.hasComma) << c.line;
        EXPECT_STREQ(c.argument, action.argument) << c.line;
        // The argument is the line's own text after the first comma.
        EXPECT_EQ(strchr(c.line, ',') + 1, action.argument) << c.line;
    }
}

TEST(SetupLine, ALineWithoutCommaIsRegisteredWhole) {
    for (const char* line : {"zkcodec2.dll", "NoFNW=1", "103", "", "  C:\\x y\\z.exe "}) {
        zk::SetupAction action = zk::ParseSetupLine(line);
        EXPECT_EQ(SetupActionKind::RegisterFile, action.kind) << line;
        EXPECT_FALSE(action.hasComma) << line;
        EXPECT_EQ(line, action.argument) << line;
    }
}

std::vector<std::string> WalkSection(const char* buffer, size_t count) {
    std::vector<std::string> lines;
    size_t position = 0;
    const char* line = nullptr;
    size_t length = 0;
    while (zk::NextSectionLine(buffer, count, &position, &line, &length)) {
        lines.emplace_back(line, length);
        if (lines.size() > 100) {
            ADD_FAILURE() << "the walk does not end";
            break;
        }
    }
    return lines;
}

TEST(SetupLine, SectionWalkStaysWithinTheReturnedCount) {
    using Lines = std::vector<std::string>;
    // The platform's list: each line NUL-terminated, the count without the
    // list's closing NUL.
    const char section[] =
        "11,a.dll\0NoFNW=1\0"
        "103,NO_ROVudevid\0";
    EXPECT_EQ((Lines{"11,a.dll", "NoFNW=1", "103,NO_ROVudevid"}),
              WalkSection(section, sizeof(section) - 2 + 1));
    EXPECT_EQ(Lines{}, WalkSection(section, 0));
    EXPECT_EQ(Lines{}, WalkSection(nullptr, 5));

    // A count that ends inside a line: the line is given up to the count and
    // nothing after it is read (the bytes beyond are not even a terminator).
    char unterminated[] = {'a', '.', 'd', 'l', 'l', '\0', 'x', 'y'};
    EXPECT_EQ((Lines{"a.dll", "xy"}), WalkSection(unterminated, sizeof(unterminated)));
    EXPECT_EQ((Lines{"a.dll", "x"}), WalkSection(unterminated, 7));

    // An empty string in the middle is a line of its own, not the end.
    const char gap[] = "a\0\0b\0";
    EXPECT_EQ((Lines{"a", "", "b"}), WalkSection(gap, 5));
}

TEST(SetupLine, RegistrationIsChosenBySubstringsFromTheFirstDot) {
    struct Case {
        const char* path;
        RegistrationKind kind;
    };
    const Case cases[] = {
        {"C:\\w\\system32\\zkcodec2.dll", RegistrationKind::InProcessServer},
        {"C:\\w\\ZK.DLL", RegistrationKind::InProcessServer},
        {"filter.ax", RegistrationKind::InProcessServer},
        {"FILTER.AX", RegistrationKind::InProcessServer},
        {"tool.exe", RegistrationKind::LocalServer},
        {"TOOL.EXE", RegistrationKind::LocalServer},
        {"C:\\w\\zk.Dll", RegistrationKind::None},
        {"C:\\w\\zk.Exe", RegistrationKind::None},
        {"C:\\w\\zk.ocx", RegistrationKind::None},
        {"C:\\w\\zkcodec2", RegistrationKind::None},
        {"NoFNW=1", RegistrationKind::None},
        {"", RegistrationKind::None},
        // Words before the first '.' do not count; words after it do, anywhere.
        {"C:\\dll\\AX\\tool", RegistrationKind::None},
        {"C:\\x.ax\\tool.exe", RegistrationKind::InProcessServer},
        {"C:\\v1.0\\tool.exe", RegistrationKind::LocalServer},
        {"C:\\v1.0\\maxim.txt", RegistrationKind::InProcessServer},
        {"a.dll.exe", RegistrationKind::InProcessServer},
        {"a.exe.txt", RegistrationKind::LocalServer},
        {"a.e.x.e", RegistrationKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.kind, zk::ClassifyRegistration(c.path)) << c.path;
    }
}

TEST(SetupLine, DirectoryPartEndsAtTheLastBackslash) {
    EXPECT_EQ(strlen("C:\\a.b\\c"), zk::DirectoryPartLength("C:\\a.b\\c\\d.dll"));
    EXPECT_EQ(0u, zk::DirectoryPartLength("zkcodec2.dll"));
    EXPECT_EQ(0u, zk::DirectoryPartLength("\\x.dll"));
    EXPECT_EQ(2u, zk::DirectoryPartLength("C:\\"));
}

TEST(SetupLine, OnlyDriveRootedAndSharePathsAreFullyQualified) {
    for (const char* path :
         {"C:\\x.dll", "c:/x.dll", "\\\\server\\share\\x.dll", "//server/x.dll"}) {
        EXPECT_TRUE(zk::IsFullyQualifiedPath(path)) << path;
    }
    // Each of these is looked for relative to something the caller does not
    // choose: the current folder, the current drive, the search path.
    for (const char* path :
         {"x.dll", "sub\\x.dll", "\\x.dll", "C:x.dll", "1:\\x.dll", " C:\\x.dll", ""}) {
        EXPECT_FALSE(zk::IsFullyQualifiedPath(path)) << path;
    }
}

TEST(SetupLine, CommandLinesQuoteThePathAndRefuseWhatCannotBeQuoted) {
    char out[zk::kSetupTextCapacity];
    EXPECT_EQ(BuildResult::Built,
              zk::BuildRegsvr32CommandLine(out, sizeof(out), "C:\\windows\\system32",
                                           "C:\\Program Files\\zk cam\\zk.ax"));
    EXPECT_STREQ("\"C:\\windows\\system32\\regsvr32.exe\" /s \"C:\\Program Files\\zk cam\\zk.ax\"",
                 out);
    EXPECT_EQ(BuildResult::Built, zk::BuildServerCommandLine(out, sizeof(out), "C:\\a b\\t.exe"));
    EXPECT_STREQ("\"C:\\a b\\t.exe\" /REGSERVER", out);

    // A quote would end the quoted path and turn the rest into switches.
    EXPECT_EQ(BuildResult::QuoteInPath,
              zk::BuildRegsvr32CommandLine(out, sizeof(out), "C:\\s", "x.dll\" /u \"x.dll"));
    EXPECT_STREQ("", out);
    EXPECT_EQ(BuildResult::QuoteInPath,
              zk::BuildServerCommandLine(out, sizeof(out), "t.exe\" /UNREGSERVER"));
    EXPECT_STREQ("", out);
}

TEST(SetupLine, CommandLinesThatDoNotFitAreRefusedNotCut) {
    char out[zk::kSetupTextCapacity];
    const std::string directory = "C:\\s";
    // Fixed text around the paths: "\regsvr32.exe /s " and four quotes.
    const size_t regsvrFixed = directory.size() + strlen("\"\\regsvr32.exe\" /s \"\"");
    const std::string fits(zk::kSetupTextCapacity - 1 - regsvrFixed, 'a');
    EXPECT_EQ(BuildResult::Built,
              zk::BuildRegsvr32CommandLine(out, sizeof(out), directory.c_str(), fits.c_str()));
    EXPECT_EQ(zk::kSetupTextCapacity - 1, strlen(out));
    EXPECT_EQ(BuildResult::TooLong, zk::BuildRegsvr32CommandLine(
                                        out, sizeof(out), directory.c_str(), (fits + "a").c_str()));
    EXPECT_STREQ("", out);

    const std::string serverFits(zk::kSetupTextCapacity - 1 - strlen("\"\" /REGSERVER"), 'e');
    EXPECT_EQ(BuildResult::Built, zk::BuildServerCommandLine(out, sizeof(out), serverFits.c_str()));
    EXPECT_EQ(BuildResult::TooLong,
              zk::BuildServerCommandLine(out, sizeof(out), (serverFits + "e").c_str()));
    EXPECT_STREQ("", out);
}

TEST(SetupLine, JoinedPathsFitOrAreRefused) {
    char out[zk::kSetupTextCapacity];
    EXPECT_TRUE(zk::JoinSetupPath(out, sizeof(out), "C:\\windows", "TWAIN_32\\zksf.dll"));
    EXPECT_STREQ("C:\\windows\\TWAIN_32\\zksf.dll", out);
    const std::string directory = "C:\\windows";
    const std::string fits(zk::kSetupTextCapacity - 1 - directory.size() - 1, 'f');
    EXPECT_TRUE(zk::JoinSetupPath(out, sizeof(out), directory.c_str(), fits.c_str()));
    EXPECT_FALSE(zk::JoinSetupPath(out, sizeof(out), directory.c_str(), (fits + "f").c_str()));
    EXPECT_STREQ("", out);
}

TEST(SetupLine, RegistryArgumentSplitsAtTheLastBackslash) {
    struct Case {
        const char* argument;
        bool ok;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"SOFTWARE\\A\\B\\C\\Value", true, "SOFTWARE\\A\\B\\C", "Value"},
        {"SOFTWARE\\A\\", true, "SOFTWARE\\A", ""},
        {"SOFTWARE\\A\\Value name, with comma", true, "SOFTWARE\\A", "Value name, with comma"},
        {"\\SOFTWARE\\Value", true, "\\SOFTWARE", "Value"},
        // Nothing in front of the last backslash: HKEY_LOCAL_MACHINE itself.
        {"\\Value", false, "", nullptr},
        {"\\", false, "", nullptr},
        {"NoBackslash", false, "", nullptr},
        {"", false, "", nullptr},
    };
    for (const Case& c : cases) {
        char key[zk::kSetupTextCapacity] = "junk";
        const char* value = nullptr;
        EXPECT_EQ(c.ok, zk::SplitRegistryArgument(c.argument, key, sizeof(key), &value))
            << c.argument;
        EXPECT_STREQ(c.key, key) << c.argument;
        if (c.value != nullptr) {
            EXPECT_STREQ(c.value, value) << c.argument;
        }
    }

    char small[4];
    const char* value = nullptr;
    EXPECT_TRUE(zk::SplitRegistryArgument("abc\\v", small, sizeof(small), &value));
    EXPECT_FALSE(zk::SplitRegistryArgument("abcd\\v", small, sizeof(small), &value));
    EXPECT_STREQ("", small);
}

}  // namespace

namespace {

TEST(SetupLine, ACutLastLineIsFoundByALongerRead) {
    EXPECT_TRUE(zk::SectionReadMayBeCut(498, 500));
    EXPECT_FALSE(zk::SectionReadMayBeCut(497, 500));
    EXPECT_FALSE(zk::SectionReadMayBeCut(0, 1));

    // As the platform cuts: "b.dll" became "b.d" at the end of the buffer.
    const char cut[] = "a.dll\0b.d\0";
    const size_t count = 9;
    const char longer[] = "a.dll\0b.dll\0c.dll\0";
    EXPECT_EQ(6u, zk::WholeSectionLines(cut, count, longer, sizeof(longer) - 2));
    // The longer read ends where the short one did: the last line is whole.
    const char whole[] = "a.dll\0b.d\0c.dll\0";
    EXPECT_EQ(count, zk::WholeSectionLines(cut, count, whole, sizeof(whole) - 2));
    // A section that just fitted reads the same the second time.
    EXPECT_EQ(count, zk::WholeSectionLines(cut, count, cut, count));
    // Without a second read, or a shorter one, the last line is not trusted.
    EXPECT_EQ(6u, zk::WholeSectionLines(cut, count, nullptr, 0));
    EXPECT_EQ(6u, zk::WholeSectionLines(cut, count, "a.dll\0", 5));
    // One cut line is all there is: nothing is whole.
    EXPECT_EQ(0u, zk::WholeSectionLines("abc", 3, "abcdef", 6));
    EXPECT_EQ(0u, zk::WholeSectionLines("", 0, "", 0));
}

TEST(SetupLine, TheFirstLineNotRunIsNamedWholeWhereverTheReadEnded) {
    struct Case {
        const char* what;
        const char* cut;
        size_t count;
        const char* longer;  // null: the second read could not be made
        size_t longerCount;
        const char* expected;  // null: every line ran
    };
    const Case cases[] = {
        {"cut inside a line", "a.dll\0b.d\0", 9, "a.dll\0b.dll\0c.dll\0", 17, "b.dll"},
        // The read ended just after a whole line: nothing was cut, but the
        // lines behind it were never read.
        {"ended at a line's end", "a.dll\0b.dll\0", 11,
         "a.dll\0b.dll\0"
         "103,NO_ROVudevid\0",
         28, "103,NO_ROVudevid"},
        // The read took the last line's NUL in and stopped where the next
        // line begins: that line is named from its first character.
        {"ended where a line begins", "a.dll\0b.dll\0", 12,
         "a.dll\0b.dll\0"
         "103,NO_ROVudevid\0",
         28, "103,NO_ROVudevid"},
        {"the whole section", "a.dll\0b.dll\0", 11, "a.dll\0b.dll\0", 11, nullptr},
        {"no second read, cut", "a.dll\0b.d\0", 9, nullptr, 0, "b.d"},
        // Without a second read the last line is not trusted to be whole.
        {"no second read, ended at a line's end", "a.dll\0b.dll\0", 11, nullptr, 0, "b.dll"},
        {"a second read that ended sooner", "a.dll\0b.d\0", 9, "a.dll\0", 5, "b.d"},
        {"the first line cut", "abc\0", 3, "abcdef\0", 6, "abcdef"},
        {"a next line longer than the second read", "a.dll\0b.dll\0", 11, "a.dll\0b.dll\0xyz", 15,
         "xyz"},
    };
    for (const Case& c : cases) {
        size_t whole = zk::WholeSectionLines(c.cut, c.count, c.longer, c.longerCount);
        const char* line = nullptr;
        size_t length = 0;
        bool found =
            zk::FirstLineNotRun(c.cut, c.count, whole, c.longer, c.longerCount, &line, &length);
        EXPECT_EQ(c.expected != nullptr, found) << c.what;
        if (found && c.expected != nullptr) {
            EXPECT_EQ(c.expected, std::string(line, length)) << c.what;
        }
    }
}

}  // namespace
