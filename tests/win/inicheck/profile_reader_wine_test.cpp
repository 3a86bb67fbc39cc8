// The checker's profile reader must give what the platform's profile functions
// give on the same file, or its judgement of cut sections and switch values
// would not be the co-installer's. Compared here against the real functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile_reader.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
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

// Both readers on the same bytes: section reads at every buffer size and
// switch-sized string reads of every key.
void CompareWithPlatform(const std::string& path, const std::string& bytes,
                         const std::vector<const char*>& sections,
                         const std::vector<const char*>& keys, DWORD largest = 400) {
    zktest::WriteFileBytes(path, bytes);
    ProfileFile file = ParseProfile(bytes);
    for (const char* section : sections) {
        for (DWORD capacity = 3; capacity <= largest; ++capacity) {
            std::string platform(capacity, '\x7f');
            std::string ours(capacity, '\x7f');
            DWORD platformCount =
                GetPrivateProfileSectionA(section, &platform[0], capacity, path.c_str());
            size_t ourCount = ReadProfileSection(file, section, &ours[0], capacity);
            ASSERT_EQ(platformCount, ourCount) << path << " " << section << " " << capacity;
            // Only what the caller may read counts: the characters and the NUL after them.
            size_t meaningful = ourCount + 1 < capacity ? ourCount + 1 : capacity;
            ASSERT_EQ(platform.substr(0, meaningful), ours.substr(0, meaningful))
                << path << " " << section << " " << capacity;
        }
        for (const char* key : keys) {
            char platform[5] = {};
            char ours[5] = {};
            DWORD platformCount = GetPrivateProfileStringA(section, key, "", platform,
                                                           sizeof(platform), path.c_str());
            size_t ourCount = ReadProfileString(file, section, key, ours, sizeof(ours));
            EXPECT_EQ(platformCount, ourCount) << path << " " << section << "/" << key;
            EXPECT_STREQ(platform, ours) << path << " " << section << "/" << key;
        }
    }
}

std::string Utf16Le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

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

// The empty name reads the lines above the first header ("[]" is never
// reached), and a NUL ends a name or value where it stands.
TEST_F(ProfileReaderAgainstPlatform, UnnamedLinesAndNulBytesAgree) {
    const std::string bytes =
        "pre=1\r\n\0hidden\r\n11,top.dll\r\n[]\r\nunder=empty\r\n[S\0T]\r\n\0abc\r\n"
        "11,a\0.dll\r\n\0k=v\r\n=w\r\nkey\0x=1\r\nv=1\0"
        "0\r\n\0q\r\n=z\r\n[S]\r\nlater\r\n"s;
    CompareWithPlatform(scratch_.File("unnamed.ini"), bytes, {"", "S", "S T", "Missing"},
                        {"pre", "under", "key", "KEY", "v", "k"}, 120);
}

// The checker takes the code page to be 1252; these files hold what it maps.
bool WesternCodePage() {
    return GetACP() == 1252;
}

// ANSI text: every byte reaches the ANSI functions unchanged in a
// single-byte code page, in section names, keys and values alike.
TEST_F(ProfileReaderAgainstPlatform, NonAsciiAnsiTextAgrees) {
    if (!WesternCodePage()) {
        GTEST_SKIP() << "code page " << GetACP();
    }
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) {
        high += static_cast<char>(c);
    }
    std::string bytes = "[Cam\xE9ra]\r\n11," + high.substr(0, 64) + ".dll\r\n" + "11," +
                        high.substr(64) + ".dll\r\n" + "\xC9t\xE9=\xB9\r\n" +
                        "[Sw\x80]\r\nVid\xE9o=\x31\xA0\r\n";
    CompareWithPlatform(scratch_.File("ansi.ini"), bytes, {"Cam\xE9ra", "CAM\xE9RA", "Sw\x80"},
                        {"\xC9t\xE9", "Vid\xE9o", "VID\xE9O"});
}

