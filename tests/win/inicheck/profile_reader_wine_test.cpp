// The checker's profile reader must give what the platform's profile functions
// give on the same file, or its judgement of cut sections and switch values
// would not be the co-installer's. Compared here against the real functions.
#include <gtest/gtest.h>

#include <string>

#include "profile_reader.h"
#include "test_support.h"

namespace {

using zk::inicheck::ParseProfile;
using zk::inicheck::ProfileFile;
using zk::inicheck::ReadProfileSection;
using zk::inicheck::ReadProfileString;

const char kProfile[] =
    "stray=before any section\r\n"
    "[Setup]\r\n"
    "11,zkcodec2.dll\r\n"
    "   10,TWAIN_32\\Pictavue\\zksf.dll   \r\n"
    "; a comment\r\n"
    "\r\n"
    "NoFNW = 1\r\n"
    "=no name\r\n"
    "[not a header\r\n"
    "12,a=b = c\r\n"
    "key=\r\n"
    "99,DisableUnsafeDialog\r\n"
    "11,a-rather-long-component-name-to-cross-buffer-ends.dll\r\n"
    "102,SOFTWARE\\Marvanto\\Value\r\n"
    "[Switches]\r\n"
    "Video=1\r\n"
    "Audio = \"1\"\r\n"
    "Long=10000\r\n"
    "Quoted='1'  \r\n"
    "Half=\"1\r\n"
    "NoValue\r\n"
    "Empty=\r\n"
    "LongQuoted=\"1000\"\r\n"
    "Lone\rCarriage=1\r\n"
    "[setup]\r\n"
    "11,second.dll\r\n"
    "[Empty]\r\n"
    "[Last]\n"
    "103,NO_ROVudevid";

class ProfileReaderAgainstPlatform : public testing::Test {
protected:
    ProfileReaderAgainstPlatform() : scratch_("inicheck"), path_(scratch_.File("profile.ini")) {
        zktest::WriteFileBytes(path_, kProfile);
        file_ = ParseProfile(kProfile);
    }

    zktest::ScratchDirectory scratch_;
    std::string path_;
    ProfileFile file_;
};

TEST_F(ProfileReaderAgainstPlatform, SectionReadsAgreeAtEveryBufferSize) {
    const char* const sections[] = {"Setup", "SETUP", "Switches", "Empty", "Last", "Missing"};
    for (const char* section : sections) {
        for (DWORD capacity = 3; capacity <= 400; ++capacity) {
            std::string platform(capacity, '\x7f');
            std::string ours(capacity, '\x7f');
            DWORD platformCount =
                GetPrivateProfileSectionA(section, &platform[0], capacity, path_.c_str());
            size_t ourCount = ReadProfileSection(file_, section, &ours[0], capacity);
            ASSERT_EQ(platformCount, ourCount) << section << " " << capacity;
            // Only what the caller may read counts: the characters and the NUL after them.
            size_t meaningful = ourCount + 1 < capacity ? ourCount + 1 : capacity;
            ASSERT_EQ(platform.substr(0, meaningful), ours.substr(0, meaningful))
                << section << " " << capacity;
        }
    }
}

TEST_F(ProfileReaderAgainstPlatform, SwitchReadsAgree) {
    const char* const keys[] = {"Video", "audio",   "Long",  "Quoted",  "Half",       "NoValue",
                                "Empty", "Missing", "NoFNW", " Video ", "LongQuoted", "Carriage"};
    const char* const sections[] = {"Switches", "Setup", " Switches ", "Missing"};
    for (const char* section : sections) {
        for (const char* key : keys) {
            char platform[5] = {};
            char ours[5] = {};
            DWORD platformCount = GetPrivateProfileStringA(section, key, "", platform,
                                                           sizeof(platform), path_.c_str());
            size_t ourCount = ReadProfileString(file_, section, key, ours, sizeof(ours));
            EXPECT_EQ(platformCount, ourCount) << section << "/" << key;
            EXPECT_STREQ(platform, ours) << section << "/" << key;
        }
    }
}

}  // namespace
