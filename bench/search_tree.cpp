#include "search_tree.h"

#include "common/bounded_text.h"

const BenchFixture kBenchFixtures[] = {
    {"v6_0_0_99", {6, 0, 0, 99}},       {"v6_0_0_100", {6, 0, 0, 100}}, {"v6_0_1_0", {6, 0, 1, 0}},
    {"v6_0_40000_0", {6, 0, 40000, 0}}, {"noversion", {0, 0, 0, 0}},
};
const size_t kBenchFixtureCount = sizeof(kBenchFixtures) / sizeof(kBenchFixtures[0]);

namespace {

// xorshift32: small, fast and the same on every compiler, so that a tree of a
// given size is the same tree on every run and every machine.
uint32_t NextRandom(uint32_t* state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

}  // namespace

SearchTreePlan PlanSearchTree(uint32_t directories, uint32_t depthLimit, uint32_t copyEvery,
                              size_t rows, uint32_t seed) {
    SearchTreePlan plan{{}, 0, 0, 0};
    if (directories == 0) {
        directories = 1;
    }
    plan.directories.reserve(directories);
    plan.directories.push_back(BenchDirectory{0, 0, -1, 0});
    uint32_t state = seed != 0 ? seed : 1;  // xorshift stays at 0 for ever
    for (uint32_t index = 1; index < directories; ++index) {
        uint32_t parent = NextRandom(&state) % index;
        // A parent at the limit gives its child to its own parent instead.
        while (plan.directories[parent].depth >= depthLimit) {
            parent = plan.directories[parent].parent;
        }
        BenchDirectory directory{parent, plan.directories[parent].depth + 1, -1, 0};
        if (rows > 0 && copyEvery > 0 && index % copyEvery == 0) {
            uint32_t copy = index / copyEvery;
            directory.row = static_cast<int>(copy % rows);
            // Stepping the fixture once per full turn of the rows gives every
            // row every fixture in turn.
            directory.fixture = static_cast<int>((copy + copy / rows) % kBenchFixtureCount);
            ++plan.copies;
            if (!IsNoVersion(kBenchFixtures[directory.fixture].version)) {
                ++plan.versionedCopies;
            }
        }
        if (directory.depth > plan.maxDepth) {
            plan.maxDepth = directory.depth;
        }
        plan.directories.push_back(directory);
    }
    return plan;
}

bool BenchDirectoryPath(const SearchTreePlan& plan, uint32_t index, const char* root, char* output,
                        size_t capacity) {
    if (index >= plan.directories.size() || !zk::CopyText(output, capacity, root)) {
        if (capacity > 0) {
            output[0] = '\0';
        }
        return false;
    }
    // The chain of ancestors, root excluded, from the top down.
    uint32_t chain[64];
    size_t length = 0;
    for (uint32_t at = index; at != 0; at = plan.directories[at].parent) {
        if (length == sizeof(chain) / sizeof(chain[0])) {
            output[0] = '\0';
            return false;
        }
        chain[length++] = at;
    }
    char part[16];
    while (length > 0) {
        if (!zk::FormatText(part, sizeof(part), "\\d%u", static_cast<unsigned>(chain[--length])) ||
            !zk::AppendText(output, capacity, part)) {
            return false;
        }
    }
    return true;
}

FileVersion NewestPlannedVersion(const SearchTreePlan& plan, int row) {
    FileVersion newest{0, 0, 0, 0};
    for (const BenchDirectory& directory : plan.directories) {
        if (directory.row == row &&
            IsNewerVersion(kBenchFixtures[directory.fixture].version, newest)) {
            newest = kBenchFixtures[directory.fixture].version;
        }
    }
    return newest;
}
