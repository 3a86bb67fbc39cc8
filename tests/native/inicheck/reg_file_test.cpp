#include "reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zk::inicheck::FindRegKey;
using zk::inicheck::FindRegValue;
using zk::inicheck::ParseRegFile;
using zk::inicheck::RegFile;
using zk::inicheck::RegKey;
using zk::inicheck::RegValue;

const char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\A";

std::string Wide(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The value "v" of key A in a REGEDIT4 (or version 5.00) file around dataLine.
const RegValue* ValueOf(const RegFile& file) {
    const RegKey* key = FindRegKey(file, kKey);
    return key == nullptr ? nullptr : FindRegValue(*key, "v");
}

// Each kind of data regedit writes, as the co-installer's ANSI reads get it.
TEST(RegFile, ValuesReadAsTheAnsiFunctionsHandThemOver) {
    struct Case {
        const char* name;
        bool version5;
        std::string dataLine;
        uint32_t type;
        std::string data;
    };
    const Case cases[] = {
        {"text with escapes", false, "\"v\"=\"%43%\\\\%L%\\\\a \\\"b\\\"\"", 1,
         std::string("%43%\\%L%\\a \"b\"\0", 15)},
        {"empty text keeps its terminator", false, "\"v\"=\"\"", 1, std::string("\0", 1)},
        {"dword", false, "\"v\"=dword:0000a001", 4, std::string("\x01\xa0\0\0", 4)},
        {"short dword", false, "\"V\" = dword:1", 4, std::string("\x01\0\0\0", 4)},
        {"binary", false, "\"v\"=hex:01,02,ff", 3, "\x01\x02\xff"},
        {"empty binary", false, "\"v\"=hex:", 3, ""},
        {"REGEDIT4 expandable text is ANSI", false, "\"v\"=hex(2):41,42,00", 2,
         std::string("AB\0", 3)},
        {"version 5.00 expandable text is UTF-16", true, "\"v\"=hex(2):41,00,e9,00,00,00", 2,
         std::string("A\xe9\0", 3)},
        {"version 5.00 list", true, "\"v\"=hex(7):41,00,00,00,42,00,00,00,00,00", 7,
         std::string("A\0B\0\0", 5)},
        {"continued over lines", false, "\"v\"=hex(b):01,02,03,\\\r\n  04,05,06,07,08", 11,
         "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {"type in hexadecimal", false, "\"v\"=hex(4):01,00,00,00", 4, std::string("\x01\0\0\0", 4)},
    };
    for (const Case& c : cases) {
        std::string text =
            std::string(c.version5 ? "Windows Registry Editor Version 5.00" : "REGEDIT4") +
            "\r\n\r\n[" + kKey + "]\r\n" + c.dataLine + "\r\n";
        RegFile file = ParseRegFile(text);
        ASSERT_TRUE(file.problems.empty()) << c.name << ": " << file.problems[0].text;
        const RegValue* value = ValueOf(file);
        ASSERT_NE(nullptr, value) << c.name;
        EXPECT_EQ(c.type, value->type) << c.name;
        EXPECT_EQ(c.data, value->data) << c.name;
    }
}

// regedit's own order of events: a later assignment replaces a value, "=-"
// deletes it, "[-key]" deletes a key with everything below it, and names
// compare without regard to case.
TEST(RegFile, LaterLinesChangeWhatEarlierOnesWrote) {
    std::string text =
        "REGEDIT4\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\A]\r\n"
        "\"v\"=\"first\"\r\n"
        "\"gone\"=dword:1\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\B]\r\n"
        "@=\"default\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\B\\Deeper]\r\n"
        "[hkey_local_machine\\software\\marvanto\\zkcoinstaller\\a]\r\n"
        "\"V\"=\"second\"\r\n"
        "\"GONE\"=-\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\B]\r\n";
    RegFile file = ParseRegFile(text);
    EXPECT_TRUE(file.problems.empty());
    ASSERT_EQ(1u, file.keys.size());
    const RegKey& key = file.keys[0];
    EXPECT_EQ(2, key.line);
    ASSERT_EQ(1u, key.values.size());
    EXPECT_EQ(std::string("second\0", 7), key.values[0].data);
    EXPECT_EQ(9, key.values[0].line);
}

TEST(RegFile, LinesRegeditDoesNotImportAreNamed) {
    std::string text =
        "REGEDIT4\r\n"
        "\"orphan\"=\"x\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\A\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller\\A]\r\n"
        "; a comment\r\n"
        "\"a\"=dword:123456789\r\n"
        "\"b\"=dword:xyz\r\n"
        "\"c\"=hex:1,2\r\n"
        "\"d\"=\"open\r\n"
        "\"e\" \"x\"\r\n"
        "\"f\"=word:1\r\n"
        "plain text\r\n"
        "\"g\"=\"fine\"\r\n";
    RegFile file = ParseRegFile(text);
    std::vector<int> lines;
    for (const auto& problem : file.problems) {
        lines.push_back(problem.line);
    }
    EXPECT_EQ((std::vector<int>{2, 3, 6, 7, 8, 9, 10, 11, 12}), lines);
    ASSERT_EQ(1u, file.keys.size());
    ASSERT_EQ(1u, file.keys[0].values.size());
    EXPECT_EQ("g", file.keys[0].values[0].name);
}

TEST(RegFile, OnlyTheTwoHeadersMakeARegistryScript) {
    struct Case {
        std::string bytes;
        bool script;
        bool version5;
    };
    const std::string body = "\r\n[" + std::string(kKey) + "]\r\n\"v\"=\"x\"\r\n";
    const Case cases[] = {
        {"REGEDIT4" + body, true, false},
        {"Windows Registry Editor Version 5.00" + body, true, true},
        {"\xFF\xFE" + Wide("Windows Registry Editor Version 5.00" + body), true, true},
        {"\xFF\xFE" + Wide("REGEDIT4" + body), true, false},
        {"REGEDIT5" + body, false, false},
        {body, false, false},
        {"", false, false},
        {"\xFE\xFF" + std::string("\0R", 2), false, false},
    };
    for (const Case& c : cases) {
        RegFile file = ParseRegFile(c.bytes);
        EXPECT_EQ(c.script, file.isRegistryScript) << c.bytes;
        EXPECT_EQ(c.version5, file.version5) << c.bytes;
        if (c.script) {
            const RegValue* value = ValueOf(file);
            ASSERT_NE(nullptr, value) << c.bytes;
            EXPECT_EQ(std::string("x\0", 2), value->data);
        }
    }
}

// A UTF-8 file is decoded and read in the code page like a UTF-16 one;
// malformed bytes are lost characters, on the lines the reader names.
TEST(RegFile, Utf8TextIsReadInTheCodePage) {
    std::string text = "\xEF\xBB\xBFREGEDIT4\r\n[" + std::string(kKey) +
                       "]\r\n\"v\"=\"\xC3\xA9\xE2\x82\xAC\"\r\n\"w\"=\"\xE6\x97\xA5\xC3\"\r\n";
    RegFile file = ParseRegFile(text);
    ASSERT_TRUE(file.isRegistryScript);
    const RegValue* value = ValueOf(file);
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(std::string("\xE9\x80\0", 3), value->data);
    EXPECT_EQ(std::string("??\0", 3), FindRegValue(file.keys[0], "w")->data);
    EXPECT_EQ((std::vector<int>{4}), file.lossyLines);
}

}  // namespace
