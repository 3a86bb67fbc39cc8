#include "driverstack/multi_string.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

// The list is copied into a heap block of exactly its size, so that the
// sanitizer sees any read past the value's end.
struct ExactBlock {
    // new char[0] still gives a distinct pointer, as a zero-sized value has.
    explicit ExactBlock(const std::string& bytes) : data(new char[bytes.size()]) {
        bytes.copy(data.get(), bytes.size());
        size = bytes.size();
    }
    std::unique_ptr<char[]> data;
    size_t size;
};

struct Rebuilt {
    bool ok;
    std::string bytes;
    size_t count;  // strings removed, or 1 when the name was present
};

Rebuilt Remove(const std::string& list, const char* name) {
    ExactBlock source(list);
    size_t capacity = RemovalCapacity(source.size);
    std::unique_ptr<char[]> output(new char[capacity]);
    size_t size = 99;
    size_t removed = 99;
    bool ok = RemoveFromMultiString(source.data.get(), source.size, name, output.get(), capacity,
                                    &size, &removed);
    return {ok, std::string(output.get(), size), removed};
}

Rebuilt Append(const std::string& list, const char* name) {
    ExactBlock source(list);
    size_t capacity = AppendCapacity(source.size, name);
    std::unique_ptr<char[]> output(new char[capacity]);
    size_t size = 99;
    bool present = false;
    bool ok = AppendToMultiString(source.data.get(), source.size, name, output.get(), capacity,
                                  &size, &present);
    return {ok, std::string(output.get(), size), present ? 1u : 0u};
}

Rebuilt Prepend(const std::string& list, const char* name, size_t capacity) {
    ExactBlock source(list);
    std::unique_ptr<char[]> output(new char[capacity]);
    size_t size = 99;
    bool present = false;
    bool ok = PrependToMultiString(source.data.get(), source.size, name, output.get(), capacity,
                                   &size, &present);
    return {ok, std::string(output.get(), size), present ? 1u : 0u};
}

TEST(MultiString, ComparisonIsOfWholeStringsIgnoringAsciiCase) {
    struct Case {
        std::string text;
        const char* name;
        bool equal;
    } cases[] = {
        {"zkusbsta", "ZKUSBSta", true},
        {"ZKUSBSTA", "zkusbsta", true},
        {"zkusbsta2", "zkusbsta", false},
        {"zkusbst", "zkusbsta", false},
        {"", "", true},
        {"x", nullptr, false},
        // Only ASCII letters fold: bytes above 0x7F compare as they are.
        {"\xC4", "\xE4", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.text.data(), c.text.size(), c.name)) << c.text;
    }
}

TEST(MultiString, RemovalDropsEveryOccurrenceAndEmptyStrings) {
    struct Case {
        const char* what;
        std::string list;
        std::string expected;
        size_t removed;
    } cases[] = {
        {"absent, well formed: same bytes", "A\0B\0\0"s, "A\0B\0\0"s, 0},
        {"every case variant, order kept", "zkusbsta\0A\0ZKUSBSta\0B\0ZkUsBsTa\0\0"s, "A\0B\0\0"s,
         3},
        {"longer name stays", "zkusbsta2\0zkusbsta\0\0"s, "zkusbsta2\0\0"s, 1},
        {"only the name", "zkusbsta\0\0"s, "\0"s, 1},
        {"embedded empty string dropped", "A\0\0B\0\0"s, "A\0B\0\0"s, 0},
        {"missing closing NUL restored", "A\0"s, "A\0\0"s, 0},
        {"unterminated last string kept whole", "A\0Bcd"s, "A\0Bcd\0\0"s, 0},
        {"unterminated last string that is the name", "A\0ZKUSBSTA"s, "A\0\0"s, 1},
        {"one byte, not NUL", "A"s, "A\0\0"s, 0},
        {"one byte NUL", "\0"s, "\0"s, 0},
        {"all NULs", "\0\0\0\0"s, "\0"s, 0},
        {"zero bytes", ""s, "\0"s, 0},
    };
    for (const Case& c : cases) {
        Rebuilt result = Remove(c.list, "zkusbsta");
        EXPECT_TRUE(result.ok) << c.what;
        EXPECT_EQ(c.expected, result.bytes) << c.what;
        EXPECT_EQ(c.removed, result.count) << c.what;
    }
}

TEST(MultiString, RemovalRefusesAnOutputTooSmallAndStaysInside) {
    std::string list = "A\0Bcd"s;  // rebuilds to 7 bytes
    char output[8];
    for (size_t capacity = 0; capacity < 7; ++capacity) {
        memset(output, '#', sizeof(output));
        size_t size = 99;
        size_t removed = 99;
        EXPECT_FALSE(
            RemoveFromMultiString(list.data(), list.size(), "x", output, capacity, &size, &removed))
            << capacity;
        EXPECT_EQ(0u, size);
        for (size_t i = capacity; i < sizeof(output); ++i) {
            EXPECT_EQ('#', output[i]) << capacity;
        }
    }
    size_t size = 0;
    size_t removed = 0;
    EXPECT_TRUE(RemoveFromMultiString(list.data(), list.size(), "x", output, 7, &size, &removed));
    EXPECT_EQ(7u, size);
}

