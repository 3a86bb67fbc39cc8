// search_bench: what the search for the newest shared copy costs, against the
// least any search of the same tree must do.
//
//   search_bench [--dirs N]... [--runs R] [--fixtures DIR]
//
// For each size (default 100, 1,000 and 10,000 directories) it builds a
// shared-components tree once in the place the restore pass searches, with
// copies of the protected files (some versioned, some not) at varied depths,
// and times, alternately and R times each:
//   pass:  RestoreNewerFiles, the whole preserve-and-restore pass;
//   floor: per protected file, one bare FindFirstFileA/FindNextFileA walk of
//          the tree with one version read per directory.
// No protected file is installed, so the pass never copies anything: it only
// searches. The tree is removed after its size, and the install log is put
// back as it was, so the prefix is left as it was found. It refuses to run
// when the shared-components folder or an installed protected file exists
// already, rather than mixing its tree with them or replacing them.
//
// Lines printed, "name key value key value ...":
//   search_tree dirs N depth_max D copies C versioned V build_ms B
//   search_time dirs N runs R pass_median_ms .. pass_p10_ms .. pass_p90_ms ..
//               floor_median_ms .. floor_p10_ms .. floor_p90_ms .. ratio ..
//               pass_us_per_dir .. floor_us_per_dir ..
//   search_check dirs N files 6 agree A leaked_blocks L
//   search_growth from N to M dirs_factor .. pass_factor .. floor_factor ..
// It exits non-zero when the pass and the floor disagree about the newest
// copy of a file, or when the pass leaks tracked blocks.
#include <windows.h>
#include <shlobj.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/leading_int.h"
#include "bench_stats.h"
#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/library.h"
#include "core/tracked_alloc.h"
#include "preserve/protected_files.h"
#include "preserve/restore_pass.h"
#include "preserve/shared_copies.h"
#include "search_tree.h"

namespace {

// Deep enough for long thin branches, shallow enough that every path of a
// 10,000-directory tree fits the pass's 255-byte found-path buffer.
const uint32_t kDepthLimit = 12;
const uint32_t kCopyEvery = 7;
const uint32_t kSeed = 0x5EA4C4u;
const size_t kRows = 6;
const void* const kContextHandle = reinterpret_cast<const void*>(0x5EA4);

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Removes path and everything below it; used only on the tree this program made.
void RemoveTreeAt(const char* path) {
    zk::FixedText<MAX_PATH> pattern;
    if (pattern.Format("%s\\*", path)) {
        WIN32_FIND_DATAA entry;
        zk::UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &entry));
        if (find) {
            do {
                if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) {
                    continue;
                }
                zk::FixedText<MAX_PATH> child;
                if (!child.Format("%s\\%s", path, entry.cFileName)) {
                    continue;
                }
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    RemoveTreeAt(child.c_str());
                } else {
                    SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(child.c_str());
                }
            } while (FindNextFileA(find.Get(), &entry));
        }
    }
    RemoveDirectoryA(path);
}

// The tree on disk; removed whole when it goes out of scope, whatever happened.
struct TreeOnDisk {
    std::string root;
    TreeOnDisk() = default;
    TreeOnDisk(const TreeOnDisk&) = delete;
    TreeOnDisk& operator=(const TreeOnDisk&) = delete;
    ~TreeOnDisk() {
        if (!root.empty()) {
            RemoveTreeAt(root.c_str());
        }
    }
};

bool BuildTree(const SearchTreePlan& plan, const char* root, const char* fixtures,
               TreeOnDisk* tree) {
    if (!CreateDirectoryA(root, nullptr)) {
        (void)fprintf(stderr, "search_bench: cannot create %s (%lu)\n", root, GetLastError());
        return false;
    }
    tree->root = root;
    char path[MAX_PATH];
    for (uint32_t index = 1; index < plan.directories.size(); ++index) {
        if (!BenchDirectoryPath(plan, index, root, path, sizeof(path)) ||
            !CreateDirectoryA(path, nullptr)) {
            (void)fprintf(stderr, "search_bench: cannot create directory %u (%lu)\n", index,
                          GetLastError());
            return false;
        }
    }
    for (uint32_t index = 1; index < plan.directories.size(); ++index) {
        const BenchDirectory& directory = plan.directories[index];
        if (directory.row < 0) {
            continue;
        }
        zk::FixedText<MAX_PATH> source;
        zk::FixedText<MAX_PATH> target;
        if (!BenchDirectoryPath(plan, index, root, path, sizeof(path)) ||
            !source.Format("%s\\%s.dll", fixtures, kBenchFixtures[directory.fixture].name) ||
            !target.Format("%s\\%s", path, ProtectedFileTable[directory.row].fileName) ||
            !CopyFileA(source.c_str(), target.c_str(), FALSE)) {
            (void)fprintf(stderr, "search_bench: cannot copy %s into directory %u (%lu)\n",
                          source.c_str(), index, GetLastError());
            return false;
        }
    }
    return true;
}

