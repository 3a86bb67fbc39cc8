#include "inf_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zk::pkgcheck::FindInfLine;
using zk::pkgcheck::FindInfSection;
using zk::pkgcheck::InfError;
using zk::pkgcheck::InfFile;
using zk::pkgcheck::InfLine;
using zk::pkgcheck::InfLineSource;
using zk::pkgcheck::InfReadResult;
using zk::pkgcheck::InfSection;
using zk::pkgcheck::ReadInf;

const char kVersion[] = "[Version]\r\nSignature=\"$Chicago$\"\r\n";

// The lines of section [S] as "key=field|field" (no "key=" without a key),
// joined by " / ", or "(no section)".
std::string Lines(const std::string& body) {
    InfFile file;
    InfReadResult result = ReadInf(kVersion + body, &file);
    if (result.error != InfError::None) {
        return "error " + std::to_string(static_cast<int>(result.error)) + " at line " +
               std::to_string(result.line);
    }
    const InfSection* section = FindInfSection(file, "S");
    if (section == nullptr) {
        return "(no section)";
    }
    std::string text;
    for (const InfLine& line : section->lines) {
        text += text.empty() ? "" : " / ";
        if (line.hasKey) {
            text += line.key + "=";
        }
        for (size_t i = 0; i < line.fields.size(); ++i) {
            text += (i == 0 ? "" : "|") + line.fields[i];
        }
    }
    return text;
}

