#include "preserve/wininit_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

const char kTarget[] = "C:\\WINDOWS\\system32\\ZKUI2.dll";
const char kSource[] = "C:\\Shared\\ZKUI2.dll";
const std::string kLines =
    "NUL=C:\\WINDOWS\\system32\\ZKUI2.dll\r\n"
    "C:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll";

// Rewrites from and into heap blocks of exactly their sizes, so that the
// sanitizer sees any access past them.
std::string Rewrite(const std::string& file, const char* target = kTarget,
                    const char* source = kSource) {
    std::unique_ptr<char[]> input(new char[file.size()]);
    file.copy(input.get(), file.size());
    size_t capacity = WinInitRenameCapacity(file.size(), strlen(target), strlen(source));
    std::unique_ptr<char[]> output(new char[capacity]);
    size_t size = 0;
    EXPECT_EQ(WinInitAdd::Added, AddWinInitRename(input.get(), file.size(), target, source, nullptr,
                                                  output.get(), capacity, &size));
    return std::string(output.get(), size);
}

TEST(WinInitText, LinesEndTheRenameSectionAndEverythingElseStaysInOrder) {
    struct Case {
        const char* what;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"section followed by another section",
         "[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\x\r\n[other]\r\nb=2\r\n",
         "[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\x\r\n" + kLines + "\r\n[other]\r\nb=2\r\n"},
        {"section at the end with a last line end", "[rename]\r\nC:\\a=C:\\b\r\n",
         "[rename]\r\nC:\\a=C:\\b\r\n" + kLines},
        {"section at the end without a last line end", "[rename]\r\nC:\\a=C:\\b",
         "[rename]\r\nC:\\a=C:\\b\r\n" + kLines},
        {"empty section directly before another", "[rename]\r\n[x]\r\n",
         "[rename]\r\n" + kLines + "\r\n[x]\r\n"},
        {"header is the unterminated last line", "x=1\r\n[rename]", "x=1\r\n[rename]\r\n" + kLines},
        {"blank lines belong to the section", "[rename]\r\n\r\n\r\n[x]",
         "[rename]\r\n\r\n\r\n" + kLines + "\r\n[x]"},
        // Section names are read without regard to case: the requests join
        // the section that Windows will read, not a second one it ignores.
        {"capitalised header", "[Rename]\r\na=b\r\n[x]\r\n",
         "[Rename]\r\na=b\r\n" + kLines + "\r\n[x]\r\n"},
        {"header in capitals after blanks, with a comment", " \t[RENAME] ; moves\r\n",
         " \t[RENAME] ; moves\r\n" + kLines},
        {"only the first section counts", "[rename]\r\n[rename]\r\n",
         "[rename]\r\n" + kLines + "\r\n[rename]\r\n"},
        {"a bracket inside a line does not end the section", "[rename]\r\na=[b]\r\n[c]",
         "[rename]\r\na=[b]\r\n" + kLines + "\r\n[c]"},
        // Bare line feeds, lone carriage returns, NUL and ^Z bytes are kept as
        // they are.
        {"bare line feeds kept", "[rename]\na=b\n[x]\ny\n",
         "[rename]\na=b\n" + kLines + "\r\n[x]\ny\n"},
        {"odd bytes kept",
         "[rename]\r\na\rb\0c\x1a"
         "d\r\n[x]\0\r\n"s,
         "[rename]\r\na\rb\0c\x1a"
         "d\r\n"s +
             kLines + "\r\n[x]\0\r\n"s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Rewrite(c.file)) << c.what;
    }
}

