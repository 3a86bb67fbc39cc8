// The versioned test libraries (built beside the test programs) and the places
// the file-preservation tests put them.
#pragma once

#include <string>
#include <vector>

namespace zktest {

// Names of the test libraries, without ".dll".
inline constexpr char kV99[] = "v6_0_0_99";             // 6.0.0.99
inline constexpr char kV100[] = "v6_0_0_100";           // 6.0.0.100
inline constexpr char kVBuild1[] = "v6_0_1_0";          // 6.0.1.0
inline constexpr char kVBuild40000[] = "v6_0_40000_0";  // 6.0.40000.0
inline constexpr char kNoVersion[] = "noversion";       // no version resource
// 6.0.1.0, built for the other processor than the test program (a 64-bit
// image in the x86 build, a 32-bit one in the x64 build).
inline constexpr char kOtherMachineVBuild1[] = "other_v6_0_1_0";

std::string FixturePath(const char* name);
std::string FixtureBytes(const char* name);

// Copies the test library to path, creating the folders on the way.
void PutFixture(const char* name, const std::string& path);

// Creates every missing folder of path (a folder path).
void MakeDirectories(const std::string& path);

}  // namespace zktest

namespace zktest {

// Saves "PendingFileRenameOperations" (and its type), removes it for the test
// and puts the saved one back at the end, so that no request of a test is left
// for the next start of the prefix.
class SavedPendingRenames {
public:
    SavedPendingRenames();
    ~SavedPendingRenames();
    SavedPendingRenames(const SavedPendingRenames&) = delete;
    SavedPendingRenames& operator=(const SavedPendingRenames&) = delete;

private:
    bool existed_ = false;
    unsigned long type_ = 0;
    std::string bytes_;
};

// The value's bytes and type now; *exists false when there is none.
std::string ReadPendingRenames(unsigned long* type = nullptr, bool* exists = nullptr);
void WritePendingRenames(const std::string& bytes, unsigned long type = 7 /* REG_MULTI_SZ */);

// The same for WinInit.ini and the names beside it (".bak", ".new").
class SavedWinInit {
public:
    SavedWinInit();
    ~SavedWinInit();
    SavedWinInit(const SavedWinInit&) = delete;
    SavedWinInit& operator=(const SavedWinInit&) = delete;
    static std::string Path();

private:
    struct Saved {
        bool existed;
        std::string bytes;
    };
    Saved saved_[3];
};

}  // namespace zktest

namespace zktest {

// The preservation code's file operations with some calls made to fail, for
// as long as the object lives: each rule fails the calls of its kind from and
// to the paths it names (an empty target: any; names compared without regard
// to case), with its error, once the first `pass` of them went through.
// Everything else goes to the system.
enum class FileCall { Copy, Move, MoveEx, Delete };
struct FailRule {
    FileCall call;
    std::string from;
    std::string to;
    unsigned long error;
    int pass = 0;
};

class FailingFileOperations {
public:
    explicit FailingFileOperations(std::vector<FailRule> rules);
    ~FailingFileOperations();
    FailingFileOperations(const FailingFileOperations&) = delete;
    FailingFileOperations& operator=(const FailingFileOperations&) = delete;

    // How many calls of a kind were made, failed or not.
    static int Calls(FileCall call);
};

}  // namespace zktest
