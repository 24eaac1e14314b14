// The archive window's end while its worker still runs: the window asks the
// worker to stop and waits for it with the program's windows painted and
// answering, asks every 4 seconds whether to go on waiting, and when the
// user gives up terminates the worker only while it waits for the user's
// answer to one of its prompts, never while it holds the transaction of its
// stamps or a file it copies (where the test holds it through the copy
// routine).
#include "archive_fixture.h"

#include "archive/arjwindow.h"
#include "archive/arjworker.h"
#include "archive/diskprep.h"
#include "app/inputtext.h"
#include "common/kept_thread.h"
#include "common/window_harness.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x5A5A4321;

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

const wchar_t kProbeClass[] = L"TfArjPaintProbe";

HWND MakeProbe(const wchar_t* title, int x)
{
    return CreateWindowExW(WS_EX_TOOLWINDOW, kProbeClass, title, WS_POPUP | WS_VISIBLE, x, 0, 120, 60, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The worker held in the copy of one image, and the prompts answered.
struct Hold {
    std::wstring heldImage;   // the ".xmg" whose copy is held
    std::wstring failingCopy; // a file whose copy throws: a failure nobody foresaw
    HWND probe = nullptr;
    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);    // the worker is held / waits at its prompt
    HANDLE closing = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // the window is being closed
    HANDLE gaveUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);    // the user answered No
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // a held prompt may return
    std::atomic<bool> reached{false};
    std::atomic<bool> answered{false};   // the window's thread answered a sent message
    std::atomic<bool> painted{false};    // and painted the probe
    std::atomic<bool> copyDone{false};   // the held copy was finished
    bool holdUntilGivenUp = false;       // the held copy waits for the user's No
    std::vector<int> answers;            // to the "not terminating" question, in order (then No)
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

bool EndsWith(const wchar_t* text, const std::wstring& tail)
{
    const size_t length = wcslen(text);
    return length >= tail.size() && _wcsicmp(text + length - tail.size(), tail.c_str()) == 0;
}

BOOL WINAPI HeldCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress, void* data,
                     BOOL* cancel, DWORD flags)
{
    Hold& h = *gHold;
    if (!h.failingCopy.empty() && EndsWith(source, h.failingCopy))
        throw std::runtime_error("the copy routine failed");
    if (!h.heldImage.empty() && EndsWith(source, h.heldImage) && !h.reached.exchange(true)) {
        // Inside a copy: the stamps of the images copied before this one wait
        // to be written.
        SetEvent(h.inside);
        if (WaitForSingleObject(h.closing, 30000) == WAIT_OBJECT_0) {
            // The window's thread waits for this worker now: it must still
            // answer and paint.
            DWORD_PTR result = 0;
            h.answered = SendMessageTimeoutW(h.probe, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
            const int before = gPaints;
            InvalidateRect(h.probe, nullptr, TRUE);
            for (int i = 0; i < 250 && gPaints == before; ++i)
                Sleep(20);
            h.painted = gPaints != before;
            // Held until the user has given up on the worker and the window
            // has looked at it since: after the No the window's thread
            // answers a sent message only in its wait for a worker it may
            // terminate, which it has looked at first.
            if (h.holdUntilGivenUp && WaitForSingleObject(h.gaveUp, 20000) == WAIT_OBJECT_0)
                SendMessageTimeoutW(h.probe, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
        }
    }
    const BOOL copied = CopyFileExW(source, target, progress, data, cancel, flags);
    if (!h.heldImage.empty() && EndsWith(source, h.heldImage))
        h.copyDone = true;
    return copied;
}

int WaitPromptHook(HWND owner, const wchar_t* text, const wchar_t*, UINT)
{
    Hold& h = *gHold;
    const bool notEnding = Str(IDS_WORKER_NOT_TERMINATING) == text;
    int answer = IDCANCEL;
    {
        std::lock_guard<std::mutex> guard(h.lock);
        h.prompts.push_back(text);
        h.owners.push_back(owner);
        if (notEnding) {
            size_t asked = 0;
            for (const std::wstring& p : h.prompts)
                asked += p == text ? 1 : 0;
            answer = asked <= h.answers.size() ? h.answers[asked - 1] : IDNO;
        }
    }
    if (notEnding && answer == IDNO)
        SetEvent(h.gaveUp);
    if (!notEnding && Str(IDS_COPY_DB_EXCEPTION) == text) {
        // The worker's own prompt: it waits for the user, who does not come.
        SetEvent(h.inside);
        WaitForSingleObject(h.release, 60000);
        return IDOK;
    }
    return answer;
}

class ArjWindowStopTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        patient_ = AddPatient(L"Volkov");
        IsAdministrator = false;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ProbeProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kProbeClass;
        RegisterClassW(&wc);
        probe_ = MakeProbe(L"probe", 0);
        owner_ = MakeProbe(L"owner", 200);
        harness::Pump(50);
        gHold = &hold;
        previousHook_ = SetPromptHook(WaitPromptHook);
        previousCopy_ = SetArchiveCopyRoutine(HeldCopy);
    }
    void TearDown() override
    {
        SetEvent(hold.release);
        SetEvent(hold.closing);
        SetEvent(hold.gaveUp);
        window_.reset();
        SetArchiveCopyRoutine(previousCopy_);
        SetPromptHook(previousHook_);
        gHold = nullptr;
        if (IsWindow(owner_))
            DestroyWindow(owner_);
        DestroyWindow(probe_);
        UnregisterClassW(kProbeClass, GetModuleHandleW(nullptr));
        ArchiveDbTest::TearDown();
    }

    // The archive window owned by the test's owner window, as the program
    // opens it over its main window.
    ArjWindow& Open()
    {
        window_.reset(new ArjWindow);
        EXPECT_TRUE(window_->Create(owner_));
        harness::Pump(50);
        return *window_;
    }
    void Key(WPARAM key) { SendMessageW(window_->GetHwnd(), WM_KEYDOWN, key, 0); }
    // The worker's thread, kept past the window's end.
    void KeepWorker()
    {
        ASSERT_NE(nullptr, window_->Link().Thread());
        ASSERT_TRUE(worker_.Keep(window_->Link().Thread()));
    }
    DWORD WorkerCode() { return worker_.ExitCode(); }
    void WaitInside()
    {
        ASSERT_TRUE(harness::PumpUntil([&] { return WaitForSingleObject(hold.inside, 0) == WAIT_OBJECT_0; }, 30000))
            << "the worker never came to the held point";
        hwnd_ = window_->GetHwnd();
    }
    // Three images on the hard disk, a registered disk in the drive, and the
    // archive job held in the copy of the second image.
    void ArchiveHeldInTheSecondCopy()
    {
        DiskMedium* disk = MakeDisk(0, kSerial, "MO1");
        RegisterDisk(kSerial, L"MO1");
        CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
        ASSERT_TRUE(InsertDisk(disk));
        for (const wchar_t* name : {L"S0000000001", L"S0000000002", L"S0000000003"})
            AddImage(patient_, name, 5000);
        hold.heldImage = L"S0000000002.xmg";
        hold.probe = probe_;
        Open();
        Key(VK_F5);
        KeepWorker();
        WaitInside();
    }
    // No image is stamped as archived without its copy on the disk.
    void StampsHaveTheirCopies()
    {
        for (std::wstring name : Rows(L"SELECT [File Name] FROM Snimok WHERE Arj IS NOT NULL;")) {
            while (!name.empty() && name.back() == L' ')
                name.pop_back();
            EXPECT_TRUE(Exists(ArchiveFile(name, L".xmg"))) << Narrow(name);
        }
    }
    // The database takes a write at once: nobody holds its write lock.
    void DatabaseTakesAWrite()
    {
        RegisterDisk(0x0BADF00D, L"AFTER");
        EXPECT_EQ(1, Count(L"Arj WHERE Name='AFTER'"));
    }

    Hold hold;
    ArchiveClasses classes_;
    std::unique_ptr<ArjWindow> window_;
    LONG patient_ = 0;
    HWND probe_ = nullptr;
    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    harness::KeptThread worker_;

private:
    PromptHook previousHook_ = nullptr;
    ArchiveCopyRoutine previousCopy_ = nullptr;
};

}  // namespace

