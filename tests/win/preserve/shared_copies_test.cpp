#include "preserve/shared_copies.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/tracked_alloc.h"
#include "preserve/file_operations.h"
#include "maker_folders.h"
#include "preserve_fixtures.h"
#include "test_support.h"

namespace {

using namespace zktest;

std::string Text(const FileVersion& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) +
           "." + std::to_string(v.revision);
}

TEST(GetFileVersion, ReadsTheFileVersionAndClearsItOnEveryFailure) {
    ScratchDirectory scratch("getversion");
    WriteFileBytes(scratch.File("text.dll"), "plain text, no PE image");
    struct Case {
        std::string path;
        std::string version;
        bool ok;
    };
    const Case cases[] = {
        // The test libraries' product version is 9.9.9.9: never the one read.
        {FixturePath(kV99), "6.0.0.99", true},
        {FixturePath(kV100), "6.0.0.100", true},
        {FixturePath(kVBuild40000), "6.0.40000.0", true},
        {FixturePath(kNoVersion), "0.0.0.0", false},
        {scratch.File("missing.dll"), "0.0.0.0", false},
        {scratch.File("text.dll"), "0.0.0.0", false},
        {scratch.Path(), "0.0.0.0", false},
    };
    for (const Case& c : cases) {
        TrackedUsage before = GetTrackedUsage();
        FileVersion version = {1, 2, 3, 4};
        uint32_t error = GetFileVersion(c.path.c_str(), &version);
        EXPECT_EQ(c.version, Text(version)) << c.path;
        EXPECT_EQ(c.ok, error == 0) << c.path << " " << error;
        EXPECT_EQ(before.blocks, GetTrackedUsage().blocks) << c.path;
    }
}

struct Found {
    std::string path;
    std::string version;
};

Found Search(const std::string& root, FileVersion start = {0, 0, 0, 0}, size_t bestSize = 255) {
    char best[300] = "";
    SearchNewestCopy(root.c_str(), "ZKUI2.dll", best, bestSize, &start);
    return {best, Text(start)};
}

TEST(SearchNewestCopy, OnlyAStrictlyNewerVersionedCopyReplacesTheBest) {
    ScratchDirectory scratch("search");
    const std::string root = scratch.Path();
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, std::string>> files;  // fixture, relative path
        std::string foundRelative;                               // "" for none
        std::string version;
    };
    const std::vector<Case> cases = {
        {"the directory's own copy wins an equal one below",
         {{kV100, "ZKUI2.dll"}, {kV100, "a\\ZKUI2.dll"}},
         "ZKUI2.dll",
         "6.0.0.100"},
        {"a newer copy deep below wins",
         {{kV99, "ZKUI2.dll"}, {kV100, "a\\b\\c\\d\\ZKUI2.dll"}},
         "a\\b\\c\\d\\ZKUI2.dll",
         "6.0.0.100"},
        {"an older copy below does not",
         {{kV100, "ZKUI2.dll"}, {kV99, "x\\ZKUI2.dll"}},
         "ZKUI2.dll",
         "6.0.0.100"},
        {"build 40000 beats build 1",
         {{kVBuild1, "ZKUI2.dll"}, {kVBuild40000, "x\\ZKUI2.dll"}},
         "x\\ZKUI2.dll",
         "6.0.40000.0"},
        {"a copy without version never wins, even alone",
         {{kNoVersion, "ZKUI2.dll"}, {kNoVersion, "y\\ZKUI2.dll"}},
         "",
         "0.0.0.0"},
        {"other names are not candidates", {{kV100, "x\\ZKUI2RC.dll"}}, "", "0.0.0.0"},
    };
    for (const Case& c : cases) {
        RemoveTree(root);
        CreateDirectoryA(root.c_str(), nullptr);
        for (const auto& file : c.files) {
            PutFixture(file.first, root + "\\" + file.second);
        }
        Found found = Search(root);
        EXPECT_EQ(c.foundRelative.empty() ? "" : root + "\\" + c.foundRelative, found.path)
            << c.what;
        EXPECT_EQ(c.version, found.version) << c.what;
    }

    // Among equal copies in sibling folders, the first one met stays.
    RemoveTree(root);
    PutFixture(kV100, root + "\\one\\ZKUI2.dll");
    PutFixture(kV100, root + "\\two\\ZKUI2.dll");
    Found first = Search(root);
    EXPECT_EQ("6.0.0.100", first.version);
    EXPECT_EQ(first.path, Search(root).path);

    // A best version brought in is only replaced by a newer one.
    EXPECT_EQ("", Search(root, {6, 0, 0, 100}).path);
    EXPECT_EQ("7.0.0.0", Search(root, {7, 0, 0, 0}).version);
}