TEST(MultiString, AppendGoesLastUnlessPresentAndAlwaysNormalises) {
    struct Case {
        const char* what;
        std::string list;
        std::string expected;
        bool present;
    } cases[] = {
        {"appended after the others", "A\0B\0\0"s, "A\0B\0ZKUSBSta\0\0"s, false},
        {"present in other case, kept as written", "A\0zkusbsta\0B\0\0"s, "A\0zkusbsta\0B\0\0"s,
         true},
        {"present, empty strings dropped", "\0zkusbsta\0\0\0B\0\0"s, "zkusbsta\0B\0\0"s, true},
        {"present, closing NUL restored", "ZKUSBSTA\0"s, "ZKUSBSTA\0\0"s, true},
        {"longer name is not the name", "ZKUSBSta.sys\0\0"s, "ZKUSBSta.sys\0ZKUSBSta\0\0"s, false},
        {"unterminated last string", "A\0Bc"s, "A\0Bc\0ZKUSBSta\0\0"s, false},
        {"unterminated last string that is the name", "A\0zkusbsta"s, "A\0zkusbsta\0\0"s, true},
        {"one byte, not NUL", "A"s, "A\0ZKUSBSta\0\0"s, false},
        {"all NULs", "\0\0\0"s, "ZKUSBSta\0\0"s, false},
        {"zero bytes", ""s, "ZKUSBSta\0\0"s, false},
    };
    for (const Case& c : cases) {
        Rebuilt result = Append(c.list, "ZKUSBSta");
        EXPECT_TRUE(result.ok) << c.what;
        EXPECT_EQ(c.expected, result.bytes) << c.what;
        EXPECT_EQ(c.present ? 1u : 0u, result.count) << c.what;
    }
}

TEST(MultiString, AppendRefusesAnEmptyNameAndAnOutputTooSmall) {
    EXPECT_FALSE(Append("A\0\0"s, "").ok);
    std::string list = "A\0\0"s;  // with the name: A, NUL, N, NUL, NUL = 5 bytes
    char output[8];
    for (size_t capacity = 0; capacity < 5; ++capacity) {
        memset(output, '#', sizeof(output));
        size_t size = 99;
        bool present = true;
        EXPECT_FALSE(
            AppendToMultiString(list.data(), list.size(), "N", output, capacity, &size, &present))
            << capacity;
        EXPECT_EQ(0u, size);
        for (size_t i = capacity; i < sizeof(output); ++i) {
            EXPECT_EQ('#', output[i]) << capacity;
        }
    }
}

TEST(MultiString, PrependGoesFirstAndKeepsTheListByteForByte) {
    struct Case {
        const char* what;
        std::string list;
        std::string expected;  // empty: left alone
        bool present;
    } cases[] = {
        {"before the others", "A\0B\0\0"s, "ZkClsUpr\0A\0B\0\0"s, false},
        {"present in any case", "A\0zkclsupr\0\0"s, ""s, true},
        {"present first", "ZKCLSUPR\0\0"s, ""s, true},
        {"present after an empty string", "A\0\0ZkClsUpr\0\0"s, ""s, true},
        {"present unterminated at the end", "A\0ZkClsUpr"s, ""s, true},
        {"longer name is not the name", "ZkClsUprX\0\0"s, "ZkClsUpr\0ZkClsUprX\0\0"s, false},
        {"malformed tail kept as it was", "A\0\0B"s, "ZkClsUpr\0A\0\0B"s, false},
        {"one byte NUL", "\0"s, "ZkClsUpr\0\0"s, false},
    };
    for (const Case& c : cases) {
        Rebuilt result = Prepend(c.list, "ZkClsUpr", 269);
        EXPECT_TRUE(result.ok) << c.what;
        EXPECT_EQ(c.expected, result.bytes) << c.what;
        EXPECT_EQ(c.present ? 1u : 0u, result.count) << c.what;
    }
}

TEST(MultiString, PrependOfAFullListNeedsNineMoreBytes) {
    // 260 bytes of list: 25 strings of nine letters, one of eight, and the
    // closing NUL.
    std::string list;
    while (list.size() + 10 <= 258) {
        list += "abcdefghi"s + '\0';
    }
    list += std::string(259 - list.size() - 1, 'z') + '\0' + '\0';
    ASSERT_EQ(260u, list.size());
    Rebuilt full = Prepend(list, "ZkClsUpr", 269);
    EXPECT_TRUE(full.ok);
    EXPECT_EQ(269u, full.bytes.size());
    EXPECT_EQ("ZkClsUpr\0"s + list, full.bytes);

    Rebuilt tight = Prepend(list, "ZkClsUpr", 268);
    EXPECT_FALSE(tight.ok);
    EXPECT_EQ(""s, tight.bytes);
    EXPECT_FALSE(Prepend(list, "", 269).ok);
}

TEST(MultiString, ContainsFindsWholeStringsOnly) {
    EXPECT_TRUE(MultiStringContains("a\0ZKUSBSTA\0\0", 12, "zkusbsta"));
    EXPECT_FALSE(MultiStringContains("a\0ZKUSBSTAx\0\0", 13, "zkusbsta"));
    // The size bounds the search even when the bytes go on.
    EXPECT_FALSE(MultiStringContains("a\0zkusbsta\0\0", 2, "zkusbsta"));
    EXPECT_FALSE(MultiStringContains(nullptr, 0, "zkusbsta"));
}

}  // namespace