// What the bare walk found for one file.
struct FloorResult {
    FileVersion version;
    char path[MAX_PATH];
};

// The least a search must do in one directory: read the candidate's version,
// then list the directory and go into each subdirectory. path holds the
// directory (length characters) and is used as the working buffer; it is
// given back as it came.
void FloorWalk(char* path, size_t length, const char* fileName, FloorResult* best,
               std::vector<unsigned char>* block) {
    size_t nameLength = strlen(fileName);
    if (length + 1 + nameLength < MAX_PATH) {
        path[length] = '\\';
        memcpy(path + length + 1, fileName, nameLength + 1);
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path, &handle);
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (size != 0) {
            if (block->size() < size) {
                block->resize(size);
            }
            if (GetFileVersionInfoA(path, handle, size, block->data()) &&
                VerQueryValueA(block->data(), "\\", reinterpret_cast<void**>(&info), &infoSize) &&
                info != nullptr && infoSize >= sizeof(VS_FIXEDFILEINFO)) {
                FileVersion version =
                    FileVersionFromFixedInfo(info->dwFileVersionMS, info->dwFileVersionLS);
                if (IsNewerVersion(version, best->version)) {
                    best->version = version;
                    memcpy(best->path, path, length + 1 + nameLength + 1);
                }
            }
        }
    }
    if (length + 2 >= MAX_PATH) {
        path[length] = '\0';
        return;
    }
    memcpy(path + length, "\\*", 3);
    WIN32_FIND_DATAA entry;
    zk::UniqueFindHandle find(FindFirstFileA(path, &entry));
    path[length] = '\0';
    if (!find) {
        return;
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) {
            continue;
        }
        size_t entryLength = strlen(entry.cFileName);
        if (length + 1 + entryLength < MAX_PATH) {
            path[length] = '\\';
            memcpy(path + length + 1, entry.cFileName, entryLength + 1);
            FloorWalk(path, length + 1 + entryLength, fileName, best, block);
            path[length] = '\0';
        }
    } while (FindNextFileA(find.Get(), &entry));
}

// The bare walk for the first `rows` protected files.
void FloorSearch(const char* root, size_t rows, std::vector<FloorResult>* results) {
    std::vector<unsigned char> block;
    results->assign(kRows, FloorResult{});
    for (size_t row = 0; row < rows; ++row) {
        char path[MAX_PATH];
        if (!zk::CopyText(path, sizeof(path), root)) {
            return;
        }
        FloorWalk(path, strlen(path), ProtectedFileTable[row].fileName, &(*results)[row], &block);
    }
}

struct SizeResult {
    uint32_t directories;
    Spread pass;
    Spread floor;
};