TEST(WinInitText, FileWithoutTheSectionGetsItAtTheEnd) {
    struct Case {
        const char* what;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"empty file", "", "[rename]\r\n" + kLines},
        {"other sections", "[boot]\r\na=1\r\n", "[boot]\r\na=1\r\n[rename]\r\n" + kLines},
        {"last line without its end", "[boot]\r\na=1", "[boot]\r\na=1\r\n[rename]\r\n" + kLines},
        // The search is case-sensitive.
        // A mention of the name that is no header line starts no section.
        {"name inside another section", "[x]\r\nk=[rename]\r\n; [rename]\r\n",
         "[x]\r\nk=[rename]\r\n; [rename]\r\n[rename]\r\n" + kLines},
        {"other section names", "[renamed]\r\n[rename\r\n[re name]\r\n",
         "[renamed]\r\n[rename\r\n[re name]\r\n[rename]\r\n" + kLines},
        {"header cut by NUL", "[ren\0ame]\r\n"s, "[ren\0ame]\r\n[rename]\r\n"s + kLines},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Rewrite(c.file)) << c.what;
    }
}

TEST(WinInitText, LongLinesAreCopiedWhole) {
    // Far beyond any fixed line buffer: nothing is cut or split.
    std::string longValue(5000, 'v');
    std::string longHeaderLine = "[rename]" + std::string(3000, ';');
    std::string file =
        "[a]\r\nk=" + longValue + "\r\n" + longHeaderLine + "\r\nx=" + longValue + "\r\n[b]\r\n";
    EXPECT_EQ("[a]\r\nk=" + longValue + "\r\n" + longHeaderLine + "\r\nx=" + longValue + "\r\n" +
                  kLines + "\r\n[b]\r\n",
              Rewrite(file));

    std::string longTarget(400, 't');
    EXPECT_EQ("[rename]\r\nNUL=" + longTarget + "\r\n" + longTarget + "=s",
              Rewrite("", longTarget.c_str(), "s"));
}

