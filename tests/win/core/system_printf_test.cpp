// Bounded formatting through the system's own formatter: the text that fits
// exactly with its terminator is written, one character more is refused with
// an empty buffer, never cut or left unterminated.
#include <gtest/gtest.h>

#include <cstring>

#include "common/bounded_text.h"

namespace {

TEST(SystemFormatter, RefusesWhatDoesNotFitWithItsTerminator) {
    char text[8];
    memset(text, 'x', sizeof(text));
    EXPECT_TRUE(zk::FormatText(text, sizeof(text), "%s-%d", "abc", 123));
    EXPECT_STREQ("abc-123", text);

    memset(text, 'x', sizeof(text));
    EXPECT_FALSE(zk::FormatText(text, sizeof(text), "%s-%d", "abcd", 123));
    EXPECT_EQ('\0', text[0]);
    memset(text, 'x', sizeof(text));
    EXPECT_FALSE(zk::FormatText(text, sizeof(text), "%s", "a text far longer than eight"));
    EXPECT_EQ('\0', text[0]);
}

TEST(SystemFormatter, ReadsTheLibrarysFormatsAsTheLogExpectsThem) {
    char text[64];
    ASSERT_TRUE(zk::FormatText(text, sizeof(text), "%08X|%08x|%04X|%02u|%3d|%.*s|%u", 0xE0000203u,
                               0xABu, 0x14Cu, 7u, 5, 3, "abcdef", 4294967295u));
    EXPECT_STREQ("E0000203|000000ab|014C|07|  5|abc|4294967295", text);
    ASSERT_TRUE(zk::FormatText(text, sizeof(text), "%d", -536870397));
    EXPECT_STREQ("-536870397", text);
}

}  // namespace