// Builds, times, checks and removes one tree. False on any failure.
bool BenchOneSize(uint32_t directories, int runs, const char* root, const char* fixtures,
                  SizeResult* result) {
    SearchTreePlan plan = PlanSearchTree(directories, kDepthLimit, kCopyEvery, kRows, kSeed);
    TreeOnDisk tree;
    double start = Now();
    if (!BuildTree(plan, root, fixtures, &tree)) {
        return false;
    }
    double buildSeconds = Now() - start;
    printf("search_tree dirs %u depth_max %u copies %u versioned %u build_ms %.1f\n", directories,
           plan.maxDepth, plan.copies, plan.versionedCopies, buildSeconds * 1000);

    DeviceContext* context = GetDeviceContext(kContextHandle);
    if (context == nullptr) {
        (void)fprintf(stderr, "search_bench: no device context\n");
        return false;
    }
    std::vector<FloorResult> floorResults;
    // Warm-up: one walk lists every directory once and fills the caches.
    FloorSearch(root, 1, &floorResults);
    TrackedUsage before = GetTrackedUsage();
    std::vector<double> pass;
    std::vector<double> floor;
    for (int run = 0; run < runs; ++run) {
        // Alternating which goes first spreads any drift over both.
        for (int turn = 0; turn < 2; ++turn) {
            double begin = Now();
            if ((run + turn) % 2 == 0) {
                RestoreNewerFiles(context, false);
                pass.push_back(Now() - begin);
            } else {
                FloorSearch(root, kRows, &floorResults);
                floor.push_back(Now() - begin);
            }
        }
    }
    long leaked = static_cast<long>(GetTrackedUsage().blocks) - static_cast<long>(before.blocks);
    ReleaseDeviceContext(context);

    // The pass must have searched what the floor searched: the same newest
    // copy of every file, of the version the plan put there.
    int agree = 0;
    for (size_t row = 0; row < kRows; ++row) {
        char found[255];
        FileVersion version;
        FindNewestSharedCopy(ProtectedFileTable[row], found, sizeof(found), &version);
        FileVersion planned = NewestPlannedVersion(plan, static_cast<int>(row));
        const FloorResult& bare = floorResults[row];
        bool same = !IsNewerVersion(version, planned) && !IsNewerVersion(planned, version) &&
                    !IsNewerVersion(bare.version, planned) &&
                    !IsNewerVersion(planned, bare.version) && strcmp(found, bare.path) == 0;
        if (same) {
            ++agree;
        } else {
            (void)fprintf(stderr, "search_bench: %s: search found \"%s\", bare walk \"%s\"\n",
                          ProtectedFileTable[row].fileName, found, bare.path);
        }
    }

    result->directories = directories;
    result->pass = SpreadOf(pass);
    result->floor = SpreadOf(floor);
    double ratio = result->floor.median > 0 ? result->pass.median / result->floor.median : 0;
    printf(
        "search_time dirs %u runs %d pass_median_ms %.3f pass_p10_ms %.3f pass_p90_ms %.3f "
        "floor_median_ms %.3f floor_p10_ms %.3f floor_p90_ms %.3f ratio %.3f "
        "pass_us_per_dir %.3f floor_us_per_dir %.3f\n",
        directories, runs, result->pass.median * 1000, result->pass.low * 1000,
        result->pass.high * 1000, result->floor.median * 1000, result->floor.low * 1000,
        result->floor.high * 1000, ratio, result->pass.median * 1e6 / directories,
        result->floor.median * 1e6 / directories);
    printf("search_check dirs %u files %u agree %d leaked_blocks %ld\n", directories,
           static_cast<unsigned>(kRows), agree, leaked);
    (void)fflush(stdout);
    return agree == static_cast<int>(kRows) && leaked == 0;
}

// The install log's bytes, put back when the benchmark ends: the pass logs
// every run, and the prefix is to be left as it was found.
struct SavedLog {
    std::string path;
    bool existed = false;
    std::string bytes;

    explicit SavedLog(const char* logPath) : path(logPath) {
        zk::UniqueStdioFile file(fopen(logPath, "rb"));
        if (!file) {
            return;
        }
        existed = true;
        char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), file.Get())) > 0) {
            bytes.append(chunk, got);
        }
    }
    SavedLog(const SavedLog&) = delete;
    SavedLog& operator=(const SavedLog&) = delete;
    ~SavedLog() {
        if (!existed) {
            DeleteFileA(path.c_str());
            return;
        }
        zk::UniqueStdioFile file(fopen(path.c_str(), "wb"));
        if (!file || fwrite(bytes.data(), 1, bytes.size(), file.Get()) != bytes.size()) {
            (void)fprintf(stderr, "search_bench: cannot put the install log back: %s\n",
                          path.c_str());
        }
    }
};

