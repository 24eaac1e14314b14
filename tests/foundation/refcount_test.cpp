// The one reference count: holders added and taken away, the last releaser
// told, a count at 0 never revived nor taken below 0, and counts kept right
// by holders on several threads.
#include "foundation/refcount.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

TEST(RefCount, StartsWithOneHolderAndTellsTheLastReleaser)
{
    DRefCount count;
    EXPECT_EQ(1, count.Value());
    EXPECT_EQ(2, count.AddRef());
    bool last = true;
    EXPECT_EQ(1, count.Release(&last));
    EXPECT_FALSE(last);
    EXPECT_EQ(0, count.Release(&last));
    EXPECT_TRUE(last);
}

TEST(RefCount, AFallenCountIsNeitherRevivedNorTakenBelowZero)
{
    DRefCount count;
    EXPECT_TRUE(count.ReleaseLast());
    EXPECT_EQ(0, count.AddRef());
    EXPECT_EQ(0, count.Value());
    bool last = true;
    EXPECT_EQ(0, count.Release(&last));
    EXPECT_FALSE(last);
    EXPECT_FALSE(count.ReleaseLast());
    EXPECT_EQ(0, count.Value());
}

TEST(RefCount, ReleaseAndFreeRunsTheFreeOnceForTheLastHolder)
{
    DRefCount count(2);
    int freed = 0;
    EXPECT_EQ(1, count.ReleaseAndFree([&freed] { ++freed; }));
    EXPECT_EQ(0, freed);
    EXPECT_EQ(0, count.ReleaseAndFree([&freed] { ++freed; }));
    EXPECT_EQ(1, freed);
    EXPECT_EQ(0, count.ReleaseAndFree([&freed] { ++freed; }));
    EXPECT_EQ(1, freed);
}

TEST(RefCount, ARawBlockIsStartedByInit)
{
    struct Block {
        DRefCount refs;
        int payload;
    };
    alignas(Block) unsigned char storage[sizeof(Block)];
    memset(storage, 0xCD, sizeof storage);
    Block* block = reinterpret_cast<Block*>(storage);
    block->refs.Init();
    EXPECT_EQ(1, block->refs.Value());
    block->refs.Init(3);
    EXPECT_EQ(3, block->refs.Value());
}

struct Shared {
    DRefCount refs;
    long frees = 0;
};

DWORD WINAPI AddAndRelease(void* argument)
{
    Shared* shared = static_cast<Shared*>(argument);
    for (int i = 0; i < 20000; ++i) {
        shared->refs.AddRef();
        if (shared->refs.ReleaseLast())
            InterlockedIncrement(&shared->frees);
    }
    return 0;
}

TEST(RefCount, HoldersOnSeveralThreadsKeepTheCountRight)
{
    Shared shared;
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(CreateThread(nullptr, 0, AddAndRelease, &shared, 0, nullptr));
    for (HANDLE t : threads) {
        ASSERT_NE(nullptr, t);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    }
    EXPECT_EQ(1, shared.refs.Value());
    EXPECT_EQ(0, shared.frees);
    EXPECT_TRUE(shared.refs.ReleaseLast());
}

}  // namespace
