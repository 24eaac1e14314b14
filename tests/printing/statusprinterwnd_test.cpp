// The printer status window against the scripted spooler: the printers and
// the selected printer's queue, jobs that come, change and go, "Delete" and
// "Delete All" (only the jobs listed), the administer right refused, polling
// when the spooler gives no notifications, the placement in the registry,
// and no deadlock between the window and its watcher.
#include "fake_spooler.h"
#include "print_fixture.h"

#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "foundation/datetime.h"
#include "foundation/textutil.h"
#include "printing/jobstatus.h"
#include "printing/statusprinterwnd.h"
#include "resources/strings.h"

#include <commctrl.h>
#include <winspool.h>

using namespace printtest;

namespace {

const wchar_t kFirst[] = L"Fake Laser";
const wchar_t kSecond[] = L"Fake Inkjet";

SpoolJob Job(const wchar_t* document, const wchar_t* user = L"radiology", DWORD pages = 1)
{
    SpoolJob job;
    job.document = document;
    job.user = user;
    job.totalPages = pages;
    return job;
}

// Changes a job, and takes a second job out of the queue and puts it back,
// about a thousand times a second until told to stop.
struct Flood {
    FakeSpooler* spooler;
    DWORD id;
    volatile LONG* stop;

    static DWORD WINAPI Run(void* param)
    {
        Flood* f = static_cast<Flood*>(param);
        SpoolJob coming;
        coming.document = L"Coming and going";
        for (DWORD n = 0; !*f->stop; ++n) {
            f->spooler->SetJobField(f->id, JOB_NOTIFY_FIELD_PAGES_PRINTED, n);
            if (n % 16 == 0) {
                coming.id = 900;
                f->spooler->RemoveJob(900, true);
                f->spooler->QueueJob(kFirst, coming);
            }
            Sleep(1);
        }
        return 0;
    }
};

// Dispatches this thread's messages for a while, stopping on time even when
// new ones keep coming (harness::Pump empties the queue first).
void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
}

