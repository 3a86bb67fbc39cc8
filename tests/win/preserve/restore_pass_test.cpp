#include "preserve/restore_pass.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/system_message.h"
#include "core/tracked_alloc.h"
#include "maker_folders.h"
#include "preserve/protected_files.h"
#include "preserve_fixtures.h"
#include "test_support.h"

namespace {

using namespace zktest;
using namespace std::string_literals;

const void* const kHandle = reinterpret_cast<const void*>(0x5200);

std::string Installed(size_t row) {
    char path[MAX_PATH];
    EXPECT_TRUE(ResolveInstalledPath(ProtectedFileTable[row].installedPath,
                                     WindowsDirectory().c_str(), SystemDirectory().c_str(), path,
                                     sizeof(path)));
    return path;
}

std::string Shared(size_t row) {
    return CommonFilesDirectory() + "\\Marvshrd\\" + ProtectedFileTable[row].fileName;
}

std::string Triple(const char* name, const char* current, const char* previous = "0.0.0.0") {
    return "   Processing "s + name + ".\r\n   New file version " + current +
           ".\r\n   Previous file version " + previous + ".\r\n";
}

// The log of a pass with no copy anywhere, for every row but the ones a test
// looks at.
std::string QuietRow(size_t row) {
    return Triple(ProtectedFileTable[row].fileName, "0.0.0.0");
}

// Every installed location, the shared folder and the deferral targets are
// clean before and after each test.
class RestorePass : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    void Clean() {
        for (size_t row = 0; row < 6; ++row) {
            for (const char* suffix : {"", ".new", ".old", ".zk1", ".zk2", ".zk3"}) {
                RemoveFile(Installed(row) + suffix);
            }
        }
        RemoveDirectoryA((WindowsDirectory() + "\\TWAIN_32\\Pictavue").c_str());
        RemoveTree(CommonFilesDirectory() + "\\Marvshrd");
    }

    // Runs the pass and returns what it logged between the run's start and stop.
    std::string Pass(bool useWinInit) {
        FreshInstallLog log;
        TrackedUsage before = GetTrackedUsage();
        DeviceContext* context = GetDeviceContext(kHandle);
        EXPECT_NE(nullptr, context);
        TrackedUsage withContext = GetTrackedUsage();
        RestoreNewerFiles(context, useWinInit);
        EXPECT_EQ(withContext.blocks, GetTrackedUsage().blocks);
        ReleaseDeviceContext(context);
        EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
        std::string text = log.Read();
        size_t start = text.find("\r\n", text.find("   Binary: ")) + 2;
        return text.substr(start, text.find("Stop co-installer: ") - start);
    }

    // The log of a pass in which only row `row` has something to say.
    static std::string OnlyRow(size_t row, const std::string& lines) {
        std::string log;
        for (size_t r = 0; r < 6; ++r) {
            log += r == row ? lines : QuietRow(r);
        }
        return log;
    }

    SavedPendingRenames pending_;
    SavedWinInit winInit_;
};

TEST_F(RestorePass, WithoutSharedFolderEveryRowLogsThreeLinesAndNothingChanges) {
    PutFixture(kV99, Installed(2));
    std::string log = Pass(false);
    EXPECT_EQ(OnlyRow(2, Triple("ZKCodec2.dll", "6.0.0.99")), log);
    EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(Installed(2)));
    EXPECT_EQ("", ReadPendingRenames());
}

