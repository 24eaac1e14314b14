// The print-state window and its job watcher against the scripted spooler:
// the status texts and the progress the spooler reports, Cancel before and
// while the program waits for the job (and a refused deletion), the ends of
// the wait (printed, deleted by someone else, already gone, the time-out),
// polling when the spooler gives no notifications, and that the printing
// thread never blocks the window's thread nor the other way round.
#include "fake_spooler.h"
#include "print_fixture.h"

#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "foundation/textutil.h"
#include "printing/jobstatus.h"
#include "printing/printstatewnd.h"
#include "resources/strings.h"

#include <winspool.h>

#include <functional>
#include <memory>

using namespace printtest;

namespace {

const wchar_t kPrinter[] = L"Fake Laser";

// Waits (bounded) on another thread's state; the calling thread pumps.
bool Eventually(const std::function<bool()>& done, DWORD timeout = 10000)
{
    return harness::PumpUntil(done, timeout);
}

// Waits without pumping, for helper threads.
bool Within(const std::function<bool()>& done, DWORD timeout = 10000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout)
            return false;
        Sleep(10);
    }
    return true;
}

class PrintState : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DocPrintStateWnd::RegisterClass());
        spooler.AddQueue(kPrinter);
    }
    void TearDown() override
    {
        window.Stop();
        DocPrintStateWnd::UnregisterClass();
    }

    // The window started, showing the printer, watching a new job.
    DWORD StartWatching(SpoolJob job = SpoolJob())
    {
        EXPECT_TRUE(window.Start(nullptr, L"Day list"));
        EXPECT_TRUE(window.SetPrinterName(kPrinter));
        const DWORD id = spooler.QueueJob(kPrinter, job);
        EXPECT_TRUE(window.WatchPrinter(id));
        return id;
    }

    InputClasses classes;
    FakeSpooler spooler;
    DocPrintStateWnd window;
};

}  // namespace

TEST(JobStatus, SetBitsAreJoinedLowestFirstAsTheyFit)
{
    std::wstring texts[kJobStatusBits];
    for (int i = 0; i < kJobStatusBits; ++i)
        texts[i] = LoadText(kJobStatusTextIds[i]);
    EXPECT_EQ(LoadText(IDS_JOB_STATUS_SPOOLING) + L" - " + LoadText(IDS_JOB_STATUS_PRINTING), JobStatusText(0x18));
    EXPECT_EQ(L"", JobStatusText(0));
    EXPECT_EQ(LoadText(IDS_JOB_STATUS_RESTART), JobStatusText(0x800));

    std::wstring small[kJobStatusBits] = {L"aaaa", L"bb", L"cccccc"};
    // 9 characters fit: "aaaa", " - ", "bb"; "cccccc" does not fit whole.
    EXPECT_EQ(L"aaaa - bb", JoinJobStatus(0x7, small, 10));
    // With fewer than 3 characters left, no separator is added.
    EXPECT_EQ(L"aaaa", JoinJobStatus(0x3, small, 6));
    EXPECT_EQ(L"", JoinJobStatus(0x1, small, 0));
}

TEST(JobStatus, PrintedPartOfTheBar)
{
    EXPECT_EQ(100, PrintedBarWidth(400, 250000, 1000000));
    EXPECT_EQ(400, PrintedBarWidth(400, 0, 0)) << "a total of 0 bytes is a full bar";
    EXPECT_EQ(400, PrintedBarWidth(400, 5000, 4000));
    EXPECT_EQ(0, PrintedBarWidth(400, 0, 1000));
    EXPECT_EQ(0, PrintedBarWidth(0, 10, 100));
}

TEST_F(PrintState, ShowsTheJobsStatusPagesAndBytesAsTheSpoolerReportsThem)
{
    SpoolJob job;
    job.totalPages = 10;
    job.size = 1000000;
    const DWORD id = StartWatching(job);
    window.SetStateText(IDS_PRINT_STATE_PRINTING);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_PAGES_PRINTED, 4);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_BYTES_PRINTED, 250000);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_POSITION, 3);
    // The watcher writes the values one by one (its first reading of the job
    // may come after these changes and set the bytes printed back to 0 before
    // the notifications set them again): wait for all that is checked.
    const auto shown = [&](const DocPrintStateWnd::View& v) {
        return v.position == 3 && v.totalPages == 10 && v.pagesPrinted == 4 && v.totalBytes == 1000000 &&
               v.bytesPrinted == 250000 && v.status == JobStatusText(0x18);
    };
    EXPECT_TRUE(Eventually([&] { return shown(window.Read()); }));
    const DocPrintStateWnd::View view = window.Read();
    EXPECT_FALSE(view.polling);
    EXPECT_TRUE(view.watching);
    EXPECT_EQ(kPrinter, view.printer);
    EXPECT_EQ(LoadText(IDS_PRINT_STATE_PRINTING), view.state);
    EXPECT_EQ(3u, view.position);
    EXPECT_EQ(10u, view.totalPages);
    EXPECT_EQ(4u, view.pagesPrinted);
    EXPECT_EQ(1000000u, view.totalBytes);
    EXPECT_EQ(250000u, view.bytesPrinted);
    EXPECT_EQ(JobStatusText(0x18), view.status);

    // The bar: a quarter blue, the rest grey.
    harness::ScreenLock lock;
    const RECT inside = window.BarInside();
    const int width = inside.right - inside.left;
    int blue = 0, grey = 0;
    ASSERT_TRUE(Eventually([&] {
        if (!harness::Repainted(window.GetHwnd()))
            return false;
        harness::PixelGrab grab(window.GetHwnd());
        const int y = (inside.top + inside.bottom) / 2;
        blue = grab.Count(RGB(0, 0, 255), RECT{inside.left, y, inside.right, y + 1});
        grey = grab.Count(RGB(128, 128, 128), RECT{inside.left, y, inside.right, y + 1});
        return blue > 0;
    }));
    EXPECT_NEAR(width / 4, blue, 1);
    EXPECT_NEAR(width - width / 4, grey, 1);
}

