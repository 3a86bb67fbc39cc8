#include "core/path_template.h"

#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/tracked_alloc.h"
#include "maker_folders.h"
#include "test_support.h"

namespace {

using zktest::CommonFilesDirectory;
using zktest::MakerFolder;

char* TrackedCopy(const char* text) {
    size_t size = strlen(text) + 1;
    char* block = static_cast<char*>(TrackedAlloc(static_cast<uint32_t>(size)));
    memcpy(block, text, size);
    return block;
}

// Expands text through the real shell and file system; "<null>" for a failure.
// Checks that only the returned block is left outstanding.
std::string Expand(const char* text) {
    TrackedUsage before = GetTrackedUsage();
    char* result = ExpandPathTemplate(TrackedCopy(text));
    if (result == nullptr) {
        EXPECT_EQ(before.blocks, GetTrackedUsage().blocks) << text;
        return "<null>";
    }
    EXPECT_EQ(before.blocks + 1, GetTrackedUsage().blocks) << text;
    std::string expanded = result;
    TrackedFree(result);
    return expanded;
}

std::string Desktop() {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, 0, FALSE);
    return path;
}

TEST(ExpandPathTemplate, ResolvesShellFoldersAndTheSharedMakerFolder) {
    MakerFolder shared("Marvshrd");
    const std::string common = CommonFilesDirectory();
    ASSERT_EQ("C:\\Program Files\\Common Files", common);
    struct Row {
        const char* in;
        std::string out;
    } rows[] = {
        {"%43%\\%L%", common + "\\Marvshrd"},
        {"%43%\\%l%\\Tools", common + "\\Marvshrd\\Tools"},
        {"%43%", common},
        {"-x %43%\\a.txt", "-x " + common + "\\a.txt"},
        {"C:\\Tools", "C:\\Tools"},
        {"%43%\\b%", common + "\\b"},
        {"%43%%L%", common + "L"},
        {"%abc%", Desktop()},
        {"%10%", "<null>"},
        {"x%43%\\%10%", "<null>"},
        {"%L%", "<null>"},
        // A quoted Parameters value: the opening quote is no part of the folder.
        {"\"%43%\\%L%\\Tools\\q.ini\"", "\"" + common + "\\Marvshrd\\Tools\\q.ini\""},
        {"-x \"%43%\\%L%\"", "<null>"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.out, Expand(row.in)) << row.in;
    }
}

TEST(ExpandPathTemplate, EmptyTemplateComesBackAsTheSameBuffer) {
    for (const char* text : {"", "%%"}) {
        char* block = TrackedCopy(text);
        char* result = ExpandPathTemplate(block);
        EXPECT_EQ(block, result);
        EXPECT_STREQ(text, result);
        TrackedFree(result);
    }
}

TEST(ExpandPathTemplate, MakerFolderIsPlainMarvantoOnlyWhenMarvshrdIsNoDirectory) {
    const std::string common = CommonFilesDirectory();
    {
        MakerFolder maker("Marvanto");
        EXPECT_EQ(common + "\\Marvanto\\x", Expand("%43%\\%L%\\x"));
        EXPECT_EQ("\"" + common + "\\Marvanto\\x\"", Expand("\"%43%\\%L%\\x\""));
        {
            MakerFolder sharedAsFile("Marvshrd", true);
            EXPECT_EQ(common + "\\Marvanto", Expand("%43%\\%L%"));
        }
        {
            MakerFolder shared("Marvshrd");
            EXPECT_EQ(common + "\\Marvshrd", Expand("%43%\\%L%"));
        }
        // A maker folder with any other attribute is refused.
        if (SetFileAttributesA(maker.Path().c_str(),
                               FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN) &&
            GetFileAttributesA(maker.Path().c_str()) != FILE_ATTRIBUTE_DIRECTORY) {
            EXPECT_EQ("<null>", Expand("%43%\\%L%"));
        }
    }
    {
        MakerFolder makerAsFile("Marvanto", true);
        EXPECT_EQ("<null>", Expand("%43%\\%L%"));
    }
    EXPECT_EQ("<null>", Expand("%43%\\%L%"));
}

TEST(AppendToBuffer, GrowsATrackedBufferToExactlyTheNeededSize) {
    TrackedUsage before = GetTrackedUsage();
    uint32_t capacity = 0;
    char* buffer = AppendToBuffer(nullptr, &capacity, "C:\\");
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(4u, capacity);
    buffer = AppendToBuffer(buffer, &capacity, "Tools");
    ASSERT_NE(nullptr, buffer);
    EXPECT_STREQ("C:\\Tools", buffer);
    EXPECT_EQ(9u, capacity);
    EXPECT_EQ(before.blocks + 1, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes + 9, GetTrackedUsage().bytes);
    TrackedFree(buffer);
}

}  // namespace