TEST_F(ArjWindowStopTest, ClosingDuringACopyWaitsForTheWorkerToTakeTheStopWithTheWindowsPainted)
{
    ArchiveHeldInTheSecondCopy();
    ASSERT_FALSE(HasFatalFailure());
    SetEvent(hold.closing);
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);

    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_TRUE(hold.answered) << "the window's thread did not answer while it waited for the worker";
    EXPECT_TRUE(hold.painted) << "the program's windows were not painted while the window waited for the worker";
    EXPECT_TRUE(hold.prompts.empty()) << "a worker that takes the stop within one image is not asked about";
    // It finished the copy in hand and took the stop at its next poll.
    EXPECT_TRUE(hold.copyDone);
    EXPECT_EQ(1u, WorkerCode()) << "stopped by the user";
    EXPECT_FALSE(Exists(ArchiveFile(L"S0000000003", L".xmg")));
    EXPECT_EQ(2, Count(L"Snimok WHERE Arj IS NOT NULL")) << "the whole copies keep their stamps";
    StampsHaveTheirCopies();
    DatabaseTakesAWrite();
}

TEST_F(ArjWindowStopTest, GivingUpOnAWorkerInsideItsStampTransactionWaitsForItsEndInsteadOfTerminatingIt)
{
    ArchiveHeldInTheSecondCopy();
    ASSERT_FALSE(HasFatalFailure());
    hold.answers = {IDYES, IDNO};
    hold.holdUntilGivenUp = true;
    SetEvent(hold.closing);
    // The program's end takes the window's owner with it: the window goes
    // without being closed first.
    DestroyWindow(owner_);

    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_TRUE(hold.answered);
    EXPECT_TRUE(hold.painted);
    ASSERT_EQ(2u, hold.prompts.size()) << "Yes waits on and asks again";
    EXPECT_EQ(Str(IDS_WORKER_NOT_TERMINATING), hold.prompts[1]);
    EXPECT_EQ(hwnd_, hold.owners[1]);
    // Not terminated in its transaction or its copy: it finished the copy,
    // took the stop at its next poll and ended as stopped.
    EXPECT_TRUE(hold.copyDone);
    EXPECT_EQ(1u, WorkerCode());
    StampsHaveTheirCopies();
    // And it left no lock behind.
    DatabaseTakesAWrite();
}

