#include "foundation/rwlock.h"

#include "test_thread.h"

#include <gtest/gtest.h>

namespace {

TEST(RWLock, CreateOnceAndClose)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    EXPECT_FALSE(lock.Create());
    EXPECT_TRUE(lock.LockWrite(0));  // the first lock was kept and works
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(lock.Close());
    EXPECT_FALSE(lock.LockRead(0));
    EXPECT_FALSE(lock.LockWrite(0));
    ASSERT_TRUE(lock.Create());
}

TEST(RWLock, ReadersShareAndKeepTheWriterOut)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    Event bothIn, release;
    LONG inside = 0;
    auto reader = [&] {
        if (!lock.LockRead(2000))
            return;
        if (InterlockedIncrement(&inside) == 2)
            bothIn.Set();
        release.Wait();
        lock.UnlockRead();
    };
    Thread first(reader), second(reader);
    ASSERT_TRUE(bothIn.Wait());  // both readers hold the lock at once
    EXPECT_FALSE(lock.LockWrite(0));
    DWORD start = GetTickCount();
    EXPECT_FALSE(lock.LockWrite(50));
    EXPECT_GE(GetTickCount() - start, 40u);
    release.Set();
    ASSERT_TRUE(first.Join());
    ASSERT_TRUE(second.Join());
    EXPECT_TRUE(lock.LockWrite(0));
    EXPECT_TRUE(lock.UnlockWrite());
}

TEST(RWLock, WriterExcludesReadersUntilItUnlocks)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    ASSERT_TRUE(lock.LockWrite(0));
    bool timedOut = true, laterIn = false;
    DWORD waited = 0;
    Thread reader([&] {
        DWORD start = GetTickCount();
        timedOut = !lock.LockRead(50);
        waited = GetTickCount() - start;
    });
    ASSERT_TRUE(reader.Join());
    EXPECT_TRUE(timedOut);
    EXPECT_GE(waited, 40u);

    Event reading, in;
    Thread blockedReader([&] {
        reading.Set();
        laterIn = lock.LockRead(INFINITE);
        in.Set();
        lock.UnlockRead();
    });
    ASSERT_TRUE(reading.Wait());
    EXPECT_FALSE(in.Wait(50));  // still shut out
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(in.Wait());
    ASSERT_TRUE(blockedReader.Join());
    EXPECT_TRUE(laterIn);
}

TEST(RWLock, WriterExcludesOtherWriters)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    ASSERT_TRUE(lock.LockWrite(0));
    bool got = true;
    Thread other([&] { got = lock.LockWrite(30); });
    ASSERT_TRUE(other.Join());
    EXPECT_FALSE(got);
    EXPECT_TRUE(lock.UnlockWrite());
    Thread again([&] {
        got = lock.LockWrite(0);
        if (got)
            lock.UnlockWrite();
    });
    ASSERT_TRUE(again.Join());
    EXPECT_TRUE(got);
}

TEST(RWLock, WaitingWriterEntersWhenTheLastReaderLeaves)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    ASSERT_TRUE(lock.LockRead(0));
    ASSERT_TRUE(lock.LockRead(0));  // two reads counted on this thread
    Event writing, in;
    Thread writer([&] {
        writing.Set();
        if (lock.LockWrite(INFINITE)) {
            in.Set();
            lock.UnlockWrite();
        }
    });
    ASSERT_TRUE(writing.Wait());
    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_FALSE(in.Wait(50));  // one reader is still inside
    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_TRUE(in.Wait());
    ASSERT_TRUE(writer.Join());
}

TEST(RWLock, UnlockReadWithoutReaderIsRefusedAndHarmless)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    EXPECT_FALSE(lock.UnlockRead());
    EXPECT_TRUE(lock.LockRead(0));
    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_TRUE(lock.LockWrite(0));
    EXPECT_TRUE(lock.UnlockWrite());
}

TEST(RWLock, UnlockWriteByANonOwnerFails)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    ASSERT_TRUE(lock.LockWrite(0));
    bool released = true;
    Thread other([&] { released = lock.UnlockWrite(); });
    ASSERT_TRUE(other.Join());
    EXPECT_FALSE(released);
    EXPECT_TRUE(lock.UnlockWrite());
}

TEST(RWLock, WritersAndReadersSeeConsistentData)
{
    DRWLock lock;
    ASSERT_TRUE(lock.Create());
    volatile LONG a = 0, b = 0;
    LONG torn = 0;
    auto writer = [&] {
        for (int i = 0; i < 200; ++i) {
            if (!lock.LockWrite(2000))
                continue;
            a = a + 1;
            SwitchToThread();
            b = b + 1;
            lock.UnlockWrite();
        }
    };
    auto reader = [&] {
        for (int i = 0; i < 200; ++i) {
            if (!lock.LockRead(2000))
                continue;
            if (a != b)
                InterlockedIncrement(&torn);
            lock.UnlockRead();
        }
    };
    {
        Thread w1(writer), w2(writer), r1(reader), r2(reader);
    }
    EXPECT_EQ(0, torn);
    EXPECT_EQ(400, a);
    EXPECT_EQ(400, b);
}

}  // namespace
