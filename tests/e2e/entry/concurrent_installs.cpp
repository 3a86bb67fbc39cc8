// Drives the co-installer from several threads at once, each thread with its
// own device information set and several whole installations, while separate
// rundll32 processes run the setup entry point of the same DLL on the same
// machine. The co-installer is linked in, not loaded, so that its context list
// and its tracked blocks can be read here once every thread is done.
//
//   concurrent_installs --inf PATH --hwid ID... [--class Image] [--threads 4]
//                       [--installations 3] [--rundll32 8] [--parallel 2]
//                       [--section NAME] [--dll zkcoinst.dll] [--bound SECONDS]
//
// Prints what it saw, one fact a line, and "stress: PASS" or "stress: FAIL: ..."
// last. Exit code 0 on a pass, 1 on a failed check, 2 on bad arguments, 3 when a
// thread or process did not finish within the bound (a deadlock or a hang).
#include <windows.h>
#include <share.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "entry/coinstaller_entry.h"
#include "core/device_context.h"
#include "core/dif_codes.h"
#include "core/install_log.h"
#include "core/library.h"
#include "core/tracked_alloc.h"
#include "harness/device_install.h"

namespace {

struct Settings {
    InstallOptions install;
    int threads = 4;
    int rundll32Runs = 8;
    int rundll32Parallel = 2;
    std::string section = "StressSetup";
    std::string dll = "zkcoinst.dll";
    DWORD boundSeconds = 90;
};

// What one installing thread did; written by that thread only, read after it ended.
struct ThreadWork {
    const Settings* settings = nullptr;
    InstallReport report;
    int destroyCalls = 0;
    int wrongAnswers = 0;
    std::string firstWrongAnswer;
};

// What the thread that starts the rundll32 processes did.
struct LauncherWork {
    const Settings* settings = nullptr;
    DWORD deadline = 0;  // GetTickCount value
    int started = 0;
    int exitedCleanly = 0;
    int hung = 0;
    std::vector<std::string> failures;
};

DWORD RemainingMilliseconds(DWORD deadline) {
    // Differences of tick counts stay right across the counter's wrap.
    LONG left = static_cast<LONG>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// The answer the device installer must get for a call: the request for
// post-processing from DIF_INSTALLDEVICE pre-processing, NO_ERROR for all
// others. E_FAIL would mean that no context could be had.
DWORD ExpectedAnswer(const CallRecord& call) {
    return call.code == DIF_INSTALLDEVICE && !call.postProcessing ? kPostProcessingRequired
                                                                  : NO_ERROR;
}

DWORD WINAPI InstallThread(void* parameter) {
    auto* work = static_cast<ThreadWork*>(parameter);
    work->report = InstallWithCoInstaller(work->settings->install, ZkCoInstaller);
    for (const CallRecord& call : work->report.calls) {
        if (call.code == DIF_DESTROYPRIVATEDATA) {
            ++work->destroyCalls;
        }
        if (call.result != ExpectedAnswer(call)) {
            if (work->wrongAnswers++ == 0) {
                char text[128];
                (void)snprintf(text, sizeof(text), "%s%s answered 0x%08lX",
                               DifCodeName(call.code).c_str(),
                               call.postProcessing ? " (post-processing)" : "", call.result);
                work->firstWrongAnswer = text;
            }
        }
    }
    return 0;
}

// Waits for one started process within the launcher's deadline; one that does
// not end in time is ended here and counted as hung.
void Reap(LauncherWork* work, const zk::UniqueHandle& process, int number) {
    DWORD wait = WaitForSingleObject(process.Get(), RemainingMilliseconds(work->deadline));
    char text[96];
    if (wait != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 3);
        ++work->hung;
        (void)snprintf(text, sizeof(text), "rundll32 run %d did not end within the bound", number);
        work->failures.push_back(text);
    } else {
        DWORD code = 1;
        GetExitCodeProcess(process.Get(), &code);
        if (code == 0) {
            ++work->exitedCleanly;
        } else {
            (void)snprintf(text, sizeof(text), "rundll32 run %d exited with 0x%08lX", number, code);
            work->failures.push_back(text);
        }
    }
}

// Starts the setup entry point in rundll32 processes, no more than the
// parallel number at once, until all runs are done or the deadline passed.
DWORD WINAPI LauncherThread(void* parameter) {
    auto* work = static_cast<LauncherWork*>(parameter);
    const Settings& settings = *work->settings;
    std::string commandLine =
        "rundll32.exe " + settings.dll + ",SetupEntryPoint " + settings.section;
    std::vector<zk::UniqueHandle> running;
    std::vector<int> numbers;
    for (int run = 1; run <= settings.rundll32Runs; ++run) {
        if (static_cast<int>(running.size()) >= settings.rundll32Parallel) {
            Reap(work, running.front(), numbers.front());
            running.erase(running.begin());
            numbers.erase(numbers.begin());
        }
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            char text[96];
            (void)snprintf(text, sizeof(text), "rundll32 run %d could not start (%lu)", run,
                           GetLastError());
            work->failures.push_back(text);
            continue;
        }
        zk::UniqueHandle thread(process.hThread);
        ++work->started;
        running.emplace_back(process.hProcess);
        numbers.push_back(run);
    }
    for (size_t i = 0; i < running.size(); ++i) {
        Reap(work, running[i], numbers[i]);
    }
    return 0;
}