TEST_F(PrintState, ATotalOfNoBytesShowsAFullBar)
{
    StartWatching();
    harness::ScreenLock lock;
    const RECT inside = window.BarInside();
    int blue = 0;
    ASSERT_TRUE(Eventually([&] {
        if (!harness::Repainted(window.GetHwnd()))
            return false;
        harness::PixelGrab grab(window.GetHwnd());
        const int y = (inside.top + inside.bottom) / 2;
        blue = grab.Count(RGB(0, 0, 255), RECT{inside.left, y, inside.right, y + 1});
        return blue > 0;
    }));
    EXPECT_EQ(inside.right - inside.left, blue);
}

TEST_F(PrintState, CancelBeforeTheDocumentEndsAsksThePrintingToStop)
{
    const DWORD id = StartWatching();
    EXPECT_FALSE(window.IsAbortRequested());
    PostMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(Eventually([&] { return window.IsAbortRequested(); }));
    EXPECT_TRUE(window.WaitForClose(0));
    EXPECT_TRUE(spooler.DeleteRequests().empty()) << "nothing waits for the job yet: it stays";
    EXPECT_TRUE(spooler.HasJob(id));
    EXPECT_TRUE(window.GetHwnd()) << "closing asks; the printing code ends the window";
}

TEST_F(PrintState, CancelWhileTheProgramWaitsDeletesTheJobAndEndsTheWait)
{
    const DWORD id = StartWatching();
    // The window's thread stays inside the deletion until the wait is over:
    // what the end of the wait releases must find the abort asked already.
    std::unique_ptr<void, decltype(&CloseHandle)> waitOver(CreateEventW(nullptr, TRUE, FALSE, nullptr), &CloseHandle);
    spooler.AfterDelete([&] { WaitForSingleObject(waitOver.get(), 30000); });
    Helper user([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        // The Cancel button, pressed with the space bar on the window's own thread.
        HWND button = window.CancelButton().GetHwnd();
        SendMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(button, WM_KEYUP, VK_SPACE, 0);
    });
    EXPECT_TRUE(window.WaitJob());
    const bool abortAsked = window.IsAbortRequested();
    SetEvent(waitOver.get());
    user.Join();
    EXPECT_TRUE(abortAsked) << "the wait ended before the abort was asked";
    EXPECT_EQ(std::vector<DWORD>{id}, spooler.DeleteRequests());
    EXPECT_FALSE(spooler.HasJob(id));
    EXPECT_TRUE(window.IsAbortRequested());
    EXPECT_FALSE(window.Read().waiting);
}

TEST_F(PrintState, ARefusedDeletionIsAskedAboutAndOkEndsTheWait)
{
    const DWORD id = StartWatching();
    spooler.SetDeleteError(ERROR_ACCESS_DENIED);
    PromptScript prompts({IDCANCEL, IDOK});
    Helper user([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        PostMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(Within([&] { return prompts.Count() == 1; }));
        // Cancel in the box: nothing more happens, the program still waits.
        // The window's thread answers this only once the close is over.
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutW(window.GetHwnd(), WM_NULL, 0, 0, SMTO_BLOCK, 30000, &result));
        EXPECT_TRUE(window.Read().waiting);
        EXPECT_FALSE(window.IsAbortRequested());
        PostMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(window.WaitJob());
    user.Join();
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_EQ(LoadText(IDS_PRINT), prompts.Last().caption);
    EXPECT_EQ(UINT(MB_OKCANCEL), prompts.Last().flags & MB_TYPEMASK);
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"5")) << "the error code is shown";
    EXPECT_EQ(window.GetHwnd(), prompts.Last().owner);
    EXPECT_EQ((std::vector<DWORD>{id, id}), spooler.DeleteRequests());
    EXPECT_TRUE(window.IsAbortRequested());
}

TEST_F(PrintState, TheWaitEndsWhenTheJobHasPrinted)
{
    const DWORD id = StartWatching();
    Helper spoolerSide([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        spooler.SetJobField(id, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTING);
        spooler.SetJobField(id, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTED);
    });
    EXPECT_TRUE(window.WaitJob());
    spoolerSide.Join();
    EXPECT_TRUE(spooler.DeleteRequests().empty());
    EXPECT_FALSE(window.IsAbortRequested());
    EXPECT_EQ(LoadText(IDS_JOB_STATUS_PRINTED), window.Read().status);
}

