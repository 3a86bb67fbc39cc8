#include "core/device_context.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "common/win_handles.h"
#include "core/install_log.h"
#include "core/library.h"
#include "core/tracked_alloc.h"
#include "test_support.h"

namespace {

using zktest::CountOf;

const void* Handle(uintptr_t value) {
    return reinterpret_cast<const void*>(value);
}

struct Work {
    uintptr_t base;
};

// One thread's share of the stress test: contexts of five handles of its own,
// created, used and released again and again, with blocks taken and freed.
DWORD WINAPI StressWorker(void* parameter) {
    const Work* work = static_cast<const Work*>(parameter);
    for (int round = 0; round < 200; ++round) {
        const void* handle = Handle(work->base + round % 5);
        DeviceContext* context = GetDeviceContext(handle);
        if (context == nullptr) {
            return 1;
        }
        LogMessage(context, "thread %u round %d\n", static_cast<unsigned>(work->base), round);
        void* blocks[8];
        for (uint32_t i = 0; i < 8; ++i) {
            blocks[i] = TrackedAlloc(i * 13);
        }
        for (void* block : blocks) {
            TrackedFree(block);
        }
        if (GetDeviceContext(handle) != context) {
            return 2;
        }
        ReleaseDeviceContext(context);
    }
    return 0;
}

TEST(DeviceContext, TheSameHandleGivesTheSameContextAndOneRun) {
    zktest::FreshInstallLog log;
    DeviceContext* first = GetDeviceContext(Handle(0x1000));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(Handle(0x1000), first->key);
    EXPECT_EQ(0u, first->finishInstallPending);
    EXPECT_NE(nullptr, first->logStream);
    EXPECT_EQ(first, GetDeviceContext(Handle(0x1000)));
    EXPECT_EQ(first, FindDeviceContext(Handle(0x1000)));
    ReleaseDeviceContext(first);
    EXPECT_EQ(nullptr, FindDeviceContext(Handle(0x1000)));

    std::string text = log.Read();
    EXPECT_EQ(1u, CountOf(text, "Start co-installer:"));
    EXPECT_EQ(1u, CountOf(text, "Stop co-installer:"));
}

TEST(DeviceContext, ASecondHandleWaitsForTheLogUntilTheFirstIsReleased) {
    zktest::FreshInstallLog log;
    uint32_t contextsBefore = GetDeviceContextCount();
    DeviceContext* first = GetDeviceContext(Handle(0x2000));
    DeviceContext* second = GetDeviceContext(Handle(0x3000));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ(contextsBefore + 2, GetDeviceContextCount());
    EXPECT_NE(nullptr, first->logStream);
    EXPECT_EQ(nullptr, second->logStream);

    LogMessage(first, "first holds the log\n");
    LogMessage(second, "lost while the first holds it\n");
    EXPECT_EQ(nullptr, second->logStream);
    ReleaseDeviceContext(first);
    LogMessage(second, "after the release\n");
    EXPECT_NE(nullptr, second->logStream);
    ReleaseDeviceContext(second);
    EXPECT_EQ(contextsBefore, GetDeviceContextCount());

    EXPECT_EQ(std::string(zktest::kToolNameLine) +
                  "Tool Version: 11.70.1196.0 (debug)\r\n"
                  "Log Format Version: 01\r\n\r\n"
                  "Start Log File: [T]\r\n\r\n"
                  "Start co-installer: [T]\r\n"
                  "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n"
                  "   first holds the log\r\n"
                  "Stop co-installer: [T]\r\n\r\n"
                  "Start co-installer: [T]\r\n"
                  "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n"
                  "   after the release\r\n"
                  "Stop co-installer: [T]\r\n\r\n",
              zktest::WithoutTimestamps(log.Read()));
}

TEST(DeviceContext, AReleasedHandleStartsANewRunWhenUsedAgain) {
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(Handle(0x4000));
    ASSERT_NE(nullptr, context);
    context->finishInstallPending = 1;
    ReleaseDeviceContext(context);
    ReleaseDeviceContext(nullptr);

    context = GetDeviceContext(Handle(0x4000));
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(0u, context->finishInstallPending);
    ReleaseDeviceContext(context);

    std::string text = log.Read();
    EXPECT_EQ(1u, CountOf(text, "Tool Name:"));
    EXPECT_EQ(2u, CountOf(text, "Start co-installer:"));
    EXPECT_EQ(2u, CountOf(text, "Stop co-installer:"));
}

TEST(DeviceContext, ContextsAndBlocksFromManyThreadsAreAllReleased) {
    zktest::FreshInstallLog log;
    TrackedUsage before = GetTrackedUsage();
    uint32_t contextsBefore = GetDeviceContextCount();

    std::vector<Work> work;
    for (uintptr_t t = 0; t < 6; ++t) {
        work.push_back(Work{0x10000 * (t + 1)});
    }
    std::vector<HANDLE> threads;
    for (Work& w : work) {
        threads.push_back(CreateThread(nullptr, 0, StressWorker, &w, 0, nullptr));
        ASSERT_NE(nullptr, threads.back());
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(static_cast<DWORD>(threads.size()),
                                                    threads.data(), TRUE, 120000));
    for (HANDLE thread : threads) {
        DWORD code = 99;
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(0u, code);
        CloseHandle(thread);
    }
    EXPECT_EQ(contextsBefore, GetDeviceContextCount());
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);

