// The log explainer's reading: printf formats read back from log lines, every
// text of the table found again in what it prints, and a log split into runs
// and messages as the DLL writes it. The reports on whole logs are the golden
// tests of tests/fixtures/logcheck.
#include "log_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "format_match.h"
#include "log_texts.h"

namespace {

using zk::logcheck::LogFile;
using zk::logcheck::LogText;
using zk::logcheck::MatchFormat;
using zk::logcheck::ReadLog;
using zk::logcheck::TextKind;

TEST(FormatMatch, ConversionsReadWhatPrintfWrites) {
    struct Case {
        const char* format;
        const char* text;
        bool matches;
        size_t end;  // where the match ends
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"Processing %s.\n", "Processing ZKUI2.dll.", true, 21, {"ZKUI2.dll"}},
        {"Processing %s.\n", "Processing ZKUI2.dll. more", false, 0, {}},
        // The shortest text that lets the rest match the whole line.
        {"WARNING: %s: %s names no key; line ignored.\n",
         "WARNING: CreateRegKeyHKLM: a: b names no key; line ignored.",
         true,
         59,
         {"CreateRegKeyHKLM", "a: b"}},
        {"Unhandled DIF Code: %3d ---\n", "Unhandled DIF Code:   5 ---", true, 27, {"  5"}},
        {"New file version %d.%d.%d.%d.\n",
         "New file version 6.0.-1.100.",
         true,
         28,
         {"6", "0", "-1", "100"}},
        {"New file version %d.%d.%d.%d.\n", "New file version 6.0.x.100.", false, 0, {}},
        {"code 0x%08X.\n", "code 0x0000ABCD.", true, 16, {"0000ABCD"}},
        {"code 0x%08X.\n", "code 0x.", false, 0, {}},
        {"100%% %u\n", "100% 7", true, 6, {"7"}},
        {"Not run: %.*s\n", "Not run: ", true, 9, {""}},
        // Without a line end of its own: a beginning of the line, and a last
        // %s takes the rest (the system's text closes the line).
        {"ERROR: SetupDiGetDriverInfoDetail",
         "ERROR: SetupDiGetDriverInfoDetail   next",
         true,
         33,
         {}},
        {"ERROR: Couldn't %s %s. 0x%08X - %s",
         "ERROR: Couldn't delete a.dll. 0x00000020 - In use.",
         true,
         50,
         {"delete", "a.dll", "00000020", "In use."}},
        {"Filter '%s' is already present.\r\n",
         "Filter 'zkusbsta' is already present.",
         true,
         37,
         {"zkusbsta"}},
    };
    for (const Case& c : cases) {
        size_t end = 0;
        std::vector<std::string> values;
        ASSERT_EQ(c.matches, MatchFormat(c.format, c.text, 0, &end, &values)) << c.text;
        if (c.matches) {
            EXPECT_EQ(c.end, end) << c.text;
            EXPECT_EQ(c.values, values) << c.text;
        }
    }
}

TEST(FormatMatch, AHostileLineEndsInBoundedTime) {
    std::string text(4000, 'a');
    size_t end = 0;
    std::vector<std::string> values;
    EXPECT_FALSE(MatchFormat("%s%s%s%s b\n", text, 0, &end, &values));
    EXPECT_TRUE(values.empty());
}

// What printf would write for format, with a sample for each conversion.
std::string Printed(const char* format) {
    std::string out;
    for (const char* c = format; *c != '\0'; ++c) {
        if (*c != '%') {
            out += *c;
            continue;
        }
        ++c;
        while (*c != '\0' && strchr("-+ #0123456789.*", *c) != nullptr) {
            ++c;
        }
        out += *c == 's' ? "sample text" : *c == '%' ? "%" : "42";
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

// Each text of the table, printed, reads back as that text and not as another
// one tried before it; the findings carry a cause and a fix, the steps none.
TEST(LogTexts, EveryTextReadsBackAsItselfWithItsExplanation) {
    size_t count = 0;
    const LogText* texts = zk::logcheck::LogTexts(&count);
    ASSERT_GT(count, 100u);
    for (size_t i = 0; i < count; ++i) {
        const LogText& text = texts[i];
        std::string line = Printed(text.format);
        size_t end = 0;
        std::vector<std::string> values;
        const LogText* found = zk::logcheck::MatchLogText(line, 0, &end, &values);
        ASSERT_NE(nullptr, found) << text.format;
        EXPECT_STREQ(text.format, found->format) << line;
        bool finding = text.kind == TextKind::Error || text.kind == TextKind::Warning ||
                       text.kind == TextKind::Failure;
        EXPECT_EQ(finding, text.cause != nullptr && text.fix != nullptr) << text.format;
        if (finding) {
            EXPECT_EQ(text.kind == TextKind::Error, strncmp(text.format, "ERROR:", 6) == 0);
            EXPECT_EQ(text.kind == TextKind::Warning, strncmp(text.format, "WARNING:", 8) == 0);
        }
    }
}

TEST(LogReader, RunsAndMessagesAreSplitAsTheDllWritesThem) {
    const std::string log =
        "Tool Name: Audio/Video Coinstaller for 32bit (zkci11701196.dll)\r\n"
        "Start co-installer: [Dec Tue 08 5:16:55 2026]\r\n"
        "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n"
        "   Filter 'zkusbsta' is already present.\r\r\n"
        "   ERROR: SetupDiGetDriverInfoDetail   ERROR: Failed to get Media Source Directory \r\n"
        // Cut short: the next run starts without a stop line.
        "Start co-installer: [Dec Tue 08 5:16:56 2026]\r\n"
        "   Something else entirely\r\n"
        "Stop co-installer: [Dec Tue 08 5:16:57 2026]\r\n"
        "\r\n"
        "   Processing zksf.dll.\r\n"
        "garbage\r\n"
        "   Restoring C:\\x.dll";  // a power cut ended the file here
    LogFile file = ReadLog(log);
    ASSERT_EQ(1u, file.header.size());
    ASSERT_EQ(3u, file.runs.size());
    ASSERT_EQ(1u, file.strays.size());
    EXPECT_EQ(11, file.strays[0].line);

    const auto& first = file.runs[0];
    EXPECT_EQ(2, first.startLine);
    EXPECT_EQ(0, first.stopLine);
    EXPECT_EQ("ZKCi11701196.dll version: 11.70.1196.0 (debug)", first.binary);
    ASSERT_EQ(3u, first.entries.size());
    EXPECT_EQ("Filter 'zkusbsta' is already present.", first.entries[0].text);
    EXPECT_EQ(std::vector<std::string>{"zkusbsta"}, first.entries[0].values);
    EXPECT_EQ("ERROR: SetupDiGetDriverInfoDetail", first.entries[1].text);
    EXPECT_EQ(5, first.entries[2].line);
    EXPECT_NE(nullptr, first.entries[2].known);

    const auto& second = file.runs[1];
    EXPECT_EQ(8, second.stopLine);
    ASSERT_EQ(1u, second.entries.size());
    EXPECT_EQ(nullptr, second.entries[0].known);

    // Messages after the stop line belong to no run.
    const auto& outside = file.runs[2];
    EXPECT_EQ(0, outside.startLine);
    ASSERT_EQ(2u, outside.entries.size());
    EXPECT_EQ("Restoring C:\\x.dll", outside.entries[1].text);
    EXPECT_EQ(12, outside.lastLine);
}

}  // namespace
