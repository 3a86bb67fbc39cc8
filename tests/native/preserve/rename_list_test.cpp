#include "preserve/rename_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

const char kTarget[] = "C:\\WINDOWS\\system32\\ZKUI2.dll";
const char kTemp[] = "C:\\Shared\\ZKUI2.dll.tmp";

// Our request as it must appear, closing NUL included: one replacing move,
// which a start-up may carry out twice without harm.
const std::string kRequest =
    "\\??\\C:\\Shared\\ZKUI2.dll.tmp\0"s
    "!\\??\\C:\\WINDOWS\\system32\\ZKUI2.dll\0"s
    "\0"s;

// Appends into a heap block of exactly the capacity the caller is told to
// allocate, so that the sanitizer sees any write past it.
std::string Append(const std::string& list, const char* target = kTarget,
                   const char* temp = kTemp) {
    size_t capacity = RenameRequestCapacity(list.size(), strlen(target), strlen(temp));
    std::unique_ptr<char[]> buffer(new char[capacity]);
    list.copy(buffer.get(), list.size());
    size_t size = 0;
    EXPECT_EQ(RenameAppend::Appended,
              AppendRenameRequest(buffer.get(), capacity, list.size(), target, temp, &size));
    return std::string(buffer.get(), size);
}

TEST(RenameList, RequestGoesAfterEveryCompletePairWhateverTheValueEnding) {
    struct Case {
        const char* what;
        std::string list;
        std::string kept;  // what precedes our request
    };
    const Case cases[] = {
        {"no bytes at all", ""s, ""s},
        {"the empty list", "\0"s, ""s},
        {"a well-formed list", "\\??\\a\0!\\??\\b\0\0"s, "\\??\\a\0!\\??\\b\0"s},
        {"a delete pair, well formed", "\\??\\a\0\0\0"s, "\\??\\a\0\0"s},
        {"two pairs", "s1\0d1\0s2\0\0\0"s, "s1\0d1\0s2\0\0"s},
        // Stored without the closing NUL: the last destination must not be
        // merged with our first string.
        {"ending in one NUL", "\\??\\a\0!\\??\\b\0"s, "\\??\\a\0!\\??\\b\0"s},
        {"a delete pair ending in its own NUL", "\\??\\a\0\0"s, "\\??\\a\0\0"s},
        // Ending in a character: the last string is kept whole and closed.
        {"ending in a character", "\\??\\a\0!\\??\\b"s, "\\??\\a\0!\\??\\b\0"s},
        // A lone source would pair with our request; it gets an empty
        // destination instead.
        {"a source without destination", "s1\0d1\0lone\0"s, "s1\0d1\0lone\0\0"s},
        {"an unterminated lone source", "s1\0d1\0lone"s, "s1\0d1\0lone\0\0"s},
        // What follows the closing NUL is not read at boot and is not kept.
        {"bytes after the closing NUL", "s\0d\0\0junk\0"s, "s\0d\0"s},
        {"a list that is only NULs", "\0\0\0\0"s, ""s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.kept + kRequest, Append(c.list)) << c.what;
    }
}

TEST(RenameList, TwoRequestsFollowEachOtherInCallOrder) {
    std::string once = Append("\0"s, "C:\\t1", "C:\\s1.tmp");
    std::string twice = Append(once, "C:\\t2", "C:\\s2.tmp");
    EXPECT_EQ(
        "\\??\\C:\\s1.tmp\0!\\??\\C:\\t1\0"s
        "\\??\\C:\\s2.tmp\0!\\??\\C:\\t2\0\0"s,
        twice);
}

TEST(RenameList, RequestThatDoesNotFitLeavesTheBufferAlone) {
    const std::string list = "\\??\\a\0!\\??\\b\0\0"s;
    size_t needed = RenameRequestCapacity(list.size(), strlen(kTarget), strlen(kTemp));
    // A well-formed list gives up its closing NUL to the request, so it needs
    // three bytes less than the room reserved for the worst case; one byte
    // less than that must be refused.
    for (size_t capacity : {needed - 4, list.size(), size_t{0}}) {
        std::unique_ptr<char[]> buffer(new char[needed]);
        memset(buffer.get(), 'x', needed);
        list.copy(buffer.get(), list.size());
        size_t size = 77;
        EXPECT_EQ(RenameAppend::NoRoom,
                  AppendRenameRequest(buffer.get(), capacity, list.size(), kTarget, kTemp, &size))
            << capacity;
        EXPECT_EQ(77u, size);
        EXPECT_EQ(list + std::string(needed - list.size(), 'x'), std::string(buffer.get(), needed));
    }
    std::unique_ptr<char[]> buffer(new char[needed - 3]);
    list.copy(buffer.get(), list.size());
    size_t size = 0;
    EXPECT_EQ(RenameAppend::Appended,
              AppendRenameRequest(buffer.get(), needed - 3, list.size(), kTarget, kTemp, &size));
    EXPECT_EQ(needed - 3, size);
}

TEST(RenameList, ListLargerThanItsBufferIsRefused) {
    char buffer[4] = {'a', 0, 'b', 0};
    size_t size = 0;
    EXPECT_EQ(RenameAppend::NoRoom, AppendRenameRequest(buffer, 4, 5, "t", "s", &size));
}