    // Every run that got the log is whole: as many stops as starts.
    std::string text = log.Read();
    EXPECT_GT(CountOf(text, "Start co-installer:"), 0u);
    EXPECT_EQ(CountOf(text, "Start co-installer:"), CountOf(text, "Stop co-installer:"));
}

struct RaceWork {
    HANDLE start;  // manual-reset event that lets every thread go at once
    const void* handle;
    DeviceContext* got;
};

DWORD WINAPI RaceWorker(void* parameter) {
    auto* work = static_cast<RaceWork*>(parameter);
    WaitForSingleObject(work->start, INFINITE);
    work->got = GetDeviceContext(work->handle);
    return 0;
}

TEST(DeviceContext, ThreadsAskingForTheSameNewHandleAtOnceShareOneRecord) {
    zktest::FreshInstallLog log;
    const uint32_t contextsBefore = GetDeviceContextCount();
    for (uintptr_t round = 0; round < 30; ++round) {
        const void* handle = Handle(0x7000 + round);
        zk::UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(start.IsValid());
        std::vector<RaceWork> work(6, RaceWork{start.Get(), handle, nullptr});
        std::vector<zk::UniqueHandle> owned;
        std::vector<HANDLE> threads;
        for (RaceWork& w : work) {
            owned.emplace_back(CreateThread(nullptr, 0, RaceWorker, &w, 0, nullptr));
            ASSERT_TRUE(owned.back().IsValid());
            threads.push_back(owned.back().Get());
        }
        SetEvent(start.Get());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(static_cast<DWORD>(threads.size()),
                                                        threads.data(), TRUE, 60000));
        uint32_t listed = GetDeviceContextCount() - contextsBefore;
        for (const RaceWork& w : work) {
            EXPECT_EQ(work[0].got, w.got) << "round " << round;
        }
        // Release every record there is, so that a failure does not spill over.
        while (DeviceContext* context = FindDeviceContext(handle)) {
            ReleaseDeviceContext(context);
        }
        ASSERT_EQ(1u, listed) << "round " << round;
    }
}

}  // namespace

namespace {

TEST(DeviceContext, TheLastDetachFreesContextsAndReleasesTheLogWithoutAStopLine) {
    zktest::FreshInstallLog log;
    DeviceContext* context = GetDeviceContext(Handle(0x5000));
    ASSERT_NE(nullptr, context);
    LogMessage(context, "before the unload\n");
    LibraryProcessDetach();
    LibraryProcessAttach();
    EXPECT_EQ(0u, GetDeviceContextCount());

    // The log is free again: a new context of the same handle gets it.
    context = GetDeviceContext(Handle(0x5000));
    ASSERT_NE(nullptr, context);
    EXPECT_NE(nullptr, context->logStream);
    ReleaseDeviceContext(context);

    std::string text = zktest::WithoutTimestamps(log.Read());
    EXPECT_NE(std::string::npos, text.find("   before the unload\r\n"
                                           "Start co-installer: [T]\r\n"))
        << text;
    EXPECT_EQ(1u, CountOf(text, "Stop co-installer:"));
}

}  // namespace
