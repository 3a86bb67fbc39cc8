#include "profile_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using zk::inicheck::ParseProfile;
using zk::inicheck::ProfileFile;
using zk::inicheck::ReadProfileSection;
using zk::inicheck::ReadProfileString;

// The lines of a section read, joined by "|", or "(none)" for a count of 0.
std::string SectionLines(const std::string& text, const char* section, size_t capacity = 500) {
    ProfileFile file = ParseProfile(text);
    std::string buffer(capacity, '\x7f');
    size_t count = ReadProfileSection(file, section, &buffer[0], capacity);
    if (count == 0) {
        return "(none)";
    }
    std::string joined;
    for (size_t i = 0; i < count; ++i) {
        joined += buffer[i] == '\0' ? '|' : buffer[i];
    }
    return joined;
}

TEST(ProfileReader, SectionReadReturnsLinesAsThePlatformDoes) {
    struct Case {
        const char* name;
        std::string text;
        const char* section;
        const char* lines;
    };
    const Case cases[] = {
        {"plain", "[S]\n11,a.dll\n102,K\\V\n", "S", "11,a.dll|102,K\\V|"},
        {"blanks at both ends go", "[S]\n  \t11,a.dll  \r\n", "S", "11,a.dll|"},
        {"blanks around = go", "[S]\nNoFNW = 1\n", "S", "NoFNW=1|"},
        {"blanks inside stay", "[S]\n11, a b.dll\n", "S", "11, a b.dll|"},
        {"comments and blank lines are left out", "[S]\n; note\n\n11,a.dll\n", "S", "11,a.dll|"},
        {"a comment after blanks too", "[S]\n   ; note\n11,a.dll\n", "S", "11,a.dll|"},
        {"carriage returns alone end lines", "[S]\r11,a.dll\r11,b.dll", "S", "11,a.dll|11,b.dll|"},
        {"header names lose blanks", "[ S ]\n11,a.dll\n", "S", "11,a.dll|"},
        {"a [ line without ] is a line", "[S]\n[odd\n", "S", "[odd|"},
        {"names compare without case", "[Setup]\n11,a.dll\n", "SETUP", "11,a.dll|"},
        {"only the first section counts", "[S]\n11,a.dll\n[s]\n11,b.dll\n", "S", "11,a.dll|"},
        {"an empty name comes back", "[S]\n=x\n11,a.dll\n", "S", "=x|11,a.dll|"},
        {"a second empty name in a row is dropped", "[S]\n=x\n=y\n11,a.dll\n", "S", "=x|11,a.dll|"},
        // Windows takes a UTF-8 mark for ANSI text: the header of line 1 is lost.
        {"a UTF-8 mark hides the first header", "\xEF\xBB\xBF[S]\n11,a.dll\n", "S", "(none)"},
        {"a UTF-8 mark above the first header is harmless", "\xEF\xBB\xBF\n[S]\n11,a.dll\n", "S",
         "11,a.dll|"},
        {"bytes of an ANSI file pass unchanged", "[S]\n11,\x80\xE9\xFF.dll\n", "S",
         "11,\x80\xE9\xFF.dll|"},
        {"lines before any header belong to no named section", "11,a.dll\n[S]\n", "S", "(none)"},
        // The empty name reads the lines above the first header, even when
        // there are none; a [] header is found after them and never read.
        {"the empty name reads the lines before any header", "11,a.dll\n; c\n[S]\n11,b.dll\n", "",
         "11,a.dll|"},
        {"a [] header is never read", "[S]\n[]\n11,a.dll\n", "", "(none)"},
        // A NUL ends the text where it stands: a line it begins has an empty
        // name, and is left out unless it holds a "=".
        {"a NUL at a line's start hides it",
         "[S]\n\0"
         "11,a.dll\n11,b.dll\n"s,
         "S", "11,b.dll|"},
        {"a NUL cuts a line", "[S]\n11,a\0.dll\nk=v\0w\n"s, "S", "11,a|k=v|"},
        {"a NUL-started name with a value", "[S]\n\0k=v\n=w\n11,a.dll\n"s, "S", "=v|11,a.dll|"},
        {"an empty section", "[S]\n[T]\n11,a.dll\n", "S", "(none)"},
        {"a missing section", "[T]\n11,a.dll\n", "S", "(none)"},
        {"an empty value keeps its =", "[S]\nkey=\n", "S", "key=|"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.lines, SectionLines(c.text, c.section)) << c.name;
    }
}

// A read that does not fit keeps what fits, ends in two NULs and reports the
// capacity less two; a read that just fills the buffer is reported the same way.
TEST(ProfileReader, SectionReadIsCutWhereTheBufferEnds) {
    const std::string text = "[S]\n11,abc.dll\n11,def.dll\n";  // 11 + 11 characters
    struct Case {
        size_t capacity;
        const char* lines;
    };
    const Case cases[] = {
        {100, "11,abc.dll|11,def.dll|"},
        {24, "11,abc.dll|11,def.dll|"},  // 22 characters and the closing NUL fit
        {23, "11,abc.dll|11,def.dll"},   // just filled: reported as cut
        {22, "11,abc.dll|11,def.dl"},
        {14, "11,abc.dll|1"},
        {13, "11,abc.dll|"},
        {12, "11,abc.dll"},
        {3, "1"},
    };
    for (const Case& c : cases) {
        ProfileFile file = ParseProfile(text);
        std::string buffer(c.capacity, '\x7f');
        size_t count = ReadProfileSection(file, "S", &buffer[0], c.capacity);
        std::string joined;
        for (size_t i = 0; i < count; ++i) {
            joined += buffer[i] == '\0' ? '|' : buffer[i];
        }
        EXPECT_EQ(c.lines, joined) << c.capacity;
        ASSERT_LT(count + 1, c.capacity + 1);
        EXPECT_EQ('\0', buffer[count]) << c.capacity;
    }
}