// The walk as it would see a tree with links in it, which Wine cannot make:
// the names in g_linked are reported as reparse points, and the two folder
// links lead back to the root, each below the other without end. The walk
// is cut off after a few thousand folders, so that a walk that follows links
// still ends.
std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('\\') + 1);
}

std::string g_root;
std::vector<std::string> g_linked;
int g_walked = 0;

bool EndsInLinked(const std::string& path) {
    for (const std::string& name : g_linked) {
        if (path.size() > name.size() &&
            _stricmp(path.c_str() + path.size() - name.size(), name.c_str()) == 0 &&
            path[path.size() - name.size() - 1] == '\\') {
            return true;
        }
    }
    return false;
}

// "root\loopA\loopB\x" is "root\x": the loops lead back to the root.
std::string Resolved(std::string path) {
    for (const char* loop : {"\\loopA", "\\loopB"}) {
        for (size_t at; (at = path.find(loop)) != std::string::npos;) {
            path.erase(at, strlen(loop));
        }
    }
    return path;
}

void MarkLinks(WIN32_FIND_DATAA* entry) {
    if (EndsInLinked(std::string("\\") + entry->cFileName)) {
        entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
}

HANDLE WINAPI LinkedFindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA entry) {
    if (++g_walked > 5000) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE find = FindFirstFileA(Resolved(pattern).c_str(), entry);
    if (find != INVALID_HANDLE_VALUE) {
        MarkLinks(entry);
    }
    return find;
}

BOOL WINAPI LinkedFindNext(HANDLE find, LPWIN32_FIND_DATAA entry) {
    BOOL more = FindNextFileA(find, entry);
    if (more) {
        MarkLinks(entry);
    }
    return more;
}