TEST_F(RestorePass, StrictlyNewerSharedCopyReplacesTheInstalledOne) {
    struct Case {
        const char* what;
        const char* installed;  // null: no installed file
        const char* shared;
        const char* result;  // the installed file afterwards; null: none
        std::string lines;
    };
    const std::string found = Shared(3);
    const std::vector<Case> cases = {
        {"6.0.0.100 over 6.0.0.99", kV99, kV100, kV100,
         Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " + found + "\r\n"},
        {"build 40000 over build 1", kVBuild1, kVBuild40000, kVBuild40000,
         Triple("ZKUI2.dll", "6.0.1.0", "6.0.40000.0") + "   Restoring " + found + "\r\n"},
        {"equal versions", kV100, kV100, kV100, Triple("ZKUI2.dll", "6.0.0.100", "6.0.0.100")},
        {"older shared copy", kV100, kV99, kV100, Triple("ZKUI2.dll", "6.0.0.100", "6.0.0.99")},
        {"shared copy without version", kV99, kNoVersion, kV99, Triple("ZKUI2.dll", "6.0.0.99")},
        {"installed file missing", nullptr, kV100, nullptr,
         Triple("ZKUI2.dll", "0.0.0.0", "6.0.0.100") + "   Restoring " + found +
             "\r\n   File isn't exist\r\n"},
        {"installed file without version", kNoVersion, kV100, kNoVersion,
         Triple("ZKUI2.dll", "0.0.0.0", "6.0.0.100") + "   Restoring " + found +
             "\r\n   File isn't exist\r\n"},
    };
    for (const Case& c : cases) {
        Clean();
        if (c.installed != nullptr) {
            PutFixture(c.installed, Installed(3));
        }
        PutFixture(c.shared, found);
        EXPECT_EQ(OnlyRow(3, c.lines), Pass(false)) << c.what;
        if (c.result == nullptr) {
            EXPECT_FALSE(FileExists(Installed(3))) << c.what;
        } else {
            EXPECT_EQ(FixtureBytes(c.result), ReadFileBytes(Installed(3))) << c.what;
        }
        // The shared copy stays, nothing is left beside the installed one and
        // nothing is deferred.
        EXPECT_EQ(FixtureBytes(c.shared), ReadFileBytes(found)) << c.what;
        EXPECT_FALSE(FileExists(Installed(3) + ".new")) << c.what;
        EXPECT_FALSE(FileExists(Installed(3) + ".old")) << c.what;
        EXPECT_EQ("", ReadPendingRenames()) << c.what;
    }
}

std::string FileError(const char* verb, const char* name, DWORD error) {
    char text[MAX_PATH];
    GetSystemMessageText(error, text, sizeof(text));
    char code[16];
    wsprintfA(code, "0x%08X", static_cast<unsigned>(error));
    // The log is a text stream: the system text's own "\r\n" is stored as
    // "\r\r\n", as every line feed becomes "\r\n".
    std::string stored;
    for (const char* c = text; *c != '\0'; ++c) {
        stored += *c == '\n' ? "\r\n" : std::string(1, *c);
    }
    return "   ERROR: Couldn't "s + verb + " " + name + ". " + code + " - " + stored;
}

std::string DeleteError(const char* name, DWORD error) {
    return FileError("delete", name, error);
}

// The request for target: its first staged copy moved onto it, replacing it.
std::string PendingRequest(const std::string& target) {
    return "\\??\\" + target + ".zk1\0"s + "!\\??\\" + target + "\0"s;
}

TEST_F(RestorePass, FileInUseIsDeferredAndTheOtherRowsGoOn) {
    for (bool useWinInit : {false, true}) {
        Clean();
        SavedPendingRenames noRequests;
        RemoveFile(SavedWinInit::Path());
        if (useWinInit) {
            WriteFileBytes(SavedWinInit::Path(), "[boot]\r\n");
        }
        // Row 3 is held open without delete sharing; rows 4 and 5 are free.
        PutFixture(kV99, Installed(2));
        PutFixture(kV99, Installed(3));
        PutFixture(kV99, Installed(4));
        for (size_t row : {2, 3, 4}) {
            PutFixture(kV100, Shared(row));
        }
        HANDLE holder = CreateFileA(Installed(2).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        std::string log = Pass(useWinInit);
        CloseHandle(holder);

        std::string expected = QuietRow(0) + QuietRow(1);
        for (size_t row : {2, 3, 4}) {
            const char* name = ProtectedFileTable[row].fileName;
            expected +=
                Triple(name, "6.0.0.99", "6.0.0.100") + "   Restoring " + Shared(row) + "\r\n";
            if (row == 2) {
                expected += DeleteError(name, ERROR_SHARING_VIOLATION);
            }
        }
        expected += QuietRow(5);
        EXPECT_EQ(expected, log) << useWinInit;

        EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(Installed(2)));
        EXPECT_FALSE(FileExists(Installed(2) + ".new"));
        EXPECT_FALSE(FileExists(Installed(2) + ".old"));
        EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(Installed(3)));
        EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(Installed(4)));
        if (useWinInit) {
            // The copy and its spare wait beside the installed file.
            EXPECT_EQ("[boot]\r\n[rename]\r\nNUL=" + Installed(2) + "\r\n" + Installed(2) + "=" +
                          Installed(2) + ".zk1\r\n" + Installed(2) + ".zk1=" + Installed(2) +
                          ".zk2",
                      ReadFileBytes(SavedWinInit::Path()));
            EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(Installed(2) + ".zk2"));
            EXPECT_EQ("", ReadPendingRenames());
        } else {
            EXPECT_EQ(PendingRequest(Installed(2)) + "\0"s, ReadPendingRenames());
            EXPECT_FALSE(FileExists(SavedWinInit::Path()));
        }
        // Staged beside the installed file, not in the shared folder.
        EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(Installed(2) + ".zk1"));
        EXPECT_FALSE(FileExists(Shared(2) + ".tmp"));
    }
}

