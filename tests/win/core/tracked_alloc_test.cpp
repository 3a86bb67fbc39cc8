#include "core/tracked_alloc.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/library.h"

namespace {

TEST(TrackedAlloc, BlocksAreCountedUntilFreedAndZeroBytesIsAValidDistinctBlock) {
    TrackedUsage before = GetTrackedUsage();
    void* a = TrackedAlloc(0);
    void* b = TrackedAlloc(0);
    void* c = TrackedAlloc(100);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, c);
    EXPECT_NE(a, b);
    memset(c, 0xAB, 100);

    TrackedUsage during = GetTrackedUsage();
    EXPECT_EQ(before.blocks + 3, during.blocks);
    EXPECT_EQ(before.bytes + 100, during.bytes);

    TrackedFree(b);
    TrackedFree(c);
    TrackedFree(a);
    TrackedUsage after = GetTrackedUsage();
    EXPECT_EQ(before.blocks, after.blocks);
    EXPECT_EQ(before.bytes, after.bytes);
}

TEST(TrackedAlloc, FreeIgnoresNullAndPassesUntaggedBlocksToFree) {
    TrackedUsage before = GetTrackedUsage();
    TrackedFree(nullptr);

    // A plain malloc block has no live tag in front of it; it is freed as it is
    // and the outstanding list is not touched.
    void* plain = malloc(64);
    memset(plain, 0, 64);
    TrackedFree(plain);
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
}

TEST(TrackedAlloc, BlocksFromAStoppedAllocatorArePlainAndFreedPlainly) {
    // Stop the library as the last detach would, allocate, and start it again.
    LibraryProcessDetach();
    void* plain = TrackedAlloc(32);
    ASSERT_NE(nullptr, plain);
    memset(plain, 0x5A, 32);
    LibraryProcessAttach();

    TrackedUsage before = GetTrackedUsage();
    TrackedFree(plain);
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);
}

TEST(TrackedAlloc, ABlockOutlivingTheStopIsStillFreedWhole) {
    void* block = TrackedAlloc(16);
    ASSERT_NE(nullptr, block);
    LibraryProcessDetach();
    TrackedFree(block);  // allocator stopped: freed from its header, no list work
    LibraryProcessAttach();
    EXPECT_EQ(0u, GetTrackedUsage().blocks);
}

TEST(TrackedAlloc, RefusesSizesThatWouldWrapAround) {
    EXPECT_EQ(nullptr, TrackedAlloc(0xFFFFFFFFu));
    EXPECT_EQ(nullptr, TrackedAlloc(0xFFFFFFF0u));
}

TEST(TrackedBuffer, FreesOnEveryPathAndHandsOverOnRelease) {
    TrackedUsage before = GetTrackedUsage();
    {
        TrackedBuffer a(10);
        TrackedBuffer b(20);
        b = std::move(a);
        ASSERT_TRUE(b.IsValid());
        // The move must leave the source empty, so that its destructor frees nothing.
        // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): checked here.
        EXPECT_FALSE(a.IsValid());
    }
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    void* handedOver = TrackedBuffer(5).Release();
    EXPECT_EQ(before.blocks + 1, GetTrackedUsage().blocks);
    TrackedBuffer adopted = TrackedBuffer::Adopt(handedOver);
    adopted = TrackedBuffer();
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
}

}  // namespace