DWORD WINAPI LinkedAttributes(LPCSTR path) {
    DWORD attributes = GetFileAttributesA(Resolved(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && EndsInLinked(path)
               ? attributes | FILE_ATTRIBUTE_REPARSE_POINT
               : attributes;
}

const FileOperations kLinkedTree = {CopyFileA,       MoveFileA,      MoveFileExA, DeleteFileA,
                                    LinkedFindFirst, LinkedFindNext, FindClose,   LinkedAttributes};

TEST(SearchNewestCopy, LinkedFoldersAndFilesAreNoPartOfTheTreeAndTheWalkEnds) {
    ScratchDirectory scratch("search_links");
    g_root = scratch.Path();
    PutFixture(kV99, scratch.File("real\\ZKUI2.dll"));
    // A link to a folder from anywhere, and a linked file: newer, not ours.
    PutFixture(kV100, scratch.File("linked\\ZKUI2.dll"));
    PutFixture(kVBuild40000, scratch.File("plain\\ZKUI2.dll"));
    for (const char* loop : {"loopA", "loopB"}) {
        ASSERT_TRUE(CreateDirectoryA(scratch.File(loop).c_str(), nullptr));
    }
    g_linked = {"linked", "loopA", "loopB", "plain\\ZKUI2.dll"};
    g_walked = 0;
    SetPreserveFileOperations(&kLinkedTree);
    Found found = Search(g_root);
    int walked = g_walked;
    // A search root that is itself a link is no tree of ours.
    g_linked = {NameOf(g_root)};
    Found fromLinkedRoot = Search(g_root);
    SetPreserveFileOperations(nullptr);
    EXPECT_EQ(scratch.File("real\\ZKUI2.dll"), found.path);
    EXPECT_EQ("6.0.0.99", found.version);
    // The root, real and plain: nothing below a link is walked.
    EXPECT_EQ(3, walked);
    EXPECT_EQ("", fromLinkedRoot.path);
}

TEST(SearchNewestCopy, PathsThatDoNotFitArePassedOverNotCut) {
    ScratchDirectory scratch("searchlong");
    PutFixture(kV99, scratch.File("ZKUI2.dll"));
    std::string deep = scratch.Path() + "\\" + std::string(120, 'd');
    PutFixture(kV100, deep + "\\ZKUI2.dll");

    // The deeper (newer) copy's path does not fit a 60-byte best path.
    std::string shallow = scratch.File("ZKUI2.dll");
    ASSERT_LT(shallow.size(), 60u);
    Found found = Search(scratch.Path(), {0, 0, 0, 0}, 60);
    EXPECT_EQ(shallow, found.path);
    EXPECT_EQ("6.0.0.99", found.version);

    // A copy whose own path would pass 259 characters is not a candidate
    // (it is made through the long-path form, which the search never uses).
    std::string longFolder = deep + "\\" + std::string(250 - deep.size() - 1, 'e');
    ASSERT_EQ(250u, longFolder.size());
    MakeDirectories(longFolder);
    std::string longCopy = "\\\\?\\" + longFolder + "\\ZKUI2.dll";
    std::wstring wide(longCopy.begin(), longCopy.end());
    std::string fixture = FixturePath(kVBuild40000);
    std::wstring wideFixture(fixture.begin(), fixture.end());
    ASSERT_TRUE(CopyFileW(wideFixture.c_str(), wide.c_str(), FALSE)) << GetLastError();
    Found same = Search(scratch.Path());
    EXPECT_EQ(deep + "\\ZKUI2.dll", same.path);
    EXPECT_EQ("6.0.0.100", same.version);
    DeleteFileW(wide.c_str());
}

TEST(FindNewestSharedCopy, SearchesTheMakerFolderOfTheRow) {
    const ProtectedFile& row = ProtectedFileTable[3];  // ZKUI2.dll
    {
        MakerFolder shared("Marvshrd");
        PutFixture(kV99, shared.Path() + "\\ZKUI2.dll");
        PutFixture(kV100, shared.Path() + "\\Camera\\Drivers\\ZKUI2.dll");
        TrackedUsage before = GetTrackedUsage();
        char best[255] = "stale";
        FileVersion version = {9, 9, 9, 9};
        FindNewestSharedCopy(row, best, sizeof(best), &version);
        EXPECT_EQ(shared.Path() + "\\Camera\\Drivers\\ZKUI2.dll", std::string(best));
        EXPECT_EQ("6.0.0.100", Text(version));
        EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    }

    // No maker folder: no copy, and the outputs say so.
    ASSERT_FALSE(FileExists(CommonFilesDirectory() + "\\Marvshrd"));
    ASSERT_FALSE(FileExists(CommonFilesDirectory() + "\\Marvanto"));
    TrackedUsage before = GetTrackedUsage();
    char best[255] = "stale";
    FileVersion version = {9, 9, 9, 9};
    FindNewestSharedCopy(row, best, sizeof(best), &version);
    EXPECT_STREQ("", best);
    EXPECT_EQ("0.0.0.0", Text(version));
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);

    // The end row and a row without search root leave the outputs alone.
    const ProtectedFile noRoot = {"%11%\\x.dll", "x.dll", nullptr};
    for (const ProtectedFile* r : {&ProtectedFileTable[6], &noRoot}) {
        FindNewestSharedCopy(*r, best, sizeof(best), &version);
        EXPECT_STREQ("", best);
        EXPECT_EQ("0.0.0.0", Text(version));
    }
    strcpy(best, "kept");
    FindNewestSharedCopy(noRoot, best, sizeof(best), &version);
    EXPECT_STREQ("kept", best);
}

TEST(SearchRoots, EachTemplateIsExpandedOncePerPassAndRowsShareIt) {
    MakerFolder shared("Marvshrd");
    PutFixture(kV99, shared.Path() + "\\ZKUI2.dll");
    PutFixture(kV100, shared.Path() + "\\ZKCodec2.dll");
    std::vector<std::string> templates;  // outlive the roots that point at them
    for (int i = 0; i < 12; ++i) {
        templates.push_back("%43%\\Sub" + std::to_string(i));
    }
    TrackedUsage before = GetTrackedUsage();
    {
        SearchRoots roots;
        const char* first = roots.Expanded("%43%\\%L%");
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(shared.Path(), std::string(first));
        TrackedUsage once = GetTrackedUsage();
        EXPECT_EQ(first, roots.Expanded("%43%\\%L%"));
        EXPECT_EQ(once.blocks, GetTrackedUsage().blocks);

        // Two rows under the one root find their own files.
        char best[255];
        FileVersion version;
        FindNewestSharedCopyIn(&roots, ProtectedFileTable[3], best, sizeof(best), &version,
                               nullptr);
        EXPECT_EQ(shared.Path() + "\\ZKUI2.dll", std::string(best));
        FindNewestSharedCopyIn(&roots, ProtectedFileTable[2], best, sizeof(best), &version,
                               nullptr);
        EXPECT_EQ(shared.Path() + "\\ZKCodec2.dll", std::string(best));
        EXPECT_EQ("6.0.0.100", Text(version));
        EXPECT_EQ(once.blocks, GetTrackedUsage().blocks);

        // More templates than places: the last place is reused, each answer right.
        for (int i = 0; i < 12; ++i) {
            const char* expanded = roots.Expanded(templates[i].c_str());
            ASSERT_NE(nullptr, expanded);
            EXPECT_EQ(CommonFilesDirectory() + "\\Sub" + std::to_string(i), std::string(expanded));
        }
        EXPECT_EQ(shared.Path(), std::string(roots.Expanded("%43%\\%L%")));
    }
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
}

}  // namespace