TEST_F(RestorePass, FileThatCannotBeDeletedIsPutBackAsItWas) {
    // A read-only file: it could be moved aside but not deleted.
    PutFixture(kV99, Installed(3));
    PutFixture(kV100, Shared(3));
    SetFileAttributesA(Installed(3).c_str(), FILE_ATTRIBUTE_READONLY);
    std::string log = Pass(false);
    EXPECT_EQ(OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " +
                             Shared(3) + "\r\n" + DeleteError("ZKUI2.dll", ERROR_ACCESS_DENIED)),
              log);
    EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(Installed(3)));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesA(Installed(3).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(FileExists(Installed(3) + ".new"));
    EXPECT_FALSE(FileExists(Installed(3) + ".old"));
    EXPECT_EQ(PendingRequest(Installed(3)) + "\0"s, ReadPendingRenames());
}

TEST_F(RestorePass, AFileHeldOpenWithDeleteSharingIsLeftToTheNextStart) {
    // Its deletion would only mark it, and its name is not free for the new
    // copy while the holder has it open: the replacing move fails, and the
    // installed file stays whole under its name.
    PutFixture(kV99, Installed(3));
    PutFixture(kV100, Shared(3));
    HANDLE holder =
        CreateFileA(Installed(3).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    std::string log = Pass(false);
    CloseHandle(holder);
    EXPECT_EQ(OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " +
                             Shared(3) + "\r\n" + DeleteError("ZKUI2.dll", ERROR_ACCESS_DENIED)),
              log);
    EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(Installed(3)));
    EXPECT_FALSE(FileExists(Installed(3) + ".new"));
    EXPECT_FALSE(FileExists(Installed(3) + ".old"));
    EXPECT_EQ(PendingRequest(Installed(3)) + "\0"s, ReadPendingRenames());
}

TEST_F(RestorePass, TheReplacingMoveIsOneStepThatLeavesTheOldFileWhenItFails) {
    const std::string I = Installed(3);
    PutFixture(kV99, I);
    PutFixture(kV100, Shared(3));
    std::string log;
    {
        FailingFileOperations failing({{FileCall::MoveEx, I + ".new", I, ERROR_DISK_FULL}});
        log = Pass(false);
        EXPECT_EQ(0, FailingFileOperations::Calls(FileCall::Move));
    }
    EXPECT_EQ(OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " +
                             Shared(3) + "\r\n" + DeleteError("ZKUI2.dll", ERROR_DISK_FULL)),
              log);
    EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(I));
    EXPECT_FALSE(FileExists(I + ".new"));
    EXPECT_FALSE(FileExists(I + ".old"));
    EXPECT_EQ(PendingRequest(I) + "\0"s, ReadPendingRenames());
}

