// The synchronisation window as the program reaches it: the exchange side
// fills the shell's table, and the shell's command runs the window's own
// loop, owned by the main window, one window at a time, until it is closed
// or the program is told to quit.
#include "sync_wnd_fixture.h"

#include "app/exchangeservices.h"
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

}  // namespace
}  // namespace extest
