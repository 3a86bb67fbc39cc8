#include "preserve/file_version.h"

#include <gtest/gtest.h>

namespace {

TEST(FileVersion, FixedInfoWordsGiveFileVersionMajorFirst) {
    FileVersion v = FileVersionFromFixedInfo(0x00060001, 0x9C400063);
    EXPECT_EQ(6, v.major);
    EXPECT_EQ(1, v.minor);
    EXPECT_EQ(40000, v.build);
    EXPECT_EQ(99, v.revision);
}

TEST(FileVersion, NewerIsStrictlyGreaterComparingUnsignedPartsMajorFirst) {
    struct Case {
        FileVersion a;
        FileVersion b;
        bool newer;
    };
    const Case cases[] = {
        {{6, 0, 0, 100}, {6, 0, 0, 99}, true},
        {{6, 0, 0, 99}, {6, 0, 0, 100}, false},
        {{6, 0, 0, 100}, {6, 0, 0, 100}, false},  // equal is not newer
        {{1, 0, 40000, 0}, {1, 0, 1, 0}, true},   // parts are unsigned
        {{1, 0, 1, 0}, {1, 0, 40000, 0}, false},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, false},
        {{0, 0, 0, 1}, {0, 0, 0, 0}, true},
        {{2, 0, 0, 0}, {1, 65535, 65535, 65535}, true},  // the major decides first
        {{1, 2, 0, 0}, {1, 1, 65535, 65535}, true},
        {{1, 1, 2, 0}, {1, 1, 1, 65535}, true},
        {{65535, 0, 0, 0}, {32767, 0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.newer, IsNewerVersion(c.a, c.b))
            << c.a.major << "." << c.a.minor << "." << c.a.build << "." << c.a.revision << " vs "
            << c.b.major << "." << c.b.minor << "." << c.b.build << "." << c.b.revision;
    }
}

TEST(FileVersion, OnlyAllZeroIsNoVersion) {
    EXPECT_TRUE(IsNoVersion({0, 0, 0, 0}));
    EXPECT_FALSE(IsNoVersion({0, 0, 0, 1}));
    EXPECT_FALSE(IsNoVersion({1, 0, 0, 0}));
}

}  // namespace
