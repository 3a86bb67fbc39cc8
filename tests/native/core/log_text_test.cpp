#include "core/log_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Timestamp(const LogClock& clock) {
    char buffer[80];
    EXPECT_TRUE(FormatLogTimestamp(clock, buffer, sizeof(buffer)));
    return buffer;
}

template <typename Writer>
std::string Written(Writer writer, const LogClock& clock) {
    FILE* stream = tmpfile();
    writer(stream, clock);
    std::string text(static_cast<size_t>(ftell(stream)), '\0');
    EXPECT_EQ(0, fseek(stream, 0, SEEK_SET));
    EXPECT_EQ(text.size(), fread(&text[0], 1, text.size(), stream));
    EXPECT_EQ(0, fclose(stream));
    return text;
}

TEST(LogTimestamp, FieldsInTheLogsOrderWithItsPadding) {
    struct Case {
        LogClock clock;
        const char* expected;
    } cases[] = {
        {{2026, 12, 1, 7, 2, 52, 12}, "[Dec Mon 07 2:52:12 2026]"},
        {{2026, 12, 0, 6, 9, 5, 0}, "[Dec Sun 06 9:05:00 2026]"},
        {{2025, 1, 6, 31, 23, 59, 59}, "[Jan Sat 31 23:59:59 2025]"},
        {{2024, 2, 4, 29, 0, 0, 7}, "[Feb Thu 29 0:00:07 2024]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Timestamp(c.clock));
    }
}

TEST(LogTimestamp, OutOfRangeFieldsNeverReadPastTheNameTables) {
    EXPECT_EQ("[??? ??? 01 0:00:00 2026]", Timestamp({2026, 13, 7, 1, 0, 0, 0}));
    EXPECT_EQ("[??? ??? 01 0:00:00 2026]", Timestamp({2026, 0, 99, 1, 0, 0, 0}));

    char small[8];
    EXPECT_FALSE(FormatLogTimestamp({2026, 12, 1, 7, 2, 52, 12}, small, sizeof(small)));
    EXPECT_STREQ("", small);
}

TEST(LogText, HeaderRunStartAndStopAreTheLogsExactLines) {
    const LogClock clock = {2026, 12, 1, 7, 2, 52, 12};
    EXPECT_EQ(
        "Tool Name: Audio/Video Coinstaller for 32bit (zkci11701196.dll)\n"
        "Tool Version: 11.70.1196.0 (debug)\n"
        "Log Format Version: 01\n\n"
        "Start Log File: [Dec Mon 07 2:52:12 2026]\n\n",
        Written(WriteLogHeader, clock));
    EXPECT_EQ(
        "Start co-installer: [Dec Mon 07 2:52:12 2026]\n"
        "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\n",
        Written(WriteRunStart, clock));
    EXPECT_EQ("Stop co-installer: [Dec Mon 07 2:52:12 2026]\n\n", Written(WriteRunStop, clock));
}

}  // namespace