// What SetupAPI gave under Wine for the same text (SetupGetStringFieldA).
TEST(InfReader, LinesReadAsSetupApiReadsThem) {
    struct Case {
        const char* name;
        const char* body;
        const char* lines;
    };
    const Case cases[] = {
        {"key and fields", "[S]\nk = a , b\n", "k=a|b"},
        {"blanks inside stay", "[S]\nk = x  y  \n", "k=x  y"},
        {"tabs, vertical tabs, form feeds and no-break spaces are blanks",
         "[S]\nk\t=\v v\f,\xA0w\xA0\n", "k=v|w"},
        {"a comment ends the line", "[S]\nk = a;b\n", "k=a"},
        {"quotes keep commas, semicolons and blanks", "[S]\nk = \"a, b\" , \"c;d\", \"  e  \"\n",
         "k=a, b|c;d|  e  "},
        {"a doubled quote is a quote", "[S]\nk = \"say \"\"hi\"\"\"\n", "k=say \"hi\""},
        {"quoted and plain text join", "[S]\nk = \"a\"b\"c\", \"a\"  b  \"c\" \n", "k=abc|a  b  c"},
        {"a quote left open ends at the line end", "[S]\nk = \"open , z\n", "k=open , z"},
        {"a quoted key", "[S]\n\"k \" = v\n", "k =v"},
        {"blanks between quoted parts of a key stay", "[S]\n\"a b\" c = v\n", "a b c=v"},
        {"empty fields", "[S]\nk = ,,\nk2 =\n", "k=|| / k2="},
        {"an empty key", "[S]\n=v\n", "=v"},
        {"one field is its own key", "[S]\nzkcoinst.dll\n", "zkcoinst.dll=zkcoinst.dll"},
        {"an empty quoted field is its own key", "[S]\n\"\"\n", "="},
        {"two fields without = have no key", "[S]\na , b\n", "a|b"},
        {"= after a comma is text", "[S]\na,b = c\n", "a|b = c"},
        {"a second = is text", "[S]\nk = x = y\n", "k=x = y"},
        {"a backslash in text stays", "[S]\nk = a\\b, a\\ b\n", "k=a\\b|a\\ b"},
        {"a backslash at the end joins the next line", "[S]\nk = a, \\\n  b\n", "k=a|b"},
        {"blanks on both sides of the join go", "[S]\nk = a \\\n    b\n", "k=ab"},
        {"a join may split a key", "[S]\nk\\\ney = v\n", "key=v"},
        {"more backslashes and a comment after it still join", "[S]\nk = a\\\\ \\ ; c\nb\n",
         "k=ab"},
        {"a join onto an empty line ends the line", "[S]\nk = a \\\n\nnext\n", "k=a / next=next"},
        {"a join onto a comment ends the line", "[S]\nk = \\\n; c\nnext\n", "k= / next=next"},
        {"a backslash alone before an empty line is an empty line", "[S]\n\\\n\nk=v\n", "= / k=v"},
        {"no join inside quotes", "[S]\nk = \"x\\\ny\"\n", "k=x\\ / y=y"},
        {"carriage returns are blanks, not line ends", "[S]\nk=v\rw\r\n\r\n", "k=v\rw"},
        {"quotes keep them", "[S]\nk=\"open\r\n", "k=open\r"},
        {"^Z ends the file", "[S]\nk=a\x1ax\nk2=b\n", "k=a"},
        {"strings are put in", "[S]\nk = %Mfg%, \"%Mfg%\", a%MFG%b, %\"Mfg\"%\n[Strings]\nMfg=M\n",
         "k=M|M|aMb|M"},
        {"a key is put in", "[S]\n%Mfg% = v\n[Strings]\nMfg=M\n", "M=v"},
        {"%% is %, a lone % stays", "[S]\nk = %%, 100%%, 50%, %Mfg\n[Strings]\nMfg=M\n",
         "k=%|100%|50%|%Mfg"},
        {"an unknown name stays", "[S]\nk = %missing%\n", "k=%missing%"},
        {"a string is the first field of its line, not put in again",
         "[S]\nk = %Two%, %Rec%, %Comma%\n[Strings]\nTwo = a, b\nRec=%Two%\nComma=\"x,y\"\n",
         "k=a|%Two%|x,y"},
        {"sections of one name are one", "[S]\na=1\n[T]\nb=2\n[s]\nc=3\n", "a=1 / c=3"},
        {"text after ] is ignored", "[S]x = 1\ny = 2\n", "y=2"},
        {"blanks around a header", "   [S]   ; c\nk=v\n", "k=v"},
        {"a header name ends at the first ]", "[S]x]\nk=v\n", "k=v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.lines, Lines(c.body)) << c.name;
    }
}

TEST(InfReader, FieldsAndKeysAreCutWhereSetupApiCutsThem) {
    std::string longField(600, 'x');
    EXPECT_EQ("k=" + std::string(511, 'x'), Lines("[S]\nk=" + longField + "\n"));
    EXPECT_EQ("k=" + std::string(511, 'x'), Lines("[S]\nk=\"" + longField + "\"\n"));
    EXPECT_EQ(std::string(511, 'x') + "=v", Lines("[S]\n" + longField + "=v\n"));
    // A field put together from strings may be longer, up to 4097 characters.
    std::string value(511, 'L');
    std::string lines = Lines("[S]\nk=" + std::string("%L%%L%%L%%L%%L%%L%%L%%L%%L%%L%") +
                              "\n[Strings]\nL=" + value + "\n");
    EXPECT_EQ("k=" + std::string(4097, 'L'), lines);
}

TEST(InfReader, UnreadableFilesAreRefusedWithTheirLine) {
    struct Case {
        const char* name;
        std::string text;
        InfError error;
        int line;
    };
    const Case cases[] = {
        {"a line before the first section", "stray\r\n[Version]\r\nSignature=$Chicago$\r\n",
         InfError::ExpectedSectionName, 1},
        {"comments and blank lines before it are fine",
         "; c\r\n\r\n[Version]\r\nSignature=$Chicago$\r\n", InfError::None, 0},
        {"a header without ]", std::string(kVersion) + "[S]\r\nk=v\r\n[Open\r\n",
         InfError::BadSectionNameLine, 5},
        {"a section name of 256 characters",
         std::string(kVersion) + "[" + std::string(256, 'S') + "]\r\n",
         InfError::SectionNameTooLong, 3},
        {"a section name of 255 characters is fine",
         std::string(kVersion) + "[" + std::string(255, 'S') + "]\r\n", InfError::None, 0},
        {"no [Version]", "[S]\r\nk=v\r\n", InfError::WrongInfStyle, 0},
        {"no Signature", "[Version]\r\nClass=Image\r\n", InfError::WrongInfStyle, 0},
        {"another signature", "[Version]\r\nSignature=\"$Other$\"\r\n", InfError::WrongInfStyle, 0},
        {"signatures compare without case, [Version] may come later",
         "[S]\r\n[Version]\r\nSignature = \"$windows nt$\"\r\n", InfError::None, 0},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF[Version]\r\nSignature=$Chicago$\r\n",
         InfError::None, 0},
        {"$Windows 95$ unquoted", "[Version]\r\nSignature = $Windows 95$\r\n", InfError::None, 0},
        {"a NUL byte", std::string(kVersion) + std::string("[S]\r\nk=v\0w\r\n", 12),
         InfError::NulCharacter, 0},
    };
    for (const Case& c : cases) {
        InfFile file;
        InfReadResult result = ReadInf(c.text, &file);
        EXPECT_EQ(c.error, result.error) << c.name;
        EXPECT_EQ(c.line, result.line) << c.name;
    }
}

