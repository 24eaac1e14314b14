// The synchronisation window's end while its worker still runs: the window
// waits for the worker with the program's windows painted and answering,
// asks every 5 seconds whether to go on waiting, and when the user gives up
// terminates the worker only while it waits for the user's answer to one of
// its prompts, never while it holds a transaction of the database (which the
// test holds it in through the worker's watched steps).
#include "sync_wnd_fixture.h"

#include "common/kept_thread.h"
#include "exchange/sync/syncsteps.h"
#include "exchange/sync/synctables.h"
#include "foundation/prompt.h"

#include <atomic>
#include <mutex>

namespace extest {
namespace {

const wchar_t kNotEnding[] = L"Поток не завершается.\nПодождать завершение потока";
const wchar_t kUnreadable[] = L"Ошибка функции ReadSnimokDataExc.\nДанный снимок будет пропущен.";

// A window of the test's thread that counts its paintings: it stands for the
// program's other windows, which must not stop painting while the window's
// thread waits for the worker.
std::atomic<int> gPaints{0};

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        ++gPaints;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class PaintProbe {
public:
    PaintProbe()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ProbeProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TfSyncPaintProbe";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"probe", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60,
                                nullptr, nullptr, wc.hInstance, nullptr);
        harness::Pump(50);
    }
    ~PaintProbe()
    {
        DestroyWindow(hwnd_);
        UnregisterClassW(L"TfSyncPaintProbe", GetModuleHandleW(nullptr));
    }
    HWND Hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// A worker held at a watched step while the window ends, and the prompts of
// the window's wait answered from a list.
struct Hold {
    SyncStep step = SyncStep::ScanFileWritten;
    HWND probe = nullptr;
    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);    // the worker is held
    HANDLE closing = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // the window is being closed
    HANDLE gaveUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);    // the user answered No
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // a held prompt may return
    std::atomic<int> reached{0};
    std::atomic<bool> answered{false};   // the window's thread answered a sent message
    std::atomic<bool> painted{false};    // and painted the probe
    std::vector<int> answers;            // to "Поток не завершается"
    std::mutex lock;
    std::vector<std::wstring> prompts;
    std::vector<HWND> owners;
    ~Hold()
    {
        for (HANDLE h : {inside, closing, gaveUp, release})
            CloseHandle(h);
    }
};
Hold* gHold = nullptr;

