#include "entry/setup_entry.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/tracked_alloc.h"
#include "setupactions_test_support.h"
#include "test_support.h"

namespace {

// zkcoinst.ini with the test's sections; it, and what a monitor installation
// writes, are put back afterwards.
class EntryIni {
public:
    explicit EntryIni(const std::string& text)
        : path_(zktest::SystemDirectory() + "\\zkcoinst.ini"),
          saved_(path_),
          monitor_("SYSTEM\\CurrentControlSet\\Services\\ZKUSBSta"),
          imageLower_(
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}",
              "LowerFilters"),
          mediaLower_(
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}",
              "LowerFilters") {
        zktest::WriteFileBytes(path_, text);
    }

private:
    std::string path_;
    zktest::SavedFile saved_;
    zktest::SavedKey monitor_;
    zktest::SavedRegistryValue imageLower_;
    zktest::SavedRegistryValue mediaLower_;
};

std::string Plain(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain += text[i];
        }
    }
    return zktest::WithoutTimestamps(plain);
}

// Each part must follow the one before it in text; the position after the
// last, or npos.
size_t FindInOrder(const std::string& text, const std::vector<std::string>& parts) {
    size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) {
            ADD_FAILURE() << "missing, or out of order: " << part << "\nin:\n" << text;
            return at;
        }
        at += part.size();
    }
    return at;
}

using EntryProc = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};

void CallEntry(const char* section, EntryProc entry = SetupEntryPoint,
               HINSTANCE instance = GetModuleHandleA(nullptr)) {
    std::string commandLine = section;
    entry(nullptr, instance, &commandLine[0], SW_SHOWNORMAL);
}

// The runs of a log: the message lines of each, between its start and its
// binary line and its stop line. A run started inside another, a stop without
// a start, a message outside a run or a run without its stop is a failure.
std::vector<std::vector<std::string>> SplitRuns(const std::string& log) {
    std::vector<std::vector<std::string>> runs;
    std::string text = Plain(log);
    bool inRun = false;
    bool header = true;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("Start co-installer: ", 0) == 0) {
            EXPECT_FALSE(inRun) << "a run starts inside another run";
            inRun = true;
            header = false;
            runs.emplace_back();
            // The binary line belongs to the start.
            at = text.find('\n', at) + 1;
        } else if (line.rfind("Stop co-installer: ", 0) == 0) {
            EXPECT_TRUE(inRun) << "a stop line outside a run";
            inRun = false;
        } else if (inRun) {
            runs.back().push_back(line);
        } else if (!header && !line.empty()) {
            ADD_FAILURE() << "text outside a run: " << line;
        }
    }
    EXPECT_FALSE(inRun) << "the last run has no stop line";
    return runs;
}

struct EntryWork {
    EntryProc entry;
    HINSTANCE instance;
    int calls;
};

DWORD WINAPI EntryThread(void* parameter) {
    const auto* work = static_cast<const EntryWork*>(parameter);
    for (int i = 0; i < work->calls; ++i) {
        CallEntry("Entry", work->entry, work->instance);
    }
    return 0;
}

// Calls the entry from several threads at once, many times each, all with the
// same instance handle as rundll32 would pass, and checks that every run that
// got the log is one call's run, whole from where it got the log: the log is
// opened for exclusive use, so a call that found it taken joins late, but no
// run may hold two calls' lines or lose its own.
void CallFromThreads(EntryProc entry, HINSTANCE instance) {
    EntryIni ini("[Entry]\r\nplain\r\n103,NO_ROVudevid\r\n");
    std::vector<std::string> whole;
    {
        zktest::FreshInstallLog log;
        CallEntry("Entry", entry, instance);
        std::vector<std::vector<std::string>> runs = SplitRuns(log.Read());
        ASSERT_EQ(1u, runs.size());
        whole = runs[0];
        ASSERT_EQ("   LaunchRegisteredApp:", whole.back());
    }

    zktest::FreshInstallLog log;
    const int kThreads = 4;
    const int kCalls = 20;
    EntryWork work = {entry, instance, kCalls};
    std::vector<zk::UniqueHandle> owned;
    std::vector<HANDLE> threads;
    for (int t = 0; t < kThreads; ++t) {
        owned.emplace_back(CreateThread(nullptr, 0, EntryThread, &work, 0, nullptr));
        ASSERT_TRUE(owned.back().IsValid());
        threads.push_back(owned.back().Get());
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(static_cast<DWORD>(threads.size()),
                                                    threads.data(), TRUE, 240000));

    std::vector<std::vector<std::string>> runs = SplitRuns(log.Read());
    EXPECT_GE(runs.size(), 1u);
    EXPECT_LE(runs.size(), static_cast<size_t>(kThreads * kCalls));
    for (const std::vector<std::string>& run : runs) {
        bool tail = !run.empty() && run.size() <= whole.size() &&
                    std::equal(run.rbegin(), run.rend(), whole.rbegin());
        EXPECT_TRUE(tail) << "not one call's run:\n" << Plain(log.Read());
        if (!tail) {
            break;
        }
    }
}