TEST_F(RestorePass, WhicheverStepFailsTheInstalledNameHoldsTheOldFileOrTheNewOne) {
    const std::string I = Installed(3);
    const std::string N = I + ".new";
    const std::string O = I + ".old";
    const std::string F = Shared(3);
    const DWORD kFull = ERROR_DISK_FULL;
    const DWORD kDenied = ERROR_ACCESS_DENIED;
    const FileCall kCopy = FileCall::Copy;
    const FileCall kMove = FileCall::Move;
    const FileCall kDelete = FileCall::Delete;
    const std::string kept = "   ERROR: Couldn't put " + I + " back; it is kept as " + O + ".\r\n";
    struct Case {
        const char* what;
        std::vector<FailRule> rules;
        const char* installed;  // what the installed name holds afterwards; null: nothing
        const char* old;        // what is left as ".old"; null: nothing
        const char* fresh;      // what is left as ".new"; null: nothing
        std::string errors;     // the log lines after "Restoring"
    };
    const std::vector<Case> cases = {
        {"the copy beside it",
         {{kCopy, F, N, kFull}},
         kV99,
         nullptr,
         nullptr,
         FileError("copy", "ZKUI2.dll", kFull)},
        {"the move aside",
         {{kMove, I, O, kDenied}},
         kV99,
         nullptr,
         nullptr,
         DeleteError("ZKUI2.dll", kDenied)},
        {"the move in",
         {{kMove, N, I, kFull}},
         kV99,
         nullptr,
         nullptr,
         FileError("copy", "ZKUI2.dll", kFull)},
        {"the move in and the move back",
         {{kMove, N, I, kFull}, {kMove, O, I, kDenied}},
         kV99,
         nullptr,
         nullptr,
         FileError("copy", "ZKUI2.dll", kFull)},
        {"the move in and every way back for the old file",
         {{kMove, N, I, kFull}, {kMove, O, I, kDenied}, {kCopy, O, I, kDenied}},
         kV100,
         nullptr,
         nullptr,
         FileError("copy", "ZKUI2.dll", kFull)},
        {"the move in and every way back for either file",
         {{kMove, N, I, kFull},
          {kMove, O, I, kDenied},
          {kCopy, O, I, kDenied},
          {kCopy, N, I, kFull}},
         nullptr,
         kV99,
         kV100,
         FileError("copy", "ZKUI2.dll", kFull) + kept},
        {"the delete of the old file",
         {{kDelete, O, "", kDenied}},
         kV99,
         nullptr,
         nullptr,
         DeleteError("ZKUI2.dll", kDenied)},
        {"the delete and the move off",
         {{kDelete, O, "", kDenied}, {kMove, I, N, kFull}},
         kV100,
         kV99,
         nullptr,
         DeleteError("ZKUI2.dll", kDenied)},
        {"the delete and the move back",
         {{kDelete, O, "", kDenied}, {kMove, O, I, kFull}},
         kV99,
         nullptr,
         nullptr,
         DeleteError("ZKUI2.dll", kDenied)},
        {"the delete and every way back for the old file",
         {{kDelete, O, "", kDenied}, {kMove, O, I, kFull}, {kCopy, O, I, kFull}},
         kV100,
         nullptr,
         nullptr,
         DeleteError("ZKUI2.dll", kDenied)},
        {"the delete and every way back for either file",
         {{kDelete, O, "", kDenied},
          {kMove, O, I, kFull},
          {kCopy, O, I, kFull},
          {kMove, N, I, kFull, 1},
          {kCopy, N, I, kFull}},
         nullptr,
         kV99,
         kV100,
         DeleteError("ZKUI2.dll", kDenied) + kept},
    };
    for (const Case& c : cases) {
        Clean();
        SavedPendingRenames noRequests;
        PutFixture(kV99, I);
        PutFixture(kV100, F);
        std::string log;
        {
            // As on a system without the replacing move, which goes through
            // the moves aside and back.
            std::vector<FailRule> rules = c.rules;
            rules.push_back({FileCall::MoveEx, N, I, ERROR_CALL_NOT_IMPLEMENTED});
            FailingFileOperations failing(rules);
            log = Pass(false);
        }
        EXPECT_EQ(OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " + F +
                                 "\r\n" + c.errors),
                  log)
            << c.what;
        struct Left {
            const std::string& path;
            const char* fixture;
        };
        for (const Left& left : {Left{I, c.installed}, Left{O, c.old}, Left{N, c.fresh}}) {
            if (left.fixture == nullptr) {
                EXPECT_FALSE(FileExists(left.path)) << c.what << ": " << left.path;
            } else {
                EXPECT_EQ(FixtureBytes(left.fixture), ReadFileBytes(left.path))
                    << c.what << ": " << left.path;
            }
        }
        // The replacement is left to the next start in every case.
        EXPECT_EQ(PendingRequest(I) + "\0"s, ReadPendingRenames()) << c.what;
        EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(F)) << c.what;
    }
}

