// The progress channel between the window and the worker: one message for
// any number of reports, commands and their answers, the end of a worker.
#include "sync_fixture.h"

#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "tools/demosite/sitedatabase.h"

namespace extest {
namespace {

class ProgressChannel : public SyncDbTest {
protected:
    void MakeFiles(int count)
    {
        for (int i = 0; i < count; ++i) {
            wchar_t name[32];
            _snwprintf(name, 31, L"D%.10u%.10u.xmg", 3u, static_cast<unsigned>(i + 1));
            name[31] = 0;
            HANDLE f = CreateFileW((std::wstring(ImageFolder) + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
            CloseHandle(f);
        }
    }
    int QueuedProgress(HWND window)
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, window, WM_SYNC_PROGRESS, WM_SYNC_PROGRESS, PM_REMOVE))
            ++n;
        return n;
    }
};

TEST_F(ProgressChannel, AnyNumberOfReportsWaitInOneMessage)
{
    MakeFiles(60);
    TestSyncWindow window;
    ASSERT_TRUE(window.Start(kSyncScanHdd, L""));
    // Not pumping: the reports pile up behind the first message.
    bool finished = false;
    for (DWORD start = GetTickCount(); !finished && GetTickCount() - start < 30000; Sleep(20)) {
        window.Progress().Lock();
        finished = window.Progress().TestBit(kSyncFinished);
        window.Progress().Unlock();
    }
    ASSERT_TRUE(finished);
    window.Progress().Lock();
    EXPECT_EQ(L"Снимок: 60", std::wstring(window.Progress().Text2()));
    EXPECT_EQ(L"Всего на диске Снимков: 60", std::wstring(window.Progress().Text1()));
    window.Progress().Unlock();
    EXPECT_EQ(1, QueuedProgress(window.Hwnd()));
    EXPECT_EQ(kSyncResultDone, window.Progress().StopThread());
    window.Progress().Reset();
}

TEST_F(ProgressChannel, AStopAfterTheWorkerEndedIsNotTakenAndStopThreadGivesItsResult)
{
    TestSyncWindow window;
    EXPECT_EQ(0u, window.Progress().StopThread());   // none runs: no question
    ASSERT_TRUE(window.Start(kSyncScanHdd, L""));
    ASSERT_TRUE(harness::PumpUntil([&] { return window.Report().finished; }, 30000));
    EXPECT_FALSE(window.Progress().SendStop());
    EXPECT_EQ(kSyncResultDone, window.Progress().StopThread());
    window.Progress().Reset();
}

TEST_F(ProgressChannel, AnUnknownCommandFailsTheWorkerAtItsNextPoll)
{
    MakeFiles(2);
    TestSyncWindow window;
    window.HoldAt(SyncStep::ScanFileWritten);
    ASSERT_TRUE(window.Start(kSyncScanHdd, L""));
    ASSERT_TRUE(window.WaitHeld());
    EXPECT_TRUE(window.Progress().SendCommand(7, INFINITE, INFINITE));
    const SyncReport report = window.Finish();
    EXPECT_EQ(kSyncResultFailed, report.result);
    EXPECT_TRUE(report.HasMessage(L"Исключение функции: SynchrDB"));
}

TEST_F(ProgressChannel, ContinueLetsTheWorkerGoOn)
{
    MakeFiles(3);
    TestSyncWindow window;
    window.HoldAt(SyncStep::ScanFileWritten);
    ASSERT_TRUE(window.Start(kSyncScanHdd, L""));
    ASSERT_TRUE(window.WaitHeld());
    EXPECT_TRUE(window.Progress().SendCommand(kSyncCommandContinue, INFINITE, INFINITE));
    const SyncReport report = window.Finish();
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_EQ(3, Count(L"Snimok_tmp"));
}

TEST_F(ProgressChannel, AWorkerWithoutADatabaseFailsWithTheProvidersText)
{
    CloseSiteDatabase();
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultFailed, report.result);
    EXPECT_FALSE(report.messages.empty());
}

}  // namespace
}  // namespace extest