// Nothing of the benchmark's may meet what is already there: an existing
// shared-components folder would be searched too (and removed with the tree),
// and an installed protected file could be replaced by the pass.
bool PrefixIsClear(const char* common) {
    const char* const makerFolders[] = {"Marvshrd", "Marvanto"};
    for (const char* folder : makerFolders) {
        zk::FixedText<MAX_PATH> path;
        if (!path.Format("%s\\%s", common, folder) || Exists(path.c_str())) {
            (void)fprintf(stderr, "search_bench: %s exists already; not touching it\n",
                          path.c_str());
            return false;
        }
    }
    char windows[MAX_PATH];
    char system[MAX_PATH];
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof(windows));
    UINT systemLength = GetSystemDirectoryA(system, sizeof(system));
    if (windowsLength == 0 || windowsLength >= sizeof(windows) || systemLength == 0 ||
        systemLength >= sizeof(system)) {
        return false;
    }
    for (size_t row = 0; row < kRows; ++row) {
        char installed[MAX_PATH];
        if (!ResolveInstalledPath(ProtectedFileTable[row].installedPath, windows, system, installed,
                                  sizeof(installed)) ||
            Exists(installed)) {
            (void)fprintf(stderr, "search_bench: %s is installed; not touching it\n", installed);
            return false;
        }
    }
    return true;
}

int Run(const std::vector<uint32_t>& sizes, int runs, const char* fixtures) {
    char common[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, FALSE)) {
        (void)fprintf(stderr, "search_bench: no Common Files folder\n");
        return 1;
    }
    if (!PrefixIsClear(common)) {
        return 2;
    }
    zk::FixedText<MAX_PATH> root;
    char system[MAX_PATH];
    zk::FixedText<MAX_PATH> logPath;
    UINT systemLength = GetSystemDirectoryA(system, sizeof(system));
    if (!root.Format("%s\\Marvshrd", common) || systemLength == 0 ||
        systemLength >= sizeof(system) || !logPath.Format("%s\\zkcoinst.log", system)) {
        return 1;
    }
    SavedLog log(logPath.c_str());

    std::vector<SizeResult> results;
    for (uint32_t directories : sizes) {
        // Small trees are cheap: more runs steady their median.
        int sizeRuns = runs > 0 ? runs : (directories <= 1000 ? 7 : 3);
        SizeResult result;
        if (!BenchOneSize(directories, sizeRuns, root.c_str(), fixtures, &result)) {
            return 1;
        }
        results.push_back(result);
    }
    for (size_t i = 1; i < results.size(); ++i) {
        const SizeResult& from = results[i - 1];
        const SizeResult& to = results[i];
        printf("search_growth from %u to %u dirs_factor %.2f pass_factor %.2f floor_factor %.2f\n",
               from.directories, to.directories,
               static_cast<double>(to.directories) / from.directories,
               from.pass.median > 0 ? to.pass.median / from.pass.median : 0,
               from.floor.median > 0 ? to.floor.median / from.floor.median : 0);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint32_t> sizes;
    int runs = 0;
    std::string fixtures;
    for (int i = 1; i < argc; i += 2) {
        std::string arg = argv[i];
        if (i + 1 == argc) {
            arg = "";  // an option without its value
        }
        if (arg == "--dirs") {
            int value = 0;
            if (!ParseWholeInt(argv[i + 1], &value) || value < 1 || value > 100000) {
                (void)fprintf(stderr, "search_bench: --dirs takes 1 to 100000\n");
                return 1;
            }
            sizes.push_back(static_cast<uint32_t>(value));
        } else if (arg == "--runs") {
            if (!ParseWholeInt(argv[i + 1], &runs)) {
                (void)fprintf(stderr, "search_bench: --runs takes a whole number\n");
                return 1;
            }
        } else if (arg == "--fixtures") {
            fixtures = argv[i + 1];
        } else {
            (void)fprintf(stderr,
                          "usage: search_bench [--dirs N]... [--runs R] [--fixtures DIR]\n");
            return 1;
        }
    }
    if (sizes.empty()) {
        sizes = {100, 1000, 10000};
    }
    if (fixtures.empty()) {
        // The test libraries are built into a folder beside the program.
        char program[MAX_PATH] = {};
        DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return 1;
        }
        fixtures = program;
        fixtures = fixtures.substr(0, fixtures.rfind('\\')) + "\\search_fixtures";
    }

    LibraryProcessAttach();
    int status = Run(sizes, runs, fixtures.c_str());
    LibraryProcessDetach();
    return status;
}