void HoldWorker(SyncStep step, void* context)
{
    Hold& h = *static_cast<Hold*>(context);
    if (step != h.step || h.reached++ != 0)
        return;
    SetEvent(h.inside);
    if (WaitForSingleObject(h.closing, 30000) != WAIT_OBJECT_0)
        return;
    // The window's thread waits for this worker now: it must still answer
    // and paint.
    DWORD_PTR result = 0;
    h.answered = SendMessageTimeoutW(h.probe, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
    const int before = gPaints;
    InvalidateRect(h.probe, nullptr, TRUE);
    for (int i = 0; i < 250 && gPaints == before; ++i)
        Sleep(20);
    h.painted = gPaints != before;
    // Inside the transaction until the user has given up on the worker and
    // the window has looked at it since: after the No the window's thread
    // answers a sent message only in its wait for a worker it may terminate,
    // which it has looked at first.
    if (WaitForSingleObject(h.gaveUp, 60000) == WAIT_OBJECT_0)
        SendMessageTimeoutW(h.probe, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
}

int WaitPromptHook(HWND owner, const wchar_t* text, const wchar_t*, UINT)
{
    Hold& h = *gHold;
    const bool notEnding = wcscmp(text, kNotEnding) == 0;
    int answer = IDCANCEL;
    {
        std::lock_guard<std::mutex> guard(h.lock);
        h.prompts.push_back(text);
        h.owners.push_back(owner);
        if (notEnding) {
            const size_t asked = h.prompts.size();
            answer = asked <= h.answers.size() ? h.answers[asked - 1] : IDNO;
        }
    }
    if (notEnding && answer == IDNO)
        SetEvent(h.gaveUp);
    if (!notEnding && wcscmp(text, kUnreadable) == 0) {
        // The worker's own prompt: it waits for the user, who does not come.
        SetEvent(h.inside);
        WaitForSingleObject(h.release, 60000);
        return IDOK;
    }
    return answer;
}

class WorkerStop : public SyncWindowTest {
protected:
    void SetUp() override
    {
        SyncWindowTest::SetUp();
        gHold = &hold;
        previous_ = SetPromptHook(WaitPromptHook);
    }
    void TearDown() override
    {
        SetSyncStepObserver(nullptr, nullptr);
        SetPromptHook(previous_);
        SetEvent(hold.release);
        SyncWindowTest::TearDown();
        gHold = nullptr;
    }

    // The worker's thread, kept past the window's end.
    void KeepWorker()
    {
        ASSERT_NE(nullptr, W().Progress().ThreadHandle());
        ASSERT_TRUE(worker.Keep(W().Progress().ThreadHandle()));
    }
    DWORD WorkerCode() { return worker.ExitCode(); }
    // Closes the window as Run does at its end, once the worker is held.
    void CloseWhileHeld()
    {
        ASSERT_TRUE(harness::PumpUntil([&] { return WaitForSingleObject(hold.inside, 0) == WAIT_OBJECT_0; }, 30000))
            << "the worker never came to the step";
        windowHwnd = W().GetHwnd();
        SetEvent(hold.closing);
        CloseWindow();
    }
    // Files of the hard disk that no image row names, found by a scan and
    // counted in Snimok_dif.
    void UnsynchronisedFiles(int count)
    {
        MakeDemoImages(count);
        Exec(L"DELETE FROM Snimok;");
        {
            TestSyncWindow scans;
            ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
        }
        CreateSyncTables(g_DbSession);
        ASSERT_EQ(count, Count(L"Snimok_dif WHERE nodel=0"));
    }

    Hold hold;
    PaintProbe probe;
    harness::KeptThread worker;
    HWND windowHwnd = nullptr;

private:
    PromptHook previous_ = nullptr;
};

TEST_F(WorkerStop, GivingUpOnAWorkerInsideItsScanTransactionWaitsForItsEndWithTheWindowsPainted)
{
    MakeDemoImages(3);
    hold.step = SyncStep::ScanFileWritten;
    hold.probe = probe.Hwnd();
    SetSyncStepObserver(HoldWorker, &hold);
    OpenWindow();
    Choose(false);
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    KeepWorker();
    CloseWhileHeld();
    EXPECT_EQ(nullptr, ScanDbWindow::Current());

    EXPECT_TRUE(hold.answered) << "the window's thread did not answer while it waited for the worker";
    EXPECT_TRUE(hold.painted) << "the program's windows were not painted while the window waited for the worker";
    ASSERT_EQ(1u, hold.prompts.size());
    EXPECT_EQ(kNotEnding, hold.prompts[0]);
    EXPECT_EQ(windowHwnd, hold.owners[0]);
    // Not terminated in its transaction: it went on, took the stop at its
    // next poll and ended as stopped, its written rows committed.
    EXPECT_EQ(kSyncResultStopped, WorkerCode());
    EXPECT_LE(1, Count(L"Snimok_tmp"));
    // And it left no lock behind: the program writes at once.
    Exec(L"DELETE FROM Snimok_tmp;");
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
}

TEST_F(WorkerStop, WaitingOnAndThenGivingUpOnAWorkerInsideARestoreKeepsThatImageWhole)
{
    UnsynchronisedFiles(2);
    hold.step = SyncStep::RestoreWritten;
    hold.probe = probe.Hwnd();
    hold.answers = {IDYES, IDNO};
    SetSyncStepObserver(HoldWorker, &hold);
    OpenWindow();
    ASSERT_TRUE(Push(ScanDbWindow::kSynchronise));
    KeepWorker();
    CloseWhileHeld();
    EXPECT_EQ(nullptr, ScanDbWindow::Current());

    EXPECT_TRUE(hold.painted);
    ASSERT_EQ(2u, hold.prompts.size()) << "Yes waits on and asks again";
    EXPECT_EQ(kNotEnding, hold.prompts[1]);
    EXPECT_EQ(kSyncResultStopped, WorkerCode());
    // The image in hand is back with its row, and its Snimok_dif row is gone;
    // the next one was not begun.
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_EQ(1, Count(L"Snimok_dif WHERE nodel=0"));
    Exec(L"UPDATE Snimok_dif SET nodel=1;");
    EXPECT_EQ(0, Count(L"Snimok_dif WHERE nodel=0"));
}

TEST_F(WorkerStop, GivingUpOnAWorkerThatWaitsForTheUserTerminatesIt)
{
    UnsynchronisedFiles(1);
    // The file can no longer be read: the worker says so and waits for an
    // answer that nobody gives.
    const std::wstring name = FileNames(L"Snimok_dif")[0];
    HANDLE file = CreateFileW(ImagePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "not an image", 12, &written, nullptr);
    CloseHandle(file);
    OpenWindow();
    ASSERT_TRUE(Push(ScanDbWindow::kSynchronise));
    KeepWorker();
    CloseWhileHeld();
    EXPECT_EQ(nullptr, ScanDbWindow::Current());

    ASSERT_EQ(2u, hold.prompts.size());
    EXPECT_EQ(kUnreadable, hold.prompts[0]);
    EXPECT_EQ(kNotEnding, hold.prompts[1]);
    EXPECT_EQ(kSyncResultTerminated, WorkerCode());
    // It held nothing of the database: the program writes at once.
    Exec(L"UPDATE Snimok_dif SET nodel=1;");
    EXPECT_EQ(1, Count(L"Snimok_dif WHERE nodel=1"));
}

}  // namespace
}  // namespace extest
