// The disk waiter on a simulated drive: the disk that is to leave is ejected
// through the stand-in, the next disk posts one message, an expected serial
// lets only that disk through, and a stop posts nothing.
#include "disks_fixture.h"

#include "common/window_harness.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/disks/diskwaiter.h"

#include <gtest/gtest.h>

namespace extest {
namespace {

const UINT kFound = WM_APP + 77;

class DiskWaiting : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(drive.Leased());
        owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner);
        waiter.SetOwner(owner, kFound, 2, 0);
        waiter.SetDrivePath(drive.Root().c_str());
    }
    void TearDown() override
    {
        waiter.Close();
        DestroyWindow(owner);
    }
    // Found messages waiting for the owner now.
    int FoundMessages()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, owner, kFound, kFound, PM_REMOVE)) {
            EXPECT_EQ(2u, msg.wParam);
            ++n;
        }
        return n;
    }
    // Found messages once one came (bounded; the queue read, not pumped away).
    int WaitFound(DWORD ms)
    {
        int n = 0;
        for (DWORD start = GetTickCount(); n == 0 && GetTickCount() - start < ms; Sleep(25))
            n += FoundMessages();
        return n;
    }
    // Waits (bounded) until the thread has finished two more polls: the
    // second began after the call and saw the drive as it is now.
    bool WaitPolls()
    {
        const LONG target = waiter.Polls() + 2;
        for (DWORD start = GetTickCount(); waiter.Polls() < target; Sleep(25))
            if (waiter.Ended() || GetTickCount() - start > 30000)
                return false;
        return true;
    }
    // Waits (bounded) until the thread has left its loop.
    bool WaitEnded()
    {
        for (DWORD start = GetTickCount(); !waiter.Ended(); Sleep(25))
            if (GetTickCount() - start > 30000)
                return false;
        return true;
    }
    SimulatedDrive drive;
    TempDir diskA{L"tfwaitA"};
    TempDir diskB{L"tfwaitB"};
    HWND owner = nullptr;
    DiskWaiter waiter;
};

TEST_F(DiskWaiting, TheScannedDiskIsEjectedAndTheNextOnePostsOnce)
{
    DiskService service;
    ASSERT_TRUE(service.Listening());
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "DISK_A"));
    ASSERT_TRUE(waiter.Begin(0xA1, nullptr, 0));
    for (DWORD start = GetTickCount(); drive.HasDisk() && GetTickCount() - start < 10000;)
        Sleep(25);
    ASSERT_FALSE(drive.HasDisk());
    EXPECT_GE(waiter.EjectRequests(), 1);
    ASSERT_TRUE(WaitPolls());   // an empty drive posts nothing
    EXPECT_EQ(0, FoundMessages());
    ASSERT_TRUE(drive.Insert(diskB.Path(), 0xB2, "DISK_B"));
    EXPECT_EQ(1, WaitFound(10000));
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(0, FoundMessages());   // the thread ended after its message
}

TEST_F(DiskWaiting, WithoutEjectTheLeavingDiskIsOnlyWaitedOut)
{
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "DISK_A"));
    waiter.EnableEject(false);
    ASSERT_TRUE(waiter.Begin(0xA1, nullptr, 0));
    ASSERT_TRUE(WaitPolls());
    EXPECT_EQ(0, waiter.EjectRequests());
    EXPECT_TRUE(drive.HasDisk());
    EXPECT_EQ(0, FoundMessages());
}

TEST_F(DiskWaiting, AnExpectedSerialLetsOnlyThatDiskThrough)
{
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "DISK_A"));
    ASSERT_TRUE(waiter.Begin(0, nullptr, 0xB2));
    ASSERT_TRUE(WaitPolls());
    EXPECT_EQ(0, FoundMessages());
    ASSERT_TRUE(drive.Insert(diskB.Path(), 0xB2, "DISK_B"));
    EXPECT_EQ(1, WaitFound(10000));
}

TEST_F(DiskWaiting, AnExpectedLabelLetsOnlyThatLabelThrough)
{
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "disk_b"));
    ASSERT_TRUE(waiter.Begin(0, L"DISK_B", 0));
    ASSERT_TRUE(WaitPolls());
    EXPECT_EQ(0, FoundMessages());   // case counts
    ASSERT_TRUE(drive.Insert(diskB.Path(), 0xB2, "DISK_B"));
    EXPECT_EQ(1, WaitFound(10000));
}

TEST_F(DiskWaiting, AStopPostsNothingAndEndsTheThread)
{
    ASSERT_TRUE(waiter.Begin(0, nullptr, 0));   // an empty drive
    ASSERT_TRUE(WaitPolls());
    const DWORD before = GetTickCount();
    waiter.Stop();
    // Not the disk service's own time-out of 10 s.
    EXPECT_LT(GetTickCount() - before, 5000u);
    EXPECT_FALSE(waiter.IsRunning());
    // No thread is left to see the disk, and none posted before it ended.
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "DISK_A"));
    EXPECT_EQ(0, FoundMessages());
}

TEST_F(DiskWaiting, AStopWhileTheServiceDoesNotAnswerEndsTheExchangeWithoutTerminating)
{
    // A service that takes the request and never answers: the waiter is in
    // the pipe when it is stopped.
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfmute");
    HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_WAIT, 8, 1028, 64, 0,
                                     nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    SetDiskSrvPipeName(pipe.c_str());
    ASSERT_TRUE(drive.Insert(diskA.Path(), 0xA1, "DISK_A"));
    ASSERT_TRUE(waiter.Begin(0xA1, nullptr, 0));
    // The request is in the pipe: the waiter waits for the answer.
    DWORD requested = 0;
    for (DWORD start = GetTickCount(); requested == 0 && GetTickCount() - start < 30000; Sleep(25))
        PeekNamedPipe(server, nullptr, 0, nullptr, &requested, nullptr);
    ASSERT_GT(requested, 0u);
    ASSERT_GT(waiter.EjectRequests(), 0);
    const DWORD before = GetTickCount();
    waiter.Stop();
    EXPECT_LT(GetTickCount() - before, 5000u) << "the stop event ends the exchange, not its time-out of 10 s";
    EXPECT_FALSE(waiter.IsRunning());
    EXPECT_EQ(1, waiter.EjectRequests());
    SetDiskSrvPipeName(nullptr);
    CloseHandle(server);
}

}  // namespace
}  // namespace extest