TEST_F(RestorePass, ACopyThatFailsBesideAFileInUseIsReportedAsItsDelete) {
    // Deleting first, as the plain order does, would have failed on such a
    // file before any copy was tried.
    const std::string I = Installed(3);
    const std::string F = Shared(3);
    enum class Installed { Free, InUse, ReadOnly };
    struct Case {
        const char* what;
        Installed installed;
        bool folderInTheWay;  // a folder where the copy goes: the copy fails
        std::vector<FailRule> rules;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"in use, a folder in the way",
         Installed::InUse,
         true,
         {},
         DeleteError("ZKUI2.dll", ERROR_SHARING_VIOLATION)},
        {"in use, disk full",
         Installed::InUse,
         false,
         {{FileCall::Copy, F, I + ".new", ERROR_DISK_FULL}},
         DeleteError("ZKUI2.dll", ERROR_SHARING_VIOLATION)},
        {"read-only, disk full",
         Installed::ReadOnly,
         false,
         {{FileCall::Copy, F, I + ".new", ERROR_DISK_FULL}},
         DeleteError("ZKUI2.dll", ERROR_ACCESS_DENIED)},
        // The copy never goes over whatever is at its name.
        {"free, a folder in the way",
         Installed::Free,
         true,
         {},
         FileError("copy", "ZKUI2.dll", ERROR_FILE_EXISTS)},
    };
    for (const Case& c : cases) {
        Clean();
        SavedPendingRenames noRequests;
        PutFixture(kV99, I);
        PutFixture(kV100, F);
        if (c.installed == Installed::ReadOnly) {
            SetFileAttributesA(I.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        if (c.folderInTheWay) {
            ASSERT_TRUE(CreateDirectoryA((I + ".new").c_str(), nullptr));
        }
        zk::UniqueFileHandle inUse(c.installed == Installed::InUse
                                       ? CreateFileA(I.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, 0, nullptr)
                                       : INVALID_HANDLE_VALUE);
        std::string log;
        {
            FailingFileOperations failing(c.rules);
            log = Pass(false);
        }
        inUse.Reset();
        RemoveDirectoryA((I + ".new").c_str());
        EXPECT_EQ(OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " + F +
                                 "\r\n" + c.error),
                  log)
            << c.what;
        EXPECT_EQ(FixtureBytes(kV99), ReadFileBytes(I)) << c.what;
        EXPECT_EQ(PendingRequest(I) + "\0"s, ReadPendingRenames()) << c.what;
    }
}

TEST_F(RestorePass, AFailureWithoutSystemTextStillEndsItsLine) {
    // An error code the system has no text for: the line ends all the same,
    // and the next row's first line stands on its own.
    const DWORD kUnknown = 0x2000ABCD;
    PutFixture(kV99, Installed(3));
    PutFixture(kV100, Shared(3));
    std::string log;
    {
        FailingFileOperations failing(
            {{FileCall::Copy, Shared(3), Installed(3) + ".new", kUnknown}});
        log = Pass(false);
    }
    EXPECT_EQ(
        OnlyRow(3, Triple("ZKUI2.dll", "6.0.0.99", "6.0.0.100") + "   Restoring " + Shared(3) +
                       "\r\n   ERROR: Couldn't copy ZKUI2.dll. 0x2000ABCD - \r\n"),
        log);
}

