#include "preserve/deferred_replacement.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/device_context.h"
#include "core/tracked_alloc.h"
#include "launch_fixtures.h"
#include "preserve_fixtures.h"
#include "test_support.h"

namespace {

using namespace zktest;
using namespace std::string_literals;

const void* const kHandle = reinterpret_cast<const void*>(0x5300);

// Runs the scheduling calls with one context and returns what they logged
// (the lines between the run's start and its stop), checking that nothing
// tracked is left behind.
std::string Logged(const std::function<void(DeviceContext*)>& calls) {
    FreshInstallLog log;
    TrackedUsage before = GetTrackedUsage();
    DeviceContext* context = GetDeviceContext(kHandle);
    EXPECT_NE(nullptr, context);
    TrackedUsage withContext = GetTrackedUsage();
    calls(context);
    EXPECT_EQ(withContext.blocks, GetTrackedUsage().blocks);
    ReleaseDeviceContext(context);
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    std::string text = log.Read();
    size_t start = text.find("\r\n", text.find("   Binary: ")) + 2;
    size_t stop = text.find("Stop co-installer: ");
    return text.substr(start, stop - start);
}

// What one request for target and its staged copy looks like in the list: a
// replacing move alone, harmless when the start-up carries it out twice.
std::string Request(const std::string& target, const std::string& staged) {
    return "\\??\\" + staged + "\0"s + "!\\??\\" + target + "\0"s;
}

struct PendingFixture {
    SavedPendingRenames saved;
    ScratchDirectory scratch{"pending"};
    std::string source1 = scratch.File("one.dll");
    std::string source2 = scratch.File("two.dll");
    std::string target1 = "C:\\windows\\system32\\ZKUI2.dll";
    std::string target2 = "C:\\windows\\system32\\ZKUI2RC.dll";
    PendingFixture() {
        PutFixture(kV100, source1);
        PutFixture(kVBuild40000, source2);
    }
};

TEST(SchedulePendingRename, RequestsFollowTheOldPairsWhateverTheValueEnding) {
    PendingFixture f;
    struct Case {
        const char* what;
        bool exists;
        std::string old;
        std::string kept;
    };
    const Case cases[] = {
        {"no value: created as the empty list", false, "", ""},
        {"the empty list", true, "\0"s, ""},
        {"other pairs, well formed", true, "\\??\\C:\\a\0!\\??\\C:\\b\0\\??\\C:\\c\0\0\0"s,
         "\\??\\C:\\a\0!\\??\\C:\\b\0\\??\\C:\\c\0\0"s},
        // Stored without the closing NUL by another program: its last string
        // must be neither overwritten nor merged with ours.
        {"ending in one NUL", true, "\\??\\C:\\a\0!\\??\\C:\\b\0"s, "\\??\\C:\\a\0!\\??\\C:\\b\0"s},
        {"ending in a character", true, "\\??\\C:\\a\0!\\??\\C:\\b"s,
         "\\??\\C:\\a\0!\\??\\C:\\b\0"s},
    };
    for (const Case& c : cases) {
        if (c.exists) {
            WritePendingRenames(c.old);
        } else {
            SavedPendingRenames none;  // removes the value while it lives
        }
        std::string logged = Logged([&](DeviceContext* context) {
            SchedulePendingRename(context, f.target1.c_str(), f.source1.c_str());
            SchedulePendingRename(context, f.target2.c_str(), f.source2.c_str());
        });
        EXPECT_EQ("", logged) << c.what;
        unsigned long type = 0;
        // Two requests, in call order, after everything that was there.
        EXPECT_EQ(c.kept + Request(f.target1, f.source1) + Request(f.target2, f.source2) + "\0"s,
                  ReadPendingRenames(&type))
            << c.what;
        EXPECT_EQ(static_cast<unsigned long>(REG_MULTI_SZ), type) << c.what;
    }
}

TEST(SchedulePendingRename, ASecondRequestForTheSameCopyIsNotAddedOneForAnotherCopyIs) {
    PendingFixture f;
    struct Case {
        const char* what;
        std::string secondSource;
        bool added;
    };
    const Case cases[] = {
        {"the same copy", f.source1, false},
        {"the same copy named in other letters", f.scratch.Path() + "\\ONE.DLL", false},
        {"another copy", f.source2, true},
    };
    for (const Case& c : cases) {
        SavedPendingRenames none;
        EXPECT_EQ("", Logged([&](DeviceContext* context) {
                      SchedulePendingRename(context, f.target1.c_str(), f.source1.c_str());
                      SchedulePendingRename(context, f.target1.c_str(), c.secondSource.c_str());
                  }))
            << c.what;
        std::string expected = Request(f.target1, f.source1);
        if (c.added) {
            expected += Request(f.target1, c.secondSource);
        }
        EXPECT_EQ(expected + "\0"s, ReadPendingRenames()) << c.what;
    }
}

TEST(SchedulePendingRename, KeepsTheTypeOfAnExistingValue) {
    PendingFixture f;
    WritePendingRenames("\\??\\C:\\a\0\0\0"s, REG_BINARY);
    EXPECT_EQ("", Logged([&](DeviceContext* context) {
                  SchedulePendingRename(context, f.target1.c_str(), f.source1.c_str());
              }));
    unsigned long type = 0;
    EXPECT_EQ("\\??\\C:\\a\0\0"s + Request(f.target1, f.source1) + "\0"s,
              ReadPendingRenames(&type));
    EXPECT_EQ(static_cast<unsigned long>(REG_BINARY), type);
}

// WinInit.ini before and after one request for target and source.
struct WinInitCase {
    const char* what;
    std::string before;
    std::string after;
};

const char kTarget[] = "C:\\windows\\system32\\ZKUI2.dll";
const char kSource[] = "C:\\Program Files\\Common Files\\Marvshrd\\ZKUI2.dll";
const std::string kLines =
    "NUL=C:\\windows\\system32\\ZKUI2.dll\r\n"
    "C:\\windows\\system32\\ZKUI2.dll=C:\\Program Files\\Common Files\\Marvshrd\\ZKUI2.dll";

TEST(ScheduleWinInitRename, LinesEndTheRenameSectionOrStartOneAtTheEnd) {
    SavedWinInit saved;
    const WinInitCase cases[] = {
        {"section followed by another", "[rename]\r\nNUL=C:\\old.txt\r\n[boot]\r\nx=1\r\n",
         "[rename]\r\nNUL=C:\\old.txt\r\n" + kLines + "\r\n[boot]\r\nx=1\r\n"},
        {"no section", "[boot]\r\nx=1\r\n", "[boot]\r\nx=1\r\n[rename]\r\n" + kLines},
        {"capitalised section is the same section", "[Rename]\r\nNUL=C:\\old.txt\r\n",
         "[Rename]\r\nNUL=C:\\old.txt\r\n" + kLines},
        {"empty file", "", "[rename]\r\n" + kLines},
    };
    for (const WinInitCase& c : cases) {
        WriteFileBytes(SavedWinInit::Path(), c.before);
        EXPECT_EQ("", Logged([&](DeviceContext* context) {
                      ScheduleWinInitRename(context, kTarget, kSource, nullptr);
                  }))
            << c.what;
        EXPECT_EQ(c.after, ReadFileBytes(SavedWinInit::Path())) << c.what;
        // Nothing is left beside it.
        EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".new")) << c.what;
        EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".bak")) << c.what;
    }
}