TEST(WinInitText, ResultThatDoesNotFitIsRefused) {
    const std::string file = "[rename]\r\na=b\r\n[x]\r\n";
    size_t exact = Rewrite(file).size();
    std::unique_ptr<char[]> output(new char[exact]);
    size_t size = 5;
    EXPECT_EQ(WinInitAdd::NoRoom, AddWinInitRename(file.data(), file.size(), kTarget, kSource,
                                                   nullptr, output.get(), exact - 1, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(WinInitAdd::Added, AddWinInitRename(file.data(), file.size(), kTarget, kSource,
                                                  nullptr, output.get(), exact, &size));
    EXPECT_EQ(exact, size);
}

TEST(WinInitText, AMoveOfTheSameSourceOntoTheSameTargetIsNotListedTwice) {
    // A second pair would move the file that the first one put in place away
    // again, and then find no source left to move.
    struct Case {
        const char* what;
        std::string file;
        WinInitAdd expected;
    };
    const Case cases[] = {
        {"our lines", "[rename]\r\n" + kLines, WinInitAdd::AlreadyListed},
        {"our lines before another section", "[rename]\r\n" + kLines + "\r\n[x]\r\n",
         WinInitAdd::AlreadyListed},
        {"the move alone, among other lines",
         "[Rename]\r\na=b\r\nC:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll\r\nc=d",
         WinInitAdd::AlreadyListed},
        {"blanks around the names and other letters",
         "[rename]\r\n c:\\windows\\SYSTEM32\\zkui2.dll \t=\tc:\\shared\\ZKUI2.DLL \r\n",
         WinInitAdd::AlreadyListed},
        {"a bare line feed", "[rename]\nC:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll\n",
         WinInitAdd::AlreadyListed},
        // Another source for the same target: both exist, the later one ends
        // in place.
        {"another source", "[rename]\r\nC:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Other\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
        {"the source onto another target",
         "[rename]\r\nC:\\WINDOWS\\system32\\ZKUI2RC.dll=C:\\Shared\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
        {"only the delete line", "[rename]\r\nNUL=C:\\WINDOWS\\system32\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
        {"the names swapped",
         "[rename]\r\nC:\\Shared\\ZKUI2.dll=C:\\WINDOWS\\system32\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
        // Only the section that Windows reads counts.
        {"the move in another section",
         "[x]\r\nC:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll\r\n[rename]\r\n",
         WinInitAdd::Added},
        {"the move in a second rename section",
         "[rename]\r\n[rename]\r\nC:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
        {"the move without a section", "C:\\WINDOWS\\system32\\ZKUI2.dll=C:\\Shared\\ZKUI2.dll\r\n",
         WinInitAdd::Added},
    };
    for (const Case& c : cases) {
        size_t capacity = WinInitRenameCapacity(c.file.size(), strlen(kTarget), strlen(kSource));
        std::unique_ptr<char[]> output(new char[capacity]);
        size_t size = 5;
        EXPECT_EQ(c.expected, AddWinInitRename(c.file.data(), c.file.size(), kTarget, kSource,
                                               nullptr, output.get(), capacity, &size))
            << c.what;
        if (c.expected == WinInitAdd::AlreadyListed) {
            EXPECT_EQ(0u, size) << c.what;
        } else {
            EXPECT_NE(std::string::npos, std::string(output.get(), size).find(kLines)) << c.what;
        }
    }
}

TEST(WinInitText, ASpareLineFollowsTheMoveAndIsCountedInTheRoom) {
    // With a spare, the staged copy's name gets a file again once it has moved
    // onto the target, for a start-up that carries the lines out twice.
    const char staged[] = "C:\\WINDOWS\\system32\\ZKUI2.dll.zk1";
    const char spare[] = "C:\\WINDOWS\\system32\\ZKUI2.dll.zk2";
    const std::string file = "[rename]\r\na=b\r\n[x]\r\n";
    size_t capacity =
        WinInitRenameCapacity(file.size(), strlen(kTarget), strlen(staged), strlen(spare));
    std::unique_ptr<char[]> output(new char[capacity]);
    size_t size = 0;
    ASSERT_EQ(WinInitAdd::Added, AddWinInitRename(file.data(), file.size(), kTarget, staged, spare,
                                                  output.get(), capacity, &size));
    EXPECT_EQ(
        "[rename]\r\na=b\r\nNUL=C:\\WINDOWS\\system32\\ZKUI2.dll\r\n"
        "C:\\WINDOWS\\system32\\ZKUI2.dll=C:\\WINDOWS\\system32\\ZKUI2.dll.zk1\r\n"
        "C:\\WINDOWS\\system32\\ZKUI2.dll.zk1=C:\\WINDOWS\\system32\\ZKUI2.dll.zk2\r\n[x]\r\n",
        std::string(output.get(), size));
    EXPECT_LE(size, capacity);
}

TEST(WinInitText, WhatTheSectionMovesIsFoundAsTheStartUpWouldCarryItOut) {
    const std::string file =
        "[x]\r\nC:\\t=C:\\elsewhere\r\n"
        "[Rename]\r\nNUL=C:\\t\r\n C:\\T = C:\\first \r\nC:\\t=C:\\last\r\nC:\\last=C:\\spare\n"
        "[y]\r\nC:\\t=C:\\after\r\n";
    const char* source = nullptr;
    size_t length = 0;
    ASSERT_TRUE(LastWinInitMoveOnto(file.data(), file.size(), "C:\\t", &source, &length));
    EXPECT_EQ("C:\\last", std::string(source, length));
    EXPECT_FALSE(LastWinInitMoveOnto(file.data(), file.size(), "C:\\u", &source, &length));
    // Only the first [rename] section's values are moved at the start.
    for (const char* listed : {"C:\\first", "C:\\LAST", "C:\\spare", "C:\\t"}) {
        EXPECT_TRUE(WinInitNamesSource(file.data(), file.size(), listed)) << listed;
    }
    for (const char* other : {"C:\\elsewhere", "C:\\after", "NUL", "C:\\firs"}) {
        EXPECT_FALSE(WinInitNamesSource(file.data(), file.size(), other)) << other;
    }
    EXPECT_FALSE(WinInitNamesSource("", 0, "C:\\t"));
}

}  // namespace
