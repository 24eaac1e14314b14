// Reference-counted objects and their handles.
#include "database/dbobject.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

int gDestroyed = 0;   // destructor runs of Counted in this process

class Counted : public DODBObject
{
public:
    Counted() {}
    ~Counted() override { ++gDestroyed; }
};

class HandleTest : public ::testing::Test
{
protected:
    void SetUp() override { gDestroyed = 0; }
    void TearDown() override { DODBFailAllocationsAfter(-1); }
};

TEST_F(HandleTest, NewObjectHasOneReference)
{
    DODBPtr<Counted> h;
    ASSERT_TRUE(h.CreateNew());
    EXPECT_TRUE(h.IsSet());
    EXPECT_EQ(1, h->RefCount());
}

TEST_F(HandleTest, CopyOfNullIsNullAndTouchesNothing)
{
    DODBPtr<Counted> empty;
    DODBPtr<Counted> copy(empty);
    EXPECT_FALSE(copy.IsSet());
    EXPECT_EQ(nullptr, copy.Get());
    DODBPtr<Counted> assigned;
    ASSERT_TRUE(assigned.CreateNew());
    assigned = empty;
    EXPECT_FALSE(assigned.IsSet());
    EXPECT_EQ(1, gDestroyed);
}

TEST_F(HandleTest, CopiesShareOneObjectAndTheLastReleaseDestroysOnce)
{
    {
        DODBPtr<Counted> a;
        ASSERT_TRUE(a.CreateNew());
        DODBPtr<Counted> b(a);
        DODBPtr<Counted> c;
        c = b;
        EXPECT_EQ(a.Get(), c.Get());
        EXPECT_EQ(3, a->RefCount());
        b.Release();
        EXPECT_FALSE(b.IsSet());
        EXPECT_EQ(2, a->RefCount());
        EXPECT_EQ(0, gDestroyed);
    }
    EXPECT_EQ(1, gDestroyed);
}

TEST_F(HandleTest, CountIsNeverRevived)
{
    Counted* raw = DODBCreate<Counted>();
    ASSERT_NE(nullptr, raw);
    EXPECT_EQ(0, raw->Release());
    EXPECT_EQ(0, raw->AddRef());
    EXPECT_EQ(0, raw->RefCount());
    EXPECT_EQ(0, raw->Release());
    EXPECT_EQ(0, raw->RefCount());
    DODBDestroy(raw);
    EXPECT_EQ(1, gDestroyed);
}

TEST_F(HandleTest, SelfAssignmentKeepsTheObject)
{
    DODBPtr<Counted> a;
    ASSERT_TRUE(a.CreateNew());
    DODBPtr<Counted>& same = a;
    a = same;
    EXPECT_TRUE(a.IsSet());
    EXPECT_EQ(1, a->RefCount());
    EXPECT_EQ(0, gDestroyed);
}

TEST_F(HandleTest, CreateNewDropsTheHeldObjectFirst)
{
    DODBPtr<Counted> a;
    ASSERT_TRUE(a.CreateNew());
    Counted* first = a.Get();
    DODBPtr<Counted> keeper(a);
    ASSERT_TRUE(a.CreateNew());
    EXPECT_NE(first, a.Get());
    EXPECT_EQ(1, keeper->RefCount());   // only the keeper holds the first one now
    EXPECT_EQ(0, gDestroyed);
    ASSERT_TRUE(a.CreateNew());
    EXPECT_EQ(1, gDestroyed);           // the second one had no other holder
}

TEST_F(HandleTest, CreateNewThatCannotAllocateLeavesNull)
{
    DODBPtr<Counted> a;
    ASSERT_TRUE(a.CreateNew());
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(a.CreateNew());
    DODBFailAllocationsAfter(-1);
    EXPECT_FALSE(a.IsSet());
    EXPECT_EQ(1, gDestroyed);
}

TEST_F(HandleTest, AttachAndConstructorTakeOverTheCreatorsReference)
{
    Counted* fresh = DODBCreate<Counted>();
    {
        DODBPtr<Counted> held(fresh);
        EXPECT_EQ(1, fresh->RefCount());
        DODBPtr<Counted> other;
        Counted* second = DODBCreate<Counted>();
        other.Attach(second);
        EXPECT_EQ(1, second->RefCount());
        other.Attach(DODBCreate<Counted>());   // drops the second one
        EXPECT_EQ(1, gDestroyed);
    }
    EXPECT_EQ(3, gDestroyed);
}

struct CopyRace
{
    DODBPtr<Counted>* shared;
    HANDLE go;
    volatile LONG ready;   // threads at the start line; they copy only when all are there
};

const LONG kCopyThreads = 4;

DWORD WINAPI CopyManyTimes(void* parameter)
{
    CopyRace* race = static_cast<CopyRace*>(parameter);
    WaitForSingleObject(race->go, INFINITE);
    // Every thread starts copying at the same moment, so their count changes
    // really overlap instead of running one thread after another.
    InterlockedIncrement(&race->ready);
    while (race->ready < kCopyThreads)
        YieldProcessor();
    for (int i = 0; i < 300000; ++i) {
        DODBPtr<Counted> copy(*race->shared);
        DODBPtr<Counted> another;
        another = copy;
    }
    return 0;
}

TEST_F(HandleTest, CopiesOnManyThreadsKeepTheCountExact)
{
    DODBPtr<Counted> shared;
    ASSERT_TRUE(shared.CreateNew());
    // Held copies keep the count well above 0, so that a lost change shows
    // as a wrong count at the end rather than as an object freed under the
    // threads' feet.
    std::vector<DODBPtr<Counted>> held(99, shared);
    CopyRace race{&shared, CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
    HANDLE threads[kCopyThreads];
    for (HANDLE& t : threads)
        t = CreateThread(nullptr, 0, CopyManyTimes, &race, 0, nullptr);
    SetEvent(race.go);
    WaitForMultipleObjects(kCopyThreads, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    CloseHandle(race.go);
    EXPECT_EQ(100, shared->RefCount());
    EXPECT_EQ(0, gDestroyed);
    held.clear();
    EXPECT_EQ(1, shared->RefCount());
}

TEST(LayerMemory, BlocksAreZeroFilledAndFreedOnce)
{
    BYTE* block = static_cast<BYTE*>(DODBAlloc(64));
    ASSERT_NE(nullptr, block);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(0, block[i]);
    EXPECT_TRUE(DODBFree(block));
}

TEST(LayerMemory, InjectedFailureCountsSuccessfulAllocations)
{
    DODBFailAllocationsAfter(1);
    void* first = DODBAlloc(8);
    void* second = DODBAlloc(8);
    DODBFailAllocationsAfter(-1);
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(nullptr, second);
    DODBFree(first);
}

}  // namespace
