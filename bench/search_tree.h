// The shape of a shared-components tree for the search benchmark: which
// directory hangs below which, and which protected file (in which test
// library) each one holds. Windows-free, so that the plan can be checked on
// the host; search_bench.cpp puts it on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "preserve/file_version.h"

// A test library copied into the tree under a protected file's name.
struct BenchFixture {
    const char* name;     // file name without ".dll", as the build makes it
    FileVersion version;  // 0.0.0.0: the library has no version resource
};

// The versioned test libraries and one without a version resource.
extern const BenchFixture kBenchFixtures[];
extern const size_t kBenchFixtureCount;

// One directory of the tree. Directory 0 is the search root itself.
struct BenchDirectory {
    uint32_t parent;  // index of the parent directory (the root names itself)
    uint32_t depth;   // 0 for the root
    int row;          // protected-file row whose copy it holds; -1: none
    int fixture;      // index into kBenchFixtures when row >= 0
};

struct SearchTreePlan {
    std::vector<BenchDirectory> directories;
    uint32_t maxDepth;  // the deepest directory actually planned
    uint32_t copies;    // directories holding a copy
    uint32_t versionedCopies;
};

// Plans a tree of `directories` directories (the root included, at least 1).
// Each new directory hangs below a directory chosen at random among those
// before it, which gives a few wide folders near the root and long thin
// branches, never deeper than depthLimit. Every copyEvery-th directory (not the
// root) holds a copy of one of `rows` protected files in one of the fixtures;
// the fixtures go round so that versioned and versionless copies both occur.
// The same arguments always give the same plan.
SearchTreePlan PlanSearchTree(uint32_t directories, uint32_t depthLimit, uint32_t copyEvery,
                              size_t rows, uint32_t seed);

// The path of directory `index` below root: root, then "\d<i>" for each
// directory on the way down. False when it does not fit capacity.
bool BenchDirectoryPath(const SearchTreePlan& plan, uint32_t index, const char* root, char* output,
                        size_t capacity);

// The highest version the plan puts under any copy of `row`; 0.0.0.0 when it
// has none with a version. What a search of the whole tree must report.
FileVersion NewestPlannedVersion(const SearchTreePlan& plan, int row);