// UTF-16LE with its byte-order mark, as Windows reads it from Windows 2000
// on: characters of the code page become their bytes, others '?'. (A
// character with a similar letter in the code page, such as U+0100, becomes
// that letter on Windows and under Wine, and '?' in the checker; it is left
// out here.)
TEST_F(ProfileReaderAgainstPlatform, Utf16WithItsMarkAgrees) {
    if (!WesternCodePage()) {
        GTEST_SKIP() << "code page " << GetACP();
    }
    std::u16string text =
        u"; \u65e5\u672c\r\n"
        u"[Setup]\r\n"
        u"11,zkcampag\u00e9.dll\r\n"
        u"   10,TWAIN_32\\\u20ac\u0152\\zksf.dll   \r\n"
        u"11,\u65e5\u672c\u8a9e.dll\r\n"
        u"; a comment\r\n"
        u"NoFNW = 1\r\n"
        u"12,a=b = c\r\n"
        u"11,a-rather-long-component-name-to-cross-buffer-ends-\u00ff.dll\r\n"
        u"[Sw\u00e9]\r\n"
        u"Video=1\r\n"
        u"Audio = \"1\"\r\n"
        u"\u00c9t\u00e9=\u4e00\r\n"
        u"Long=10000\r\n"
        u"[Last]\n"
        u"103,NO_ROVudevid";
    CompareWithPlatform(scratch_.File("utf16.ini"), Utf16Le(text),
                        {"Setup", "Sw\xE9", "SW\xE9", "Last", "Missing"},
                        {"Video", "Audio", "\xC9t\xE9", "Long", "NoFNW"});
}

// Where Wine parts from Windows, the checker follows Windows; these tests
// pin down that Wine still reads these files otherwise, as the reference says.
TEST_F(ProfileReaderAgainstPlatform, Utf8MarkIsTextToWindowsButSkippedByWine) {
    std::string bytes = "\xEF\xBB\xBF[First]\r\n11,a.dll\r\n[Second]\r\n11,b.dll\r\n";
    std::string path = scratch_.File("utf8.ini");
    zktest::WriteFileBytes(path, bytes);
    ProfileFile file = ParseProfile(bytes);
    char platform[100] = {};
    char ours[100] = {};
    EXPECT_EQ(9u, GetPrivateProfileSectionA("First", platform, sizeof(platform), path.c_str()));
    EXPECT_EQ(0u, ReadProfileSection(file, "First", ours, sizeof(ours)));
    // The sections after the first line agree.
    CompareWithPlatform(path, bytes, {"Second"}, {}, 40);
}

// Windows compares names with its Unicode case rules, so that É is é there;
// Wine folds only ASCII letters.
TEST_F(ProfileReaderAgainstPlatform, AccentedLettersInAnotherCaseMatchOnWindowsOnly) {
    std::string bytes = "[Cam\xE9ra]\r\n11,a.dll\r\n\xE9t\xE9=1\r\n";
    std::string path = scratch_.File("case.ini");
    zktest::WriteFileBytes(path, bytes);
    ProfileFile file = ParseProfile(bytes);
    char platform[100] = {};
    char ours[100] = {};
    EXPECT_EQ(0u, GetPrivateProfileSectionA("CAM\xC9RA", platform, sizeof(platform), path.c_str()));
    EXPECT_EQ(15u, ReadProfileSection(file, "CAM\xC9RA", ours, sizeof(ours)));
    EXPECT_EQ(0u,
              GetPrivateProfileStringA("Cam\xE9ra", "\xC9T\xC9", "", platform, 5, path.c_str()));
    EXPECT_EQ(1u, ReadProfileString(file, "Cam\xE9ra", "\xC9T\xC9", ours, 5));
}

TEST_F(ProfileReaderAgainstPlatform, BigEndianUtf16IsReadByWineOnly) {
    std::string bytes = "\xFE\xFF";
    for (char c : std::string("[S]\r\n11,a.dll\r\n")) {
        bytes += '\0';
        bytes += c;
    }
    std::string path = scratch_.File("utf16be.ini");
    zktest::WriteFileBytes(path, bytes);
    char platform[100] = {};
    char ours[100] = {};
    EXPECT_EQ(9u, GetPrivateProfileSectionA("S", platform, sizeof(platform), path.c_str()));
    EXPECT_EQ(0u, ReadProfileSection(ParseProfile(bytes), "S", ours, sizeof(ours)));
}

}  // namespace