TEST_F(PrintState, AJobDeletedBySomeoneElseEndsTheWait)
{
    const DWORD id = StartWatching();
    Helper someoneElse([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        spooler.RemoveJob(id, false);   // only "a job was deleted"
    });
    EXPECT_TRUE(window.WaitJob());
    someoneElse.Join();
    EXPECT_TRUE(spooler.DeleteRequests().empty());
}

TEST_F(PrintState, AJobAlreadyGoneEndsTheWaitAtOnce)
{
    ASSERT_TRUE(window.Start(nullptr, L"Gone"));
    ASSERT_TRUE(window.SetPrinterName(kPrinter));
    ASSERT_TRUE(window.WatchPrinter(4711));   // the spooler has no such job (any more)
    EXPECT_TRUE(window.WaitJob());
}

TEST_F(PrintState, WaitingHasATimeOut)
{
    StartWatching();
    EXPECT_FALSE(window.WaitJob(150));
    EXPECT_FALSE(window.Read().waiting);
    EXPECT_FALSE(window.IsAbortRequested());
}

TEST_F(PrintState, WithoutNotificationsTheJobIsPolledAndNothingIsShown)
{
    spooler.SetNotifications(false);   // as Wine's spooler: every prompt would fail the test
    SpoolJob job;
    job.totalPages = 2;
    const DWORD id = StartWatching(job);
    EXPECT_TRUE(window.Read().polling);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTING);
    spooler.SetJobField(id, JOB_NOTIFY_FIELD_PAGES_PRINTED, 1);
    ASSERT_TRUE(Eventually([&] { return window.Read().pagesPrinted == 1; }));
    EXPECT_EQ(LoadText(IDS_JOB_STATUS_PRINTING), window.Read().status);
    EXPECT_EQ(2u, window.Read().totalPages);
    Helper spoolerSide([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        spooler.RemoveJob(id, false);
    });
    EXPECT_TRUE(window.WaitJob());
    spoolerSide.Join();
    EXPECT_EQ(0, spooler.ChangeHandles());
}

TEST_F(PrintState, WatchingNeedsAWindowAPrinterAndOneWatcher)
{
    EXPECT_FALSE(window.WatchPrinter(1)) << "no window";
    ASSERT_TRUE(window.Start(nullptr, L"Checks"));
    EXPECT_FALSE(window.Start(nullptr, L"Again")) << "one window per object";
    EXPECT_FALSE(window.WatchPrinter(1)) << "no printer name";
    ASSERT_TRUE(window.SetPrinterName(L"No such printer"));
    EXPECT_FALSE(window.WatchPrinter(1));
    EXPECT_FALSE(window.WaitJob()) << "nothing watched: nothing to wait for";
    ASSERT_TRUE(window.SetPrinterName(kPrinter));
    const DWORD id = spooler.QueueJob(kPrinter, SpoolJob());
    EXPECT_TRUE(window.WatchPrinter(id));
    EXPECT_FALSE(window.WatchPrinter(id)) << "a watcher runs";
    EXPECT_FALSE(window.SetPrinterName(L"Other")) << "the printer stays while watched";
}

TEST_F(PrintState, StopEndsBothThreadsAndGivesEverythingBack)
{
    StartWatching();
    EXPECT_EQ(1, spooler.OpenQueues());
    EXPECT_EQ(1, spooler.ChangeHandles());
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), window.ThreadHandle(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    EXPECT_TRUE(window.Stop());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
    CloseHandle(thread);
    EXPECT_EQ(nullptr, window.GetHwnd());
    EXPECT_EQ(0, spooler.OpenQueues());
    EXPECT_EQ(0, spooler.ChangeHandles());
    // And it starts again.
    EXPECT_TRUE(window.Start(nullptr, L"Second"));
    EXPECT_FALSE(window.IsAbortRequested());
}

TEST_F(PrintState, APrintingThreadWithAnActiveWindowNeitherBlocksNorIsBlocked)
{
    // The printing thread owns the active window; the state window comes up
    // top-most on its own thread while this thread is in Start, WaitJob and
    // Stop, none of which dispatch this thread's posted messages.
    harness::HostWindow host(300, 200, 50, 50);
    const DWORD id = StartWatching();
    EXPECT_NE(nullptr, window.GetHwnd());
    EXPECT_TRUE(GetWindowLongW(window.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(nullptr, GetWindow(window.GetHwnd(), GW_OWNER)) << "no owner on the printing thread";
    Helper spoolerSide([&] {
        ASSERT_TRUE(Within([&] { return window.Read().waiting; }));
        // The window thread answers while this one waits.
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutW(window.GetHwnd(), WM_NULL, 0, 0, SMTO_BLOCK, 2000, &result));
        spooler.SetJobField(id, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTED);
    });
    EXPECT_TRUE(window.WaitJob());
    spoolerSide.Join();
    EXPECT_TRUE(window.Stop());
}
