#include "search_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

// The search root as the pass forms it on an English system, and the longest
// protected file name: every copy's path must fit the pass's 255-byte found
// path, or the search would pass over it and the benchmark time less work.
const char kRoot[] = "C:\\Program Files\\Common Files\\Marvshrd";
const size_t kLongestFileName = strlen("\\zkWIAext.dll");
const size_t kFoundPathCapacity = 255;

bool Same(const FileVersion& a, const FileVersion& b) {
    return !IsNewerVersion(a, b) && !IsNewerVersion(b, a);
}

TEST(SearchTreePlan, EveryDirectoryHangsBelowAnEarlierOneWithinTheDepthLimit) {
    for (uint32_t size : {1u, 2u, 10u, 100u, 1000u, 10000u}) {
        SCOPED_TRACE(size);
        SearchTreePlan plan = PlanSearchTree(size, 12, 7, 6, 0x5EA4C4u);
        ASSERT_EQ(size, plan.directories.size());
        EXPECT_EQ(0u, plan.directories[0].depth);
        uint32_t deepest = 0;
        for (uint32_t i = 1; i < size; ++i) {
            const BenchDirectory& d = plan.directories[i];
            ASSERT_LT(d.parent, i);
            EXPECT_EQ(plan.directories[d.parent].depth + 1, d.depth);
            EXPECT_LE(d.depth, 12u);
            deepest = std::max(deepest, d.depth);
        }
        EXPECT_EQ(deepest, plan.maxDepth);
    }
}

TEST(SearchTreePlan, LargeTreesHaveVariedDepthsAndReachTheLimit) {
    SearchTreePlan plan = PlanSearchTree(10000, 12, 7, 6, 0x5EA4C4u);
    std::set<uint32_t> depths;
    for (const BenchDirectory& d : plan.directories) {
        depths.insert(d.depth);
    }
    EXPECT_EQ(13u, depths.size());  // 0 to 12, every one used
    EXPECT_EQ(12u, plan.maxDepth);
}

TEST(SearchTreePlan, CopiesMixVersionedAndVersionlessForEveryFile) {
    SearchTreePlan plan = PlanSearchTree(10000, 12, 7, 6, 0x5EA4C4u);
    EXPECT_EQ(9999u / 7, plan.copies);
    EXPECT_GT(plan.versionedCopies, 0u);
    EXPECT_LT(plan.versionedCopies, plan.copies);
    // Every file gets every fixture somewhere, so each search has versionless
    // copies to read and pass over as well as versioned ones to choose from.
    std::set<std::pair<int, int>> seen;
    uint32_t counted = 0;
    for (const BenchDirectory& d : plan.directories) {
        if (d.row >= 0) {
            ASSERT_LT(d.row, 6);
            ASSERT_LT(static_cast<size_t>(d.fixture), kBenchFixtureCount);
            seen.insert({d.row, d.fixture});
            ++counted;
        }
    }
    EXPECT_EQ(plan.copies, counted);
    EXPECT_EQ(6 * kBenchFixtureCount, seen.size());
    EXPECT_EQ(-1, plan.directories[0].row);  // the root itself holds no copy
}

TEST(SearchTreePlan, SameArgumentsGiveTheSameTree) {
    SearchTreePlan a = PlanSearchTree(1000, 12, 7, 6, 42);
    SearchTreePlan b = PlanSearchTree(1000, 12, 7, 6, 42);
    SearchTreePlan other = PlanSearchTree(1000, 12, 7, 6, 43);
    bool differs = false;
    for (size_t i = 0; i < a.directories.size(); ++i) {
        EXPECT_EQ(a.directories[i].parent, b.directories[i].parent);
        EXPECT_EQ(a.directories[i].row, b.directories[i].row);
        differs = differs || a.directories[i].parent != other.directories[i].parent;
    }
    EXPECT_TRUE(differs);
    // A zero seed would leave the generator stuck at zero: every directory
    // straight under the root, a flat fan instead of a tree.
    SearchTreePlan zero = PlanSearchTree(100, 12, 7, 6, 0);
    EXPECT_GT(zero.maxDepth, 1u);
}

TEST(SearchTreePlan, EveryPathFitsTheFoundPathBuffer) {
    SearchTreePlan plan = PlanSearchTree(10000, 12, 7, 6, 0x5EA4C4u);
    std::set<std::string> paths;
    for (uint32_t i = 0; i < plan.directories.size(); ++i) {
        char path[260];
        ASSERT_TRUE(BenchDirectoryPath(plan, i, kRoot, path, sizeof(path))) << i;
        EXPECT_LT(strlen(path) + kLongestFileName, kFoundPathCapacity) << path;
        paths.insert(path);
    }
    EXPECT_EQ(plan.directories.size(), paths.size());
}

TEST(SearchTreePlan, PathsNameTheChainFromTheRootDown) {
    SearchTreePlan plan{
        {{0, 0, -1, 0}, {0, 1, -1, 0}, {1, 2, -1, 0}, {0, 1, -1, 0}, {2, 3, -1, 0}}, 3, 0, 0};
    struct Case {
        uint32_t index;
        size_t capacity;
        bool ok;
        const char* path;
    };
    const Case cases[] = {
        {0, 64, true, "R"},     {4, 64, true, "R\\d1\\d2\\d4"},
        {3, 64, true, "R\\d3"}, {4, 11, true, "R\\d1\\d2\\d4"},  // exactly fits with its terminator
        {4, 10, false, ""},                                      // one byte short: refused, not cut
        {5, 64, false, ""},                                      // no such directory
    };
    for (const Case& c : cases) {
        char path[64];
        memset(path, 'x', sizeof(path));
        EXPECT_EQ(c.ok, BenchDirectoryPath(plan, c.index, "R", path, c.capacity)) << c.index;
        EXPECT_STREQ(c.path, path) << c.index;
    }
}

TEST(SearchTreePlan, NewestPlannedVersionIgnoresVersionlessCopies) {
    // Fixture indexes: 0 = 6.0.0.99, 3 = 6.0.40000.0, 4 = no version.
    SearchTreePlan plan{
        {{0, 0, -1, 0}, {0, 1, 0, 0}, {0, 1, 0, 3}, {0, 1, 1, 4}, {0, 1, 2, 0}}, 1, 4, 3};
    EXPECT_TRUE(Same(FileVersion{6, 0, 40000, 0}, NewestPlannedVersion(plan, 0)));
    EXPECT_TRUE(Same(FileVersion{0, 0, 0, 0}, NewestPlannedVersion(plan, 1)));
    EXPECT_TRUE(Same(FileVersion{6, 0, 0, 99}, NewestPlannedVersion(plan, 2)));
    EXPECT_TRUE(Same(FileVersion{0, 0, 0, 0}, NewestPlannedVersion(plan, 5)));
}

}  // namespace