TEST(ScheduleWinInitRename, ASecondRequestForTheSameSourceIsNotAddedOneForAnotherSourceIs) {
    SavedWinInit saved;
    const char kOtherSource[] = "C:\\Program Files\\Common Files\\Marvshrd\\New\\ZKUI2.dll";
    struct Case {
        const char* what;
        const char* secondSource;
        std::string after;
    };
    const Case cases[] = {
        {"the same source", kSource, "[boot]\r\n[rename]\r\n" + kLines},
        {"another source", kOtherSource,
         "[boot]\r\n[rename]\r\n" + kLines + "\r\nNUL=" + kTarget + "\r\n" + kTarget + "=" +
             kOtherSource},
    };
    for (const Case& c : cases) {
        WriteFileBytes(SavedWinInit::Path(), "[boot]\r\n");
        EXPECT_EQ("", Logged([&](DeviceContext* context) {
                      ScheduleWinInitRename(context, kTarget, kSource, nullptr);
                      ScheduleWinInitRename(context, kTarget, c.secondSource, nullptr);
                  }))
            << c.what;
        EXPECT_EQ(c.after, ReadFileBytes(SavedWinInit::Path())) << c.what;
        EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".new")) << c.what;
    }
}

TEST(ScheduleWinInitRename, WithoutWinInitNothingIsWritten) {
    SavedWinInit saved;
    EXPECT_EQ("   ERROR: Couldn't create backup file for \"" + SavedWinInit::Path() +
                  "\" (0x00000002).\r\n",
              Logged([&](DeviceContext* context) {
                  ScheduleWinInitRename(context, kTarget, kSource, nullptr);
              }));
    EXPECT_FALSE(FileExists(SavedWinInit::Path()));
    EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".new"));
    EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".bak"));
}

