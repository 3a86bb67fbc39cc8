#include "core/version_probes.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct Expected {
    const char* version;
    bool vistaOrLater;
    bool win2000OrLater;
    bool win2000;
    bool winXP;
    bool win9x;
};

// What each Windows version Wine can report makes of the five predicates. The
// test program is built once per version; ZK_WINVER names the one it runs as.
const Expected kTable[] = {
    {"win2k", false, true, true, false, false},    {"winxp", false, true, false, true, false},
    {"win2003", false, true, false, false, false}, {"vista", true, true, false, false, false},
    {"win7", true, true, false, false, false},     {"win98", false, false, false, false, true},
    {"nt40", false, false, false, false, false},
};

TEST(VersionProbes, AnswerForTheWindowsVersionThisProgramRunsAs) {
    const char* version = getenv("ZK_WINVER");
    ASSERT_NE(nullptr, version);
    const Expected* expected = nullptr;
    for (const Expected& row : kTable) {
        if (std::string(row.version) == version) {
            expected = &row;
        }
    }
    ASSERT_NE(nullptr, expected) << version;
    EXPECT_EQ(expected->vistaOrLater, IsVistaOrLater()) << version;
    EXPECT_EQ(expected->win2000OrLater, IsWin2000OrLater()) << version;
    EXPECT_EQ(expected->win2000, IsWin2000()) << version;
    EXPECT_EQ(expected->winXP, IsWinXP()) << version;
    EXPECT_EQ(expected->win9x, IsWin9x()) << version;
}

}  // namespace
