#include "common/leading_int.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ParseLeadingInt, ReadsAsAtoiDoesAndSaturatesBeyondTheIntRange) {
    EXPECT_EQ(43, ParseLeadingInt("43\\rest"));
    EXPECT_EQ(-7, ParseLeadingInt(" \t-7x"));
    EXPECT_EQ(0, ParseLeadingInt("x1"));
    EXPECT_EQ(INT_MAX, ParseLeadingInt("99999999999999999999"));
    EXPECT_EQ(INT_MIN, ParseLeadingInt("-2147483648"));
    EXPECT_EQ(INT_MIN, ParseLeadingInt("-99999999999999999999"));
}

TEST(ParseWholeInt, TakesOnlyAWholeNumberThatFits) {
    int value = 5;
    EXPECT_TRUE(ParseWholeInt("120", &value));
    EXPECT_EQ(120, value);
    EXPECT_TRUE(ParseWholeInt("-3", &value));
    EXPECT_EQ(-3, value);
    for (const char* text : {"", "2x", "x2", "12 ", "99999999999999999999", "2147483648"}) {
        value = 5;
        EXPECT_FALSE(ParseWholeInt(text, &value)) << text;
        EXPECT_EQ(5, value) << text;
    }
}

}  // namespace
