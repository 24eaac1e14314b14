// The synchronisation window as the program reaches it: the exchange side
// fills the shell's table, and the shell's command runs the window's own
// loop, owned by the main window, one window at a time, until it is closed
// or the program is told to quit.
#include "sync_wnd_fixture.h"

#include "app/exchangeservices.h"
#include "app/mainwnd_neighbours.h"
#include "foundation/globals.h"

namespace extest {
namespace {

using ProgramEntry = SyncWindowTest;

TEST_F(ProgramEntry, TheShellsCommandRunsTheWindowOwnedByTheMainWindowUntilItIsClosed)
{
    ASSERT_NE(nullptr, GetExchangeServices().runScanDbWindow);
    HWND seen = nullptr, seenOwner = nullptr;
    bool ownerEnabled = false, secondReturnedAtOnce = false;
    PromptScript prompts;
    DialogDriver driver;
    driver.Then(ScanDbWindow::kClassName, ScanDbWindow::kTitle, [&](HWND window) {
        seen = window;
        seenOwner = GetWindow(window, GW_OWNER);
        ownerEnabled = IsWindowEnabled(owner_) != FALSE;
        RunScanDbWindow(owner_);   // a second "Archiving" while it runs
        secondReturnedAtOnce = ScanDbWindow::Current() && ScanDbWindow::Current()->GetHwnd() == window;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return true;
    });
    RunScanDbWindow(owner_);
    EXPECT_TRUE(driver.Done());
    ASSERT_NE(nullptr, seen);
    EXPECT_EQ(owner_, seenOwner);
    EXPECT_TRUE(ownerEnabled);
    EXPECT_TRUE(secondReturnedAtOnce);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(nullptr, ScanDbWindow::Current());
    EXPECT_EQ(0u, prompts.Count());
    WNDCLASSEXW wc = {sizeof wc};
    EXPECT_FALSE(GetClassInfoExW(hInstance, ScanDbWindow::kClassName, &wc));
}

TEST_F(ProgramEntry, AQuitWhileTheWindowRunsEndsItAndReachesTheOuterLoop)
{
    DialogDriver driver;
    driver.Then(ScanDbWindow::kClassName, nullptr, [](HWND) {
        PostQuitMessage(7);
        return true;
    });
    EXPECT_EQ(1, ScanDbWindow::Run(owner_));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(nullptr, ScanDbWindow::Current());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
}


class ProgramEntryWithDisk : public ProgramEntry {
protected:
    SimulatedDrive drive;
    TempDir disk{L"tfprogA"};
};

TEST_F(ProgramEntryWithDisk, TheMainWindowClosedWhileAScanRunsEndsTheWorkerAndTheWindow)
{
    ASSERT_TRUE(drive.Leased());
    for (int i = 0; i < 210; ++i) {
        const std::wstring name = disk.Path() + L"D" + std::to_wstring(100000000 + i) + L".xmg";
        CloseHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ASSERT_TRUE(drive.Insert(disk.Path(), 0x51525354, "ARCH_D"));
    HANDLE worker = nullptr;
    DialogDriver driver;
    driver.Then(ScanDbWindow::kClassName, nullptr, [&](HWND) {
        ScanDbWindow* w = ScanDbWindow::Current();
        w->SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
        SendMessageW(w->ArchiveRadio(), BM_CLICK, 0, 0);
        workerHold.Arm(w->Progress(), SyncStep::ScanFileWritten, kScanPastFirstBatch);
        SendMessageW(w->Button(ScanDbWindow::kScan).GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(w->Button(ScanDbWindow::kScan).GetHwnd(), WM_KEYUP, VK_SPACE, 0);
        return w->IsBusy();
    });
    driver.Then(ScanDbWindow::kClassName, nullptr, [&](HWND window) {
        if (!workerHold.Held())
            return false;
        ScanDbWindow* w = ScanDbWindow::Current();
        DuplicateHandle(GetCurrentProcess(), w->Progress().ThreadHandle(), GetCurrentProcess(), &worker, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        DestroyWindow(owner_);   // the program's main window goes, and the windows it owns with it
        owner_ = nullptr;
        EXPECT_FALSE(IsWindow(window));
        return true;
    });
    PromptScript prompts;
    EXPECT_EQ(1, ScanDbWindow::Run(owner_));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(nullptr, ScanDbWindow::Current());
    ASSERT_NE(nullptr, worker);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 0)) << "the worker outlived its window";
    DWORD code = 0;
    GetExitCodeThread(worker, &code);
    EXPECT_EQ(kSyncResultStopped, code);   // stopped, not terminated
    CloseHandle(worker);
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
}

}  // namespace
}  // namespace extest
