#include "launch/web_update_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Search(const char* section, bool haveVersion, unsigned major,
                                unsigned minor) {
    KestrSectionSearch search;
    BuildKestrSectionSearch(section, haveVersion, major, minor, &search);
    return std::vector<std::string>(search.names, search.names + search.count);
}

TEST(WebUpdateSwitch, SectionsAreAskedMostSpecificFirst) {
    EXPECT_EQ((std::vector<std::string>{"CamInstall.NT.KESTR.6.1", "CamInstall.NT.KESTR",
                                        "KESTR.DevType.6.1", "KESTR.DevType"}),
              Search("CamInstall.NT", true, 6, 1));
    EXPECT_EQ((std::vector<std::string>{"CamInstall.NT.KESTR", "KESTR.DevType"}),
              Search("CamInstall.NT", false, 6, 1));

    // Names that do not fit 100 bytes are left out, never cut.
    std::string section(88, 's');  // with ".KESTR.10.0": 99 characters, just fits
    EXPECT_EQ(section + ".KESTR.10.0", Search(section.c_str(), true, 10, 0)[0]);
    section += 's';
    EXPECT_EQ((std::vector<std::string>{section + ".KESTR", "KESTR.DevType.10.0", "KESTR.DevType"}),
              Search(section.c_str(), true, 10, 0));
    std::string longer(94, 's');
    EXPECT_EQ((std::vector<std::string>{"KESTR.DevType.6.0", "KESTR.DevType"}),
              Search(longer.c_str(), true, 6, 0));
}

TEST(WebUpdateSwitch, ValuesAreOnOnlyWhenTheyReadAsOne) {
    struct Case {
        const char* value;
        bool on;
        bool noFnw;
    } cases[] = {
        {"1", true, true},   {"01", true, true},     {" 1", true, true},   {"1x", true, true},
        {"0", false, false}, {"2", false, false},    {"on", false, false}, {"yes", false, false},
        {"", false, false},  {"1000", false, false}, {"-1", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.on, IsSwitchValueOn(c.value)) << c.value;
        EXPECT_EQ(c.noFnw, IsNoFNWValueSet(c.value)) << c.value;
    }
}

TEST(WebUpdateCommandLine, QuotesTheProgramAndKeepsTheArguments) {
    KestrLaunchFacts facts = {"C:\\Program Files\\Common Files",
                              "1a2b",
                              "3c4d",
                              "0100",
                              "Video",
                              {{1, 2, 30, 400}},
                              "Some Maker",
                              true};
    char line[kKestrCommandLineCapacity];
    ASSERT_TRUE(FormatKestrCommandLine(line, sizeof(line), facts));
    EXPECT_STREQ(
        "\"C:\\Program Files\\Common Files\\marvshrd\\Kestr32.exe\" -v 0x1a2b -p 0x3c4d "
        "-b 0x0100 -f Video -d 1.2.30.400 -m Some Maker -reboot",
        line);

    facts.needReboot = false;
    facts.className = "Audio";
    ASSERT_TRUE(FormatKestrCommandLine(line, sizeof(line), facts));
    EXPECT_EQ(std::string::npos, std::string(line).find("-reboot"));
    EXPECT_NE(std::string::npos, std::string(line).find("-f Audio -d"));

    // A manufacturer name that would push the line past 300 bytes is refused.
    const std::string tooLong(300 - strlen(line) + strlen("Some Maker"), 'm');
    facts.manufacturer = tooLong.c_str();
    EXPECT_FALSE(FormatKestrCommandLine(line, sizeof(line), facts));
    const std::string justFits(tooLong.size() - 1, 'm');
    facts.manufacturer = justFits.c_str();
    EXPECT_TRUE(FormatKestrCommandLine(line, sizeof(line), facts));
    EXPECT_EQ(299u, strlen(line));
}

}  // namespace
