#include "core/mutex_wait.h"

#include <gtest/gtest.h>

#include "common/win_handles.h"

namespace {

DWORD WINAPI TakeAndEnd(void* mutex) {
    // Ends while it holds the mutex: the next waiter finds it abandoned.
    WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    return 0;
}

DWORD WINAPI TryTake(void* mutex) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) {
        ReleaseMutex(static_cast<HANDLE>(mutex));
    }
    return result;
}

DWORD RunThread(LPTHREAD_START_ROUTINE routine, HANDLE mutex) {
    zk::UniqueHandle thread(CreateThread(nullptr, 0, routine, mutex, 0, nullptr));
    EXPECT_TRUE(thread.IsValid());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 10000));
    DWORD code = 0;
    GetExitCodeThread(thread.Get(), &code);
    return code;
}

TEST(TakeMutex, TakesAFreeMutexAndRefusesNone) {
    zk::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, nullptr));
    ASSERT_TRUE(TakeMutex(mutex.Get()));
    // Another thread cannot have it while this one holds it.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), RunThread(TryTake, mutex.Get()));
    ReleaseMutex(mutex.Get());
    EXPECT_FALSE(TakeMutex(nullptr));
}

TEST(TakeMutex, AnAbandonedMutexFailsTheWaitAndIsNotKept) {
    zk::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, nullptr));
    RunThread(TakeAndEnd, mutex.Get());
    EXPECT_FALSE(TakeMutex(mutex.Get()));
    // Kept by this thread, every other thread's wait would block for good.
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), RunThread(TryTake, mutex.Get()));
    // And the next wait is a plain one again.
    EXPECT_TRUE(TakeMutex(mutex.Get()));
    ReleaseMutex(mutex.Get());
}

}  // namespace