class PrinterStatus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StatusPrinterWnd::RegisterClass());
        spooler.AddQueue(kFirst);
        spooler.AddQueue(kSecond);
    }
    void TearDown() override
    {
        StatusPrinterWnd::UnregisterClass();
        EXPECT_EQ(0, spooler.OpenQueues()) << "the printer is closed with the window";
        EXPECT_EQ(0, spooler.ChangeHandles());
    }

    StatusPrinterWnd& Window() { return GetStatusPrinterWnd(); }
    HWND List() { return Window().List(); }
    int Rows() { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::vector<DWORD> RowJobs() { return Window().RowJobs(); }
    bool Eventually(const std::function<bool()>& done, DWORD timeout = 10000)
    {
        return harness::PumpUntil(done, timeout);
    }
    void Select(int row)
    {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    int Selected()
    {
        return static_cast<int>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    void Press(DButton& button)
    {
        SendMessageW(button.GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(button.GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    }
    void ChoosePrinter(int index)
    {
        SendMessageW(Window().Combo(), CB_SETCURSEL, index, 0);
        SendMessageW(Window().GetHwnd(), WM_COMMAND, MAKEWPARAM(StatusPrinterWnd::kComboId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Window().Combo()));
    }
    std::wstring ComboText(int index)
    {
        wchar_t text[256] = L"";
        SendMessageW(Window().Combo(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    InputClasses classes;
    PrivateSettings settings;
    FakeSpooler spooler;
};

}  // namespace

TEST_F(PrinterStatus, ListsThePrintersAndTheFirstPrintersQueue)
{
    SpoolJob report = Job(L"Day list", L"nurse", 3);
    report.status = JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING;
    report.pagesPrinted = 2;
    report.submitted = SYSTEMTIME{2026, 3, 0, 14, 9, 30, 15, 0};
    const DWORD a = spooler.QueueJob(kFirst, report);
    SpoolJob sheet = Job(L"Printing Picture");
    sheet.statusString = L"Toner low";
    const DWORD b = spooler.QueueJob(kFirst, sheet);
    spooler.QueueJob(kSecond, Job(L"Elsewhere"));

    ShowStatusPrinterWnd(nullptr);
    HWND window = Window().GetHwnd();
    ASSERT_TRUE(window);
    EXPECT_EQ(StatusPrinterWnd::kClassName, [&] {
        wchar_t name[64];
        GetClassNameW(window, name, 64);
        return std::wstring(name);
    }());
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));
    ASSERT_EQ(2, static_cast<int>(SendMessageW(Window().Combo(), CB_GETCOUNT, 0, 0)));
    EXPECT_EQ(kFirst, ComboText(0));
    EXPECT_EQ(kSecond, ComboText(1));
    EXPECT_EQ(0, static_cast<int>(SendMessageW(Window().Combo(), CB_GETCURSEL, 0, 0)));
    EXPECT_TRUE(Window().Watching());
    EXPECT_FALSE(Window().Polling());

    ASSERT_EQ((std::vector<DWORD>{a, b}), RowJobs());
    EXPECT_EQ(L"Day list", Window().CellText(0, 0));
    EXPECT_EQ(L"nurse", Window().CellText(0, 1));
    EXPECT_EQ(JobStatusText(0x18), Window().CellText(0, 2));
    SYSTEMTIME local;
    SystemTimeToTzSpecificLocalTime(nullptr, &report.submitted, &local);
    wchar_t when[64];
    FormatSystemTime(when, 64, DateTimePicture, &local);
    EXPECT_EQ(when, Window().CellText(0, 3));
    EXPECT_EQ(L"3", Window().CellText(0, 4));
    EXPECT_EQ(L"2", Window().CellText(0, 5));
    EXPECT_EQ(L"Toner low", Window().CellText(1, 2)) << "the spooler's own status text first";

    // Showing it again makes no second window.
    ShowStatusPrinterWnd(nullptr);
    EXPECT_EQ(window, Window().GetHwnd());
    for (int i = 0; i < StatusPrinterWnd::kColumns; ++i) {
        wchar_t header[64] = L"";
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = header;
        column.cchTextMax = 64;
        SendMessageW(List(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(LoadText(IDS_JOB_COLUMN_DOCUMENT + i), header);
        EXPECT_EQ(100, column.cx);
    }
    Window().Destroy();
}

TEST_F(PrinterStatus, AnotherPrinterReplacesTheListAndIsKeptCurrent)
{
    spooler.QueueJob(kFirst, Job(L"On the first"));
    const DWORD other = spooler.QueueJob(kSecond, Job(L"On the second"));
    ShowStatusPrinterWnd(nullptr);
    ASSERT_EQ(1, Rows());
    ChoosePrinter(1);
    EXPECT_EQ(std::vector<DWORD>{other}, RowJobs());
    EXPECT_EQ(L"On the second", Window().CellText(0, 0));
    const DWORD added = spooler.QueueJob(kSecond, Job(L"Added later"));
    spooler.QueueJob(kFirst, Job(L"Not this printer"));
    ASSERT_TRUE(Eventually([&] { return Rows() == 2; }));
    EXPECT_EQ((std::vector<DWORD>{other, added}), RowJobs());
    EXPECT_EQ(1, spooler.OpenQueues()) << "only the chosen printer is open";
    Window().Destroy();
}

TEST_F(PrinterStatus, JobsThatComeChangeAndGoAreFollowed)
{
    const DWORD first = spooler.QueueJob(kFirst, Job(L"First"));
    ShowStatusPrinterWnd(nullptr);
    const DWORD second = spooler.QueueJob(kFirst, Job(L"Second", L"someone", 4));
    ASSERT_TRUE(Eventually([&] { return Rows() == 2; })) << "a new job becomes the last row";
    EXPECT_EQ(second, RowJobs()[1]);
    spooler.SetJobField(second, JOB_NOTIFY_FIELD_PAGES_PRINTED, 3);
    spooler.SetJobField(second, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTING);
    spooler.SetJobText(second, JOB_NOTIFY_FIELD_DOCUMENT, L"Second, renamed");
    ASSERT_TRUE(Eventually([&] { return Window().CellText(1, 5) == L"3"; }));
    EXPECT_TRUE(Eventually([&] { return Window().CellText(1, 0) == L"Second, renamed"; }));
    EXPECT_EQ(LoadText(IDS_JOB_STATUS_PRINTING), Window().CellText(1, 2));
    spooler.SetJobField(first, JOB_NOTIFY_FIELD_STATUS, JOB_STATUS_PRINTED);
    spooler.RemoveJob(first, true);
    ASSERT_TRUE(Eventually([&] { return Rows() == 1; })) << "a finished job the spooler deleted goes";
    EXPECT_EQ(std::vector<DWORD>{second}, RowJobs());
    // The queue empties: so does the list, and nothing is deleted for it.
    spooler.RemoveJob(second, false);
    ASSERT_TRUE(Eventually([&] { return Rows() == 0; }));
    EXPECT_TRUE(spooler.DeleteRequests().empty());
    Window().Destroy();
}

TEST_F(PrinterStatus, DeleteDeletesTheSelectedJob)
{
    const DWORD a = spooler.QueueJob(kFirst, Job(L"A"));
    const DWORD b = spooler.QueueJob(kFirst, Job(L"B"));
    ShowStatusPrinterWnd(nullptr);
    Press(Window().DeleteButton());
    EXPECT_TRUE(spooler.DeleteRequests().empty()) << "nothing selected: nothing deleted";
    Select(1);
    Press(Window().DeleteButton());
    EXPECT_EQ(std::vector<DWORD>{b}, spooler.DeleteRequests());
    ASSERT_TRUE(Eventually([&] { return Rows() == 1; }));
    EXPECT_EQ(std::vector<DWORD>{a}, RowJobs());
    Window().Destroy();
}

TEST_F(PrinterStatus, DeleteAllDeletesTheJobsListedAndNoOther)
{
    const DWORD a = spooler.QueueJob(kFirst, Job(L"A"));
    const DWORD b = spooler.QueueJob(kFirst, Job(L"B"));
    spooler.QueueJob(kSecond, Job(L"Other printer"));
    ShowStatusPrinterWnd(nullptr);
    // A job that arrives while the list does not show it yet is not the user's to delete.
    const DWORD late = spooler.QueueJob(kFirst, Job(L"Late"));
    Press(Window().DeleteAllButton());
    EXPECT_EQ((std::vector<DWORD>{a, b}), spooler.DeleteRequests());
    EXPECT_TRUE(spooler.HasJob(late));
    ASSERT_TRUE(Eventually([&] { return RowJobs() == std::vector<DWORD>{late}; }));
    Window().Destroy();
}

TEST_F(PrinterStatus, RefusedDeletionsShowTheSystemErrorOnce)
{
    spooler.QueueJob(kFirst, Job(L"A"));
    spooler.QueueJob(kFirst, Job(L"B"));
    ShowStatusPrinterWnd(nullptr);
    spooler.SetDeleteError(ERROR_ACCESS_DENIED);
    PromptScript prompts({IDOK, IDOK});
    Press(Window().DeleteAllButton());
    EXPECT_EQ(2u, spooler.DeleteRequests().size());
    ASSERT_EQ(1u, prompts.Count());
    wchar_t system[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, system,
                   256, nullptr);
    EXPECT_EQ(std::wstring(system), prompts.Last().text);
    Select(0);
    Press(Window().DeleteButton());
    EXPECT_EQ(2u, prompts.Count());
    EXPECT_EQ(2, Rows());
    Window().Destroy();
}

TEST_F(PrinterStatus, WithoutTheAdministerRightThePrinterIsOpenedForUse)
{
    spooler.SetOpenError(kFirst, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, ERROR_ACCESS_DENIED);
    spooler.QueueJob(kFirst, Job(L"Mine"));
    ShowStatusPrinterWnd(nullptr);
    EXPECT_EQ((std::vector<DWORD>{PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, PRINTER_ACCESS_USE}),
              spooler.OpenAccesses());
    EXPECT_TRUE(Window().Watching());
    EXPECT_EQ(1, Rows());
    Window().Destroy();
}

TEST_F(PrinterStatus, WithoutNotificationsTheQueueIsPolledKeepingTheSelection)
{
    spooler.SetNotifications(false);   // as Wine's spooler; a prompt would fail the test
    const DWORD a = spooler.QueueJob(kFirst, Job(L"A"));
    const DWORD b = spooler.QueueJob(kFirst, Job(L"B"));
    ShowStatusPrinterWnd(nullptr);
    EXPECT_TRUE(Window().Polling());
    Select(1);
    // B's pages change first: the poll that lists the new job lists them too.
    spooler.SetJobField(b, JOB_NOTIFY_FIELD_PAGES_PRINTED, 7);
    const DWORD c = spooler.QueueJob(kFirst, Job(L"C"));
    ASSERT_TRUE(Eventually([&] { return Rows() == 3; }));
    EXPECT_EQ((std::vector<DWORD>{a, b, c}), RowJobs());
    EXPECT_EQ(1, Selected()) << "the selected job stays selected";
    EXPECT_EQ(L"7", Window().CellText(1, 5));
    spooler.RemoveJob(a, true);
    ASSERT_TRUE(Eventually([&] { return Rows() == 2; }));
    EXPECT_EQ((std::vector<DWORD>{b, c}), RowJobs());
    EXPECT_EQ(0, Selected()) << "still job " << b;
    Window().Destroy();
}

TEST_F(PrinterStatus, DiscardedNotificationsReadTheQueueAgain)
{
    ShowStatusPrinterWnd(nullptr);
    spooler.SetNotifications(false);   // the job below raises nothing...
    // ...so only the spooler's "entries discarded" brings it in.
    const DWORD id = spooler.QueueJob(kFirst, Job(L"Unannounced"));
    spooler.Overflow(kFirst);
    ASSERT_TRUE(Eventually([&] { return Rows() == 1; }));
    EXPECT_EQ(std::vector<DWORD>{id}, RowJobs());
    Window().Destroy();
}

TEST_F(PrinterStatus, AThousandJobsAreListedAtMost)
{
    for (int i = 0; i < 1005; ++i)
        spooler.QueueJob(kFirst, Job(L"Many"));
    ShowStatusPrinterWnd(nullptr);
    EXPECT_EQ(1000, Rows());
    Window().Destroy();
}

TEST_F(PrinterStatus, ThePlacementIsSavedAndReadBack)
{
    ShowStatusPrinterWnd(nullptr);
    RECT created;
    GetWindowRect(Window().GetHwnd(), &created);
    EXPECT_EQ(100, created.left);
    EXPECT_EQ(100, created.top);
    EXPECT_EQ(500, created.right - created.left);
    EXPECT_EQ(300, created.bottom - created.top);
    MoveWindow(Window().GetHwnd(), 150, 120, 640, 360, TRUE);
    SendMessageW(List(), LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(180, 0));
    Window().Destroy();
    HKEY key = settings.Open(L"PrinterStatusWin", false);
    ASSERT_TRUE(key);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"w", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(640u, value);
    size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"3", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(180u, value);
    RegCloseKey(key);

    ShowStatusPrinterWnd(nullptr);
    RECT placed;
    GetWindowRect(Window().GetHwnd(), &placed);
    EXPECT_EQ(150, placed.left);
    EXPECT_EQ(120, placed.top);
    EXPECT_EQ(640, placed.right - placed.left);
    EXPECT_EQ(360, placed.bottom - placed.top);
    EXPECT_EQ(180, static_cast<int>(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 2, 0)));
    Window().Destroy();
}

TEST_F(PrinterStatus, APlacementWithoutItsWidthLeavesTheDefaults)
{
    HKEY key = settings.Open(L"PrinterStatusWin");
    const DWORD x = 300, y = 250, column = 222;
    RegSetValueExW(key, L"x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&x), 4);
    RegSetValueExW(key, L"y", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&y), 4);
    RegSetValueExW(key, L"1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&column), 4);
    RegCloseKey(key);
    ShowStatusPrinterWnd(nullptr);
    RECT placed;
    GetWindowRect(Window().GetHwnd(), &placed);
    EXPECT_EQ(100, placed.left);
    EXPECT_EQ(100, placed.top);
    EXPECT_EQ(100, static_cast<int>(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0)));
    Window().Destroy();
}

TEST_F(PrinterStatus, NoDeadlockWhileTheSpoolerFloodsTheWindowWithChanges)
{
    const DWORD id = spooler.QueueJob(kFirst, Job(L"Busy"));
    spooler.QueueJob(kSecond, Job(L"Other"));
    ShowStatusPrinterWnd(nullptr);
    volatile LONG stop = 0;
    Flood flood = {&spooler, id, &stop};
    HANDLE thread = CreateThread(nullptr, 0, Flood::Run, &flood, 0, nullptr);
    // The window thread stops and starts its watcher again and again while
    // it is being sent changes, and handles what arrives in between.
    for (int round = 0; round < 40; ++round) {
        ChoosePrinter(round % 2);
        PumpFor(5);
    }
    ChoosePrinter(0);
    const DWORD start = GetTickCount();
    while (Window().CellText(0, 5) == L"0" && GetTickCount() - start < 10000)
        PumpFor(20);
    EXPECT_NE(L"0", Window().CellText(0, 5)) << "the changes reach the list";
    Window().Destroy();   // with the flood still running
    InterlockedExchange(&stop, 1);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    EXPECT_EQ(nullptr, Window().GetHwnd());
}