TEST(RenameList, AMoveOfTheSameCopyOntoTheSameTargetIsNotListedTwice) {
    // At the start a second move of the same copy would find it gone, after
    // its delete pair had removed the file the first one put in place.
    struct Case {
        const char* what;
        std::string list;
        RenameAppend expected;
    };
    const Case cases[] = {
        {"our request", "\\??\\a\0\0"s + kRequest, RenameAppend::AlreadyListed},
        {"our request before another", kRequest.substr(0, kRequest.size() - 1) + "s\0d\0\0"s,
         RenameAppend::AlreadyListed},
        {"letters in other case",
         "\\??\\c:\\shared\\zkui2.DLL.TMP\0!\\??\\c:\\windows\\SYSTEM32\\zkui2.dll\0\0"s,
         RenameAppend::AlreadyListed},
        {"without prefixes or replace mark",
         "C:\\Shared\\ZKUI2.dll.tmp\0C:\\WINDOWS\\system32\\ZKUI2.dll\0\0"s,
         RenameAppend::AlreadyListed},
        {"the move as the unterminated last pair",
         "\\??\\C:\\Shared\\ZKUI2.dll.tmp\0!\\??\\C:\\WINDOWS\\system32\\ZKUI2.dll"s,
         RenameAppend::AlreadyListed},
        // Another copy for the same target: both copies exist, the later one
        // ends in place.
        {"another copy onto the target",
         "\\??\\C:\\Other\\ZKUI2.dll.tmp\0!\\??\\C:\\WINDOWS\\system32\\ZKUI2.dll\0\0"s,
         RenameAppend::Appended},
        {"the copy onto another target",
         "\\??\\C:\\Shared\\ZKUI2.dll.tmp\0!\\??\\C:\\WINDOWS\\system32\\ZKUI2RC.dll\0\0"s,
         RenameAppend::Appended},
        {"the copy deleted", "\\??\\C:\\Shared\\ZKUI2.dll.tmp\0\0\0"s, RenameAppend::Appended},
        {"something moved onto the copy",
         "\\??\\C:\\WINDOWS\\system32\\ZKUI2.dll\0!\\??\\C:\\Shared\\ZKUI2.dll.tmp\0\0"s,
         RenameAppend::Appended},
        {"the names past the closing NUL", "\0"s + kRequest, RenameAppend::Appended},
        {"the copy's name as a prefix of the source",
         "\\??\\C:\\Shared\\ZKUI2.dll.tmp2\0!\\??\\C:\\WINDOWS\\system32\\ZKUI2.dll\0\0"s,
         RenameAppend::Appended},
    };
    for (const Case& c : cases) {
        size_t capacity = RenameRequestCapacity(c.list.size(), strlen(kTarget), strlen(kTemp));
        std::unique_ptr<char[]> buffer(new char[capacity]);
        memset(buffer.get(), 'x', capacity);
        c.list.copy(buffer.get(), c.list.size());
        size_t size = 77;
        EXPECT_EQ(c.expected,
                  AppendRenameRequest(buffer.get(), capacity, c.list.size(), kTarget, kTemp, &size))
            << c.what;
        if (c.expected == RenameAppend::AlreadyListed) {
            EXPECT_EQ(77u, size) << c.what;
            EXPECT_EQ(c.list + std::string(capacity - c.list.size(), 'x'),
                      std::string(buffer.get(), capacity))
                << c.what;
        } else {
            EXPECT_EQ(kRequest, std::string(buffer.get(), size).substr(size - kRequest.size()))
                << c.what;
        }
    }
}

TEST(RenameList, WhatTheListMovesIsFoundAsTheStartUpWouldCarryItOut) {
    const std::string list =
        "\\??\\C:\\t.zk1\0!\\??\\C:\\t\0"s
        "\\??\\C:\\gone\0\0"s
        "C:\\t.zk2\0C:\\T\0"s
        "\\??\\C:\\x\0!\\??\\C:\\y\0\0"s
        "\\??\\C:\\after\0!\\??\\C:\\t\0\0"s;
    const char* source = nullptr;
    size_t length = 0;
    // The last move onto the target (with or without prefix and replace
    // mark) is the copy that ends there; what follows the closing NUL is
    // never carried out.
    ASSERT_TRUE(LastMoveOnto(list.data(), list.size(), "c:\\t", &source, &length));
    EXPECT_EQ("C:\\t.zk2", std::string(source, length));
    // A delete pair moves nothing onto anything.
    EXPECT_FALSE(LastMoveOnto(list.data(), list.size(), "", &source, &length));
    EXPECT_FALSE(LastMoveOnto(list.data(), list.size(), "C:\\gone", &source, &length));
    for (const char* listed : {"C:\\t.zk1", "c:\\T.ZK2", "C:\\gone", "C:\\x"}) {
        EXPECT_TRUE(RenameListNamesSource(list.data(), list.size(), listed)) << listed;
    }
    for (const char* other : {"C:\\t", "C:\\y", "C:\\after", "C:\\t.zk"}) {
        EXPECT_FALSE(RenameListNamesSource(list.data(), list.size(), other)) << other;
    }
    // An unterminated last pair is read as far as it goes, never past it.
    const std::string cut = "\\??\\C:\\s\0!\\??\\C:\\t"s;
    ASSERT_TRUE(LastMoveOnto(cut.data(), cut.size(), "C:\\t", &source, &length));
    EXPECT_EQ("C:\\s", std::string(source, length));
    EXPECT_FALSE(RenameListNamesSource("C:\\lone"s.data(), 8, "C:\\lone"));
}

}  // namespace