TEST(ScheduleWinInitRename, WithoutMoveFileExTheFileIsSwappedByMovesAndNoStepLosesIt) {
    // Windows 95, 98 and Me have no MoveFileExA (it fails there with
    // ERROR_CALL_NOT_IMPLEMENTED), and they are the ones that carry out
    // "[rename]" at start-up. This program runs as one of them, or as XP with
    // MoveFileExA made to fail that way.
    const bool win9x = TestWindowsVersion() == "win98";
    SavedWinInit saved;
    const std::string I = SavedWinInit::Path();
    const std::string B = I + ".bak";
    const std::string N = I + ".new";
    const std::string before = "[boot]\r\nx=1\r\n";
    const std::string after = before + "[rename]\r\n" + kLines;
    const FailRule noMoveEx = {FileCall::MoveEx, N, I, ERROR_CALL_NOT_IMPLEMENTED};
    const DWORD kFull = ERROR_DISK_FULL;
    const DWORD kDenied = ERROR_ACCESS_DENIED;
    auto replaceError = [&](DWORD error) {
        char code[16];
        wsprintfA(code, "0x%08X", static_cast<unsigned>(error));
        return "   ERROR: Couldn't replace \"" + I + "\" (" + code + ").\r\n";
    };
    const std::string keptAside =
        "   ERROR: Couldn't put " + I + " back; it is kept as " + B + ".\r\n";
    struct Case {
        const char* what;
        bool readOnly;
        const char* oldBackup;  // a backup there before the run; null: none
        std::vector<FailRule> rules;
        const std::string* ini;     // WinInit.ini afterwards; null: none
        const std::string* backup;  // the backup afterwards; null: none
        const std::string* fresh;   // the new file afterwards; null: none
        std::string log;
    };
    const std::string precious = "[rename]\r\nprecious=C:\\x\r\n";
    const std::vector<Case> cases = {
        {"swapped", false, nullptr, {}, &after, nullptr, nullptr, ""},
        {"the move to the backup",
         false,
         nullptr,
         {{FileCall::Move, I, B, kDenied}},
         &before,
         nullptr,
         nullptr,
         replaceError(kDenied)},
        {"a backup there already",
         false,
         precious.c_str(),
         {},
         &before,
         &precious,
         nullptr,
         replaceError(ERROR_ALREADY_EXISTS)},
        {"the move in",
         false,
         nullptr,
         {{FileCall::Move, N, I, kFull}},
         &before,
         nullptr,
         nullptr,
         replaceError(kFull)},
        {"the move in and the move back",
         false,
         nullptr,
         {{FileCall::Move, N, I, kFull}, {FileCall::Move, B, I, kDenied}},
         &before,
         nullptr,
         nullptr,
         replaceError(kFull)},
        {"the move in and every way back for the old file",
         false,
         nullptr,
         {{FileCall::Move, N, I, kFull},
          {FileCall::Move, B, I, kDenied},
          {FileCall::Copy, B, I, kDenied}},
         &after,
         nullptr,
         nullptr,
         ""},
        {"the move in and every way back for either file",
         false,
         nullptr,
         {{FileCall::Move, N, I, kFull},
          {FileCall::Move, B, I, kDenied},
          {FileCall::Copy, B, I, kDenied},
          {FileCall::Copy, N, I, kFull}},
         nullptr,
         &before,
         &after,
         replaceError(kFull) + keptAside},
        {"the delete of the backup",
         false,
         nullptr,
         {{FileCall::Delete, B, "", kDenied}},
         &after,
         &before,
         nullptr,
         ""},
        {"read-only, swapped", true, nullptr, {}, &after, nullptr, nullptr, ""},
        {"read-only, the move in",
         true,
         nullptr,
         {{FileCall::Move, N, I, kFull}},
         &before,
         nullptr,
         nullptr,
         replaceError(kFull)},
    };
    for (const Case& c : cases) {
        for (const char* suffix : {"", ".bak", ".new"}) {
            RemoveFile(I + suffix);
        }
        WriteFileBytes(I, before);
        if (c.readOnly) {
            SetFileAttributesA(I.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        if (c.oldBackup != nullptr) {
            WriteFileBytes(B, c.oldBackup);
        }
        std::vector<FailRule> rules = c.rules;
        rules.push_back(noMoveEx);
        std::string log;
        {
            FailingFileOperations failing(rules);
            log = Logged([&](DeviceContext* context) {
                ScheduleWinInitRename(context, kTarget, kSource, nullptr);
            });
            EXPECT_EQ(win9x ? 0 : 1, FailingFileOperations::Calls(FileCall::MoveEx)) << c.what;
        }
        EXPECT_EQ(c.log, log) << c.what;
        struct Left {
            const std::string& path;
            const std::string* bytes;
        };
        for (const Left& left : {Left{I, c.ini}, Left{B, c.backup}, Left{N, c.fresh}}) {
            if (left.bytes == nullptr) {
                EXPECT_FALSE(FileExists(left.path)) << c.what << ": " << left.path;
            } else {
                EXPECT_EQ(*left.bytes, ReadFileBytes(left.path)) << c.what << ": " << left.path;
            }
        }
        if (c.readOnly && c.ini == &before) {
            // Put back as it was, attribute and all.
            EXPECT_NE(0u, GetFileAttributesA(I.c_str()) & FILE_ATTRIBUTE_READONLY) << c.what;
        }
    }
}

TEST(ScheduleWinInitRename, AFailureOfMoveFileExOtherThanNotImplementedIsNoReasonToSwap) {
    if (TestWindowsVersion() == "win98") {
        GTEST_SKIP() << "Windows 98 never calls MoveFileExA";
    }
    SavedWinInit saved;
    const std::string I = SavedWinInit::Path();
    WriteFileBytes(I, "[boot]\r\n");
    std::string log;
    {
        FailingFileOperations failing({{FileCall::MoveEx, I + ".new", I, ERROR_ACCESS_DENIED}});
        log = Logged([&](DeviceContext* context) {
            ScheduleWinInitRename(context, kTarget, kSource, nullptr);
        });
        EXPECT_EQ(0, FailingFileOperations::Calls(FileCall::Move));
    }
    EXPECT_EQ("   ERROR: Couldn't replace \"" + I + "\" (0x00000005).\r\n", log);
    EXPECT_EQ("[boot]\r\n", ReadFileBytes(I));
    EXPECT_FALSE(FileExists(I + ".new"));
    EXPECT_FALSE(FileExists(I + ".bak"));
}

TEST(ScheduleWinInitRename, NeverLosesContent) {
    SavedWinInit saved;
    // A backup left by an interrupted earlier rewrite may be the only complete
    // copy: it is not touched. Where the file is swapped by MoveFileA steps
    // through that very name, the swap is refused while it is there.
    const bool win9x = TestWindowsVersion() == "win98";
    WriteFileBytes(SavedWinInit::Path() + ".bak", "[rename]\r\nprecious=C:\\x\r\n");
    // Lines longer than any line buffer come through whole.
    std::string longLine = "C:\\" + std::string(600, 'l') + "=C:\\" + std::string(300, 's');
    std::string before = "[rename]\r\n" + longLine + "\r\n[" + std::string(400, 'b') + "]\r\n";
    WriteFileBytes(SavedWinInit::Path(), before);
    EXPECT_EQ(win9x
                  ? "   ERROR: Couldn't replace \"" + SavedWinInit::Path() + "\" (0x000000B7).\r\n"
                  : "",
              Logged([&](DeviceContext* context) {
                  ScheduleWinInitRename(context, kTarget, kSource, nullptr);
              }));
    EXPECT_EQ(win9x ? before
                    : "[rename]\r\n" + longLine + "\r\n" + kLines + "\r\n[" +
                          std::string(400, 'b') + "]\r\n",
              ReadFileBytes(SavedWinInit::Path()));
    EXPECT_EQ("[rename]\r\nprecious=C:\\x\r\n", ReadFileBytes(SavedWinInit::Path() + ".bak"));

    // A file that cannot be replaced (here: held open without delete sharing)
    // is left exactly as it was, and so is nothing beside it.
    HANDLE holder = CreateFileA(SavedWinInit::Path().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    std::string held = ReadFileBytes(SavedWinInit::Path());
    std::string logged = Logged([&](DeviceContext* context) {
        ScheduleWinInitRename(context, kTarget, "C:\\Other\\ZKUI2.dll", nullptr);
    });
    CloseHandle(holder);
    EXPECT_EQ(0u, logged.find("   ERROR: Couldn't replace \"" + SavedWinInit::Path() + "\" (0x"))
        << logged;
    EXPECT_EQ(held, ReadFileBytes(SavedWinInit::Path()));
    EXPECT_FALSE(FileExists(SavedWinInit::Path() + ".new"));
}

}  // namespace