TEST(ProfileReader, EntriesKnowTheirFileLines) {
    ProfileFile file = ParseProfile("; top\r\n[S]\r\n\r\n11,a.dll\r\n; c\r\nk = v\r\n[T]\rx\r");
    ASSERT_EQ(2u, file.sections.size());
    EXPECT_EQ(2, file.sections[0].line);
    ASSERT_EQ(3u, file.sections[0].entries.size());
    EXPECT_EQ(4, file.sections[0].entries[0].line);
    EXPECT_EQ(6, file.sections[0].entries[2].line);
    EXPECT_EQ("k", file.sections[0].entries[2].name);
    EXPECT_EQ("v", file.sections[0].entries[2].value);
    EXPECT_EQ(7, file.sections[1].line);
    EXPECT_EQ(8, file.sections[1].entries[0].line);
}

std::string Utf16Le(const std::u16string& text, bool mark = true) {
    std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// UTF-16LE with its mark is read in the ANSI code page: what 1252 has becomes
// its byte, anything else a '?' on a line the reader names; without the mark,
// or big-endian, Windows reads no section.
TEST(ProfileReader, EncodingsAreReadAsWindowsReadsThem) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* lines;
        std::vector<int> lossyLines;
    };
    const Case cases[] = {
        {"UTF-16LE", Utf16Le(u"[S]\r\n11,a.dll\r\n"), "11,a.dll|", {}},
        {"UTF-16LE in the code page",
         Utf16Le(u"[S]\r\n11,\u00e9\u20ac\u0152.dll\r\n"),
         "11,\xE9\x80\x8C.dll|",
         {}},
        {"UTF-16LE beyond it",
         Utf16Le(u"; \u65e5\r\n[S]\r\n11,\u65e5\u672c.dll\r\nx=\U0001F600\r\n"),
         "11,??.dll|x=??|",
         {3, 4}},
        {"UTF-16LE keeps line numbers", Utf16Le(u"\r\n\r\n[S]\n\n11,\u0100\r\n"), "11,?|", {5}},
        {"UTF-16LE without the mark", Utf16Le(u"[S]\r\n11,a.dll\r\n", false), "(none)", {}},
        {"UTF-16BE", "\xFE\xFF" + std::string("\0[\0S\0]\0\n\0x\0=\0\x31", 14), "(none)", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.lines, SectionLines(c.bytes, "S")) << c.name;
        EXPECT_EQ(c.lossyLines, ParseProfile(c.bytes).lossyLines) << c.name;
    }
}

TEST(ProfileReader, AUtf8MarkNamesTheHeaderItHides) {
    ProfileFile file = ParseProfile("\xEF\xBB\xBF[Cam]\r\n11,a.dll\r\n[T]\r\nx=1\r\n");
    EXPECT_EQ(zk::inicheck::TextEncoding::Utf8, file.encoding);
    EXPECT_EQ("[Cam]", file.markedHeader);
    EXPECT_EQ(1, file.markedHeaderLine);
    ASSERT_EQ(1u, file.sections.size());
    EXPECT_EQ("T", file.sections[0].name);
    EXPECT_EQ("", ParseProfile("\xEF\xBB\xBF; note\n[Cam]\n").markedHeader);
}

TEST(ProfileReader, SwitchReadsKeepFourCharacters) {
    const std::string text =
        "[Sw]\nVideo=1\nAudio = \"1\"\nLong=10000\nQuoted='01'\nHalf=\"1\nBare\nEmpty=\n"
        "LongQuoted=\"1000\"\n";
    ProfileFile file = ParseProfile(text);
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"Sw", "Video", "1"},
        {"sw", "VIDEO", "1"},
        {" Sw ", " Video ", "1"},
        {"Sw", "Audio", "1"},    // matching quotes go
        {"Sw", "Long", "1000"},  // four characters and the NUL
        {"Sw", "Quoted", "01"},
        {"Sw", "Half", "\"1"},  // one quote stays
        {"Sw", "Bare", ""},     // no "=": no value
        {"Sw", "Empty", ""},
        {"Sw", "Missing", ""},
        {"Missing", "Video", ""},
        // The platform drops the last character when the text after the
        // opening quote is no longer than the buffer, closing quote or not.
        {"Sw", "LongQuoted", "100"},
    };
    for (const Case& c : cases) {
        char value[5] = {'x', 'x', 'x', 'x', 'x'};
        size_t length = ReadProfileString(file, c.section, c.key, value, sizeof(value));
        EXPECT_STREQ(c.value, value) << c.section << "/" << c.key;
        EXPECT_EQ(strlen(c.value), length) << c.section << "/" << c.key;
    }
}

}  // namespace