TEST(InfReader, Utf16FilesAreReadAfterTheirByteOrderMark) {
    std::string text = std::string(kVersion) + "[S]\r\nk=v\xE9\r\n";
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    wide += std::string("\x3A\x26", 2);  // U+263A has no ANSI form
    wide += std::string("=\0x\0", 4);
    InfFile file;
    ASSERT_EQ(InfError::None, ReadInf(wide, &file).error);
    const InfSection* section = FindInfSection(file, "s");
    ASSERT_NE(nullptr, section);
    ASSERT_EQ(2u, section->lines.size());
    EXPECT_EQ("v\xE9", section->lines[0].fields[0]);
    EXPECT_EQ("?", section->lines[1].key);
}

TEST(InfReader, LinesKnowWhereTheyStartAndKeysAreFoundWithoutCase) {
    std::string text = std::string(kVersion) +
                       "\r\n"
                       "[S] ; line 4\r\n"
                       "; line 5\r\n"
                       "First = a, \\\r\n"
                       "   b\r\n"
                       "second\r\n"
                       "first = again\r\n";
    InfFile file;
    ASSERT_EQ(InfError::None, ReadInf(text, &file).error);
    const InfSection* section = FindInfSection(file, "s");
    ASSERT_NE(nullptr, section);
    EXPECT_EQ(4, section->line);
    ASSERT_EQ(3u, section->lines.size());
    EXPECT_EQ(6, section->lines[0].line);
    EXPECT_EQ(8, section->lines[1].line);
    EXPECT_EQ(9, section->lines[2].line);
    EXPECT_EQ(&section->lines[0], FindInfLine(*section, "FIRST"));
    EXPECT_EQ(&section->lines[1], FindInfLine(*section, "Second"));
    EXPECT_EQ(nullptr, FindInfLine(*section, "a"));
}

TEST(InfReader, LinesAreShownAsAnInfWouldSayThem) {
    struct Case {
        const char* body;
        const char* shown;
    };
    const Case cases[] = {
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"",
         "HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\""},
        {"zkcoinst.dll", "zkcoinst.dll"},
        {"CopyFiles = A, B", "CopyFiles=A,B"},
        {"k = \"  pad\", \"say \"\"hi\"\"\", \"a;b\"", "k=\"  pad\",\"say \"\"hi\"\"\",\"a;b\""},
        {"\"a=b\", c", "\"a=b\",c"},
        {"k = \"a\\\"", "k=\"a\\\""},
        {"\"\"", "\"\""},
        {"\"[x]\", y", "\"[x]\",y"},
    };
    for (const Case& c : cases) {
        InfFile file;
        ASSERT_EQ(InfError::None, ReadInf(std::string(kVersion) + "[S]\n" + c.body, &file).error);
        EXPECT_EQ(c.shown, InfLineSource(FindInfSection(file, "S")->lines[0])) << c.body;
    }
}

}  // namespace
