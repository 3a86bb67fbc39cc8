#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BoundedText, CopyFitsExactlyOrIsRefusedEmpty) {
    char buffer[6] = "xxxxx";
    EXPECT_TRUE(zk::CopyText(buffer, sizeof(buffer), "abcde"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_FALSE(zk::CopyText(buffer, sizeof(buffer), "abcdef"));
    EXPECT_STREQ("", buffer);
    EXPECT_FALSE(zk::CopyText(buffer, sizeof(buffer), nullptr));
    EXPECT_FALSE(zk::CopyText(buffer, 0, "a"));
}

TEST(BoundedText, AppendRefusesWhatDoesNotFitAndNeverWritesPastCapacity) {
    char buffer[8] = "abc";
    buffer[7] = '#';
    EXPECT_TRUE(zk::AppendText(buffer, 7, "def"));
    EXPECT_STREQ("abcdef", buffer);
    EXPECT_FALSE(zk::AppendText(buffer, 7, "g"));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ('#', buffer[7]);

    // A buffer without a terminator inside its capacity is refused, not read past.
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(zk::AppendText(unterminated, sizeof(unterminated), ""));
}

TEST(BoundedText, FormatRefusesTruncationAndPrintsNullStrings) {
    char buffer[10];
    EXPECT_TRUE(zk::FormatText(buffer, sizeof(buffer), "%s-%d", "ab", 42));
    EXPECT_STREQ("ab-42", buffer);
    EXPECT_FALSE(zk::FormatText(buffer, sizeof(buffer), "%s", "0123456789"));
    EXPECT_STREQ("", buffer);

    zk::FixedText<16> text;
    const char* none = nullptr;
    EXPECT_TRUE(text.Format("[%s]", none));
    EXPECT_STREQ("[(null)]", text.c_str());
    EXPECT_TRUE(text.Append("xyz"));
    EXPECT_STREQ("[(null)]xyz", text.c_str());
    EXPECT_FALSE(text.Append("0123456789"));
}

}  // namespace