TEST(SetupEntry, OneCallWritesOneWholeRun) {
    EntryIni ini("[Entry]\r\nplain\r\n103,NO_ROVudevid\r\n");
    zktest::FreshInstallLog log;
    const uint32_t contexts = GetDeviceContextCount();
    CallEntry("Entry");
    EXPECT_EQ(contexts, GetDeviceContextCount());

    std::string text = Plain(log.Read());
    const std::string system = zktest::SystemDirectory();
    size_t end =
        FindInOrder(text, {"Start co-installer: [T]\n",
                           "   Marvanto Setup Extension DLL\n   ============================\n\n"
                           "   Windows system directory: " +
                               system + "\n   Windows system directory: " + system + "\n",
                           "   Section to register: Entry\n   File to register: plain\n",
                           "   Will not Install ROVudevid.\n", "   Processing ",
                           "   LaunchRegisteredApp:\n", "Stop co-installer: [T]\n"});
    EXPECT_EQ(text.size(), end + 1) << text;  // the stop line's blank line ends the file
    EXPECT_EQ(1u, zktest::CountOf(text, "Start co-installer"));
}

TEST(SetupEntry, AnEmptyNameAndASecondCallEachGetTheirOwnRun) {
    EntryIni ini("[Entry]\r\n103,NO_ROVudevid\r\n");
    zktest::FreshInstallLog log;
    CallEntry("");
    CallEntry("Entry");
    std::string text = Plain(log.Read());
    EXPECT_EQ(2u, zktest::CountOf(text, "Start co-installer"));
    EXPECT_EQ(2u, zktest::CountOf(text, "Stop co-installer"));
    // The run without a name: its section does not exist, and the monitor is installed.
    const std::string unnamed =
        "   Section to register: \n   Section  doesn't exist in INI file.\n"
        "   Install bandwidth monitor.\n";
    FindInOrder(text,
                {unnamed, "   LaunchRegisteredApp:\n", "Stop co-installer", "Start co-installer",
                 "   Section to register: Entry\n   Install Module check. NO_ROVudevid\n",
                 "   LaunchRegisteredApp:\n", "Stop co-installer"});
}

TEST(SetupEntry, CallsOnSeveralThreadsOfTheLoadedDllKeepTheirRunsApart) {
    zk::UniqueHandleOf<LibraryTraits> library(
        LoadLibraryA(zktest::BuildOutputPath(ZK_COINSTALLER_DLL).c_str()));
    ASSERT_TRUE(library.IsValid()) << GetLastError();
    auto entry = reinterpret_cast<EntryProc>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), "SetupEntryPoint")));
    ASSERT_NE(nullptr, entry);
    CallFromThreads(entry, library.Get());
}

TEST(SetupEntry, CallsOnSeveralThreadsLeaveNoContextOrBlockBehind) {
    const uint32_t contexts = GetDeviceContextCount();
    const TrackedUsage before = GetTrackedUsage();
    CallFromThreads(SetupEntryPoint, GetModuleHandleA(nullptr));
    EXPECT_EQ(contexts, GetDeviceContextCount());
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);
}

}  // namespace