TEST_F(RestorePass, ACopyBuiltForAnotherMachineNeverTakesTheInstalledFilesPlace) {
    // This build's machine type and the other one, as the PE headers give them.
    const unsigned own = kIs64BitBuild ? 0x8664 : 0x014C;
    const unsigned other = kIs64BitBuild ? 0x014C : 0x8664;
    auto warning = [](const std::string& path, unsigned copy, unsigned installed) {
        char text[400];
        (void)snprintf(text, sizeof(text),
                       "   WARNING: %s is built for machine 0x%04X, the installed file for 0x%04X; "
                       "not put in place.\r\n",
                       path.c_str(), copy, installed);
        return std::string(text);
    };
    const std::string folder = CommonFilesDirectory() + "\\Marvshrd\\";
    const std::string foreign = folder + "x64\\ZKUI2.dll";
    const std::string native = folder + "x86\\ZKUI2.dll";
    struct Case {
        const char* what;
        const char* installed;
        std::vector<std::pair<std::string, const char*>> shared;
        const char* result;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {"the only newer copy is of the other machine",
         kV99,
         {{foreign, kOtherMachineVBuild1}},
         kV99,
         "   Processing ZKUI2.dll.\r\n" + warning(foreign, other, own) +
             "   New file version 6.0.0.99.\r\n   Previous file version 0.0.0.0.\r\n"},
        {"a copy of each machine in one tree: the older one of the own machine wins",
         kV99,
         {{foreign, kOtherMachineVBuild1}, {native, kV100}},
         kV100,
         "   Processing ZKUI2.dll.\r\n" + warning(foreign, other, own) +
             "   New file version 6.0.0.99.\r\n   Previous file version 6.0.0.100.\r\n"
             "   Restoring " +
             native + "\r\n"},
        {"a copy of the other machine no newer than the installed file is not named",
         kVBuild40000,
         {{foreign, kOtherMachineVBuild1}},
         kVBuild40000,
         Triple("ZKUI2.dll", "6.0.40000.0")},
        {"an installed file of the other machine keeps its place too",
         kOtherMachineVBuild1,
         {{native, kVBuild40000}},
         kOtherMachineVBuild1,
         "   Processing ZKUI2.dll.\r\n" + warning(native, own, other) +
             "   New file version 6.0.1.0.\r\n   Previous file version 0.0.0.0.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        PutFixture(c.installed, Installed(3));
        for (const auto& copy : c.shared) {
            PutFixture(copy.second, copy.first);
        }
        EXPECT_EQ(OnlyRow(3, c.lines), Pass(false));
        EXPECT_EQ(FixtureBytes(c.result), ReadFileBytes(Installed(3)));
        EXPECT_EQ("", ReadPendingRenames());
    }
}

TEST_F(RestorePass, ReplacesTheFilesOfEveryInstallLocation) {
    for (size_t row = 0; row < 6; ++row) {
        PutFixture(kV99, Installed(row));
        PutFixture(kV100, Shared(row));
    }
    std::string expected;
    for (size_t row = 0; row < 6; ++row) {
        expected += Triple(ProtectedFileTable[row].fileName, "6.0.0.99", "6.0.0.100") +
                    "   Restoring " + Shared(row) + "\r\n";
    }
    EXPECT_EQ(expected, Pass(true));
    for (size_t row = 0; row < 6; ++row) {
        EXPECT_EQ(FixtureBytes(kV100), ReadFileBytes(Installed(row))) << row;
    }
    EXPECT_EQ(WindowsDirectory() + "\\TWAIN_32\\Pictavue\\zkWIAext.dll", Installed(0));
    EXPECT_EQ(SystemDirectory() + "\\drivers\\ZKUSBSta.sys", Installed(5));
}

}  // namespace