// The value of a number option: a whole decimal number that fits an int.
bool ParseNumber(const std::string& name, const char* value, int* number) {
    char* end = nullptr;
    errno = 0;
    long parsed = strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) {
        (void)fprintf(stderr, "%s takes a whole number, not \"%s\"\n", name.c_str(), value);
        return false;
    }
    *number = static_cast<int>(parsed);
    return true;
}

bool ParseArguments(int argc, char** argv, Settings* settings) {
    settings->install.quiet = true;
    settings->install.installations = 3;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc) {
            (void)fprintf(stderr, "%s needs a value\n", name.c_str());
            return false;
        }
        const char* value = argv[++i];
        bool parsed = true;  // a number option's value was a number
        if (name == "--inf") {
            settings->install.infPath = value;
        } else if (name == "--hwid") {
            settings->install.hardwareIds.push_back(value);
        } else if (name == "--class") {
            settings->install.setupClass = value;
        } else if (name == "--threads") {
            parsed = ParseNumber(name, value, &settings->threads);
        } else if (name == "--installations") {
            parsed = ParseNumber(name, value, &settings->install.installations);
        } else if (name == "--rundll32") {
            parsed = ParseNumber(name, value, &settings->rundll32Runs);
        } else if (name == "--parallel") {
            parsed = ParseNumber(name, value, &settings->rundll32Parallel);
        } else if (name == "--section") {
            settings->section = value;
        } else if (name == "--dll") {
            settings->dll = value;
        } else if (name == "--bound") {
            int seconds = 0;
            parsed = ParseNumber(name, value, &seconds);
            settings->boundSeconds = static_cast<DWORD>(seconds);
        } else {
            (void)fprintf(stderr, "unknown argument %s\n", name.c_str());
            return false;
        }
        if (!parsed) {
            return false;
        }
    }
    // WaitForMultipleObjects takes at most 64 handles, the launcher's included.
    if (settings->install.infPath.empty() || settings->install.hardwareIds.empty() ||
        settings->threads < 1 || settings->threads > 63 || settings->install.installations < 1 ||
        settings->rundll32Runs < 0 || settings->rundll32Parallel < 1 ||
        settings->boundSeconds == 0) {
        (void)fprintf(stderr, "usage: see the head of concurrent_installs.cpp\n");
        return false;
    }
    return true;
}