TEST_F(ArjWindowStopTest, GivingUpOnAWorkerThatWaitsAtItsOwnPromptTerminatesIt)
{
    // The backup's copy onto the disk fails as nobody foresaw: the worker says
    // so in a box of its own and waits for an answer that nobody gives.
    UseBackupSlots(data_->Path() + L"Backup\\", 3);
    DiskMedium* disk = MakeDisk(0, kSerial, "DBDISK");
    WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});
    ASSERT_TRUE(InsertDisk(disk));
    hold.failingCopy = L"hospital.bak";
    Open();
    SendMessageW(window_->GetHwnd(), WM_COMMAND, kCmdBackup, 0);
    KeepWorker();
    WaitInside();
    ASSERT_FALSE(HasFatalFailure());
    DestroyWindow(owner_);

    EXPECT_FALSE(IsWindow(hwnd_));
    ASSERT_EQ(2u, hold.prompts.size());
    EXPECT_EQ(Str(IDS_COPY_DB_EXCEPTION), hold.prompts[0]);
    EXPECT_EQ(Str(IDS_WORKER_NOT_TERMINATING), hold.prompts[1]);
    EXPECT_EQ(hwnd_, hold.owners[1]);
    EXPECT_EQ(static_cast<DWORD>(-1), WorkerCode()) << "terminated";
    // It held nothing of the database.
    DatabaseTakesAWrite();
}
