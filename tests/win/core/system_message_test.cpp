#include "core/system_message.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SystemMessage, ALogLineThatTheTextEndsAlwaysEnds) {
    struct Case {
        const char* what;
        DWORD error;
        const char* text;  // GetSystemMessageText's; null: the system's own, not empty
    };
    const Case cases[] = {
        {"a known code", ERROR_ACCESS_DENIED, nullptr},
        {"an unknown code", 0x2000ABCD, ""},
        {"an unknown code without the customer bit", 0x0000FFF0, ""},
    };
    for (const Case& c : cases) {
        char text[MAX_PATH] = "junk";
        GetSystemMessageText(c.error, text, sizeof(text));
        char line[MAX_PATH] = "junk";
        GetSystemMessageLine(c.error, line, sizeof(line));
        if (c.text != nullptr) {
            EXPECT_STREQ(c.text, text) << c.what;
            EXPECT_STREQ("\n", line) << c.what;
        } else {
            ASSERT_NE('\0', text[0]) << c.what;
            EXPECT_STREQ(text, line) << c.what;
            EXPECT_EQ('\n', line[strlen(line) - 1]) << c.what;
        }
    }
}

TEST(SystemMessage, ATextThatDoesNotFitGivesWayToTheLineBreakAlone) {
    // Room for neither the text nor more than the line break.
    char line[2] = "x";
    GetSystemMessageLine(ERROR_ACCESS_DENIED, line, sizeof(line));
    EXPECT_STREQ("\n", line);
    char none[1] = {'x'};
    GetSystemMessageLine(ERROR_ACCESS_DENIED, none, sizeof(none));
    EXPECT_EQ('\0', none[0]);
}

}  // namespace