int Fail(const std::string& why) {
    printf("stress: FAIL: %s\n", why.c_str());
    (void)fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseArguments(argc, argv, &settings)) {
        return 2;
    }
    CRITICAL_SECTION installerLock;
    InitializeCriticalSection(&installerLock);
    settings.install.installerLock = &installerLock;
    LibraryProcessAttach();
    const DWORD deadline = GetTickCount() + settings.boundSeconds * 1000;

    std::vector<ThreadWork> work(static_cast<size_t>(settings.threads));
    LauncherWork launcher;
    launcher.settings = &settings;
    launcher.deadline = deadline;
    std::vector<zk::UniqueHandle> owned;
    std::vector<HANDLE> threads;  // the same handles, as WaitForMultipleObjects takes them
    for (ThreadWork& one : work) {
        one.settings = &settings;
        owned.emplace_back(CreateThread(nullptr, 0, InstallThread, &one, 0, nullptr));
        if (!owned.back()) {
            return Fail("CreateThread failed");
        }
        threads.push_back(owned.back().Get());
    }
    owned.emplace_back(CreateThread(nullptr, 0, LauncherThread, &launcher, 0, nullptr));
    if (!owned.back()) {
        return Fail("CreateThread failed");
    }
    threads.push_back(owned.back().Get());

    DWORD wait = WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE,
                                        RemainingMilliseconds(deadline) + 5000);
    if (wait == WAIT_TIMEOUT || wait == WAIT_FAILED) {
        int stuck = 0;
        for (HANDLE thread : threads) {
            stuck += WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 ? 0 : 1;
        }
        printf("stress: FAIL: %d of %zu threads still running after %lu s (deadlock?)\n", stuck,
               threads.size(), settings.boundSeconds);
        (void)fflush(stdout);
        // The stuck threads hold the library's locks: leave without the detach.
        ExitProcess(3);
    }
    threads.clear();
    owned.clear();

    std::vector<std::string> failures;
    int installations = 0;
    for (size_t i = 0; i < work.size(); ++i) {
        const ThreadWork& one = work[i];
        printf("thread %zu: %d installations, %zu calls, %d wrong answers\n", i + 1,
               one.destroyCalls, one.report.calls.size(), one.wrongAnswers);
        installations += one.destroyCalls;
        if (!one.report.ok) {
            failures.push_back("thread " + std::to_string(i + 1) + ": " + one.report.error);
        } else if (one.destroyCalls != settings.install.installations) {
            failures.push_back("thread " + std::to_string(i + 1) + " ended " +
                               std::to_string(one.destroyCalls) + " installations");
        }
        if (one.wrongAnswers != 0) {
            failures.push_back("thread " + std::to_string(i + 1) + ": " + one.firstWrongAnswer);
        }
    }
    printf("installations: %d\n", installations);
    printf("rundll32 runs: %d started, %d exited cleanly, %d hung\n", launcher.started,
           launcher.exitedCleanly, launcher.hung);
    failures.insert(failures.end(), launcher.failures.begin(), launcher.failures.end());

    // Every installation ended with DIF_DESTROYPRIVATEDATA, so every context
    // must be gone and every block the co-installer took given back.
    uint32_t contexts = GetDeviceContextCount();
    TrackedUsage usage = GetTrackedUsage();
    printf("contexts listed: %u\n", contexts);
    printf("tracked blocks outstanding: %u (%u bytes)\n", usage.blocks, usage.bytes);
    if (contexts != 0) {
        failures.push_back(std::to_string(contexts) + " contexts still listed");
    }
    if (usage.blocks != 0 || usage.bytes != 0) {
        failures.push_back(std::to_string(usage.blocks) + " tracked blocks outstanding");
    }
    // Every stream on the log must be closed by now: a stream left open (a
    // context freed without its close) would keep the log locked for good.
    char logPath[MAX_PATH];
    GetInstallLogPath(logPath, sizeof(logPath));
    zk::UniqueStdioFile log(_fsopen(logPath, "rb", _SH_DENYRW));
    printf("log open for exclusive reading: %s\n", log ? "yes" : "no");
    if (!log) {
        failures.push_back(std::string("the log cannot be opened: ") + logPath);
    } else {
        // The counts above would also read 0 if their lock could not be had.
        // A probe context of our own must make them read 1, and 0 again once
        // it is released; with the log held here, the probe writes no run.
        const char probeKey = 0;
        DeviceContext* probe = GetDeviceContext(&probeKey);
        uint32_t withProbe = GetDeviceContextCount();
        TrackedUsage usageWithProbe = GetTrackedUsage();
        ReleaseDeviceContext(probe);
        uint32_t afterProbe = GetDeviceContextCount();
        printf(
            "probe context: %s; contexts listed with it %u, after it %u; tracked blocks with "
            "it %u\n",
            probe != nullptr ? "created" : "none", withProbe, afterProbe, usageWithProbe.blocks);
        if (probe == nullptr || withProbe != 1 || afterProbe != 0 || usageWithProbe.blocks != 1) {
            failures.push_back("the context list or the allocator does not answer under its lock");
        }
        log.Reset();
    }
    LibraryProcessDetach();

    for (size_t i = 1; i < failures.size(); ++i) {
        printf("failure: %s\n", failures[i].c_str());
    }
    if (!failures.empty()) {
        return Fail(failures.front());
    }
    printf("stress: PASS\n");
    (void)fflush(stdout);
    return 0;
}
