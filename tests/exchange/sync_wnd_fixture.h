// The synchronisation window's tests: the synchronisation's demo site
// (SyncDbTest) with the settings' "DataPath", the control classes
// registered, and the window opened as the program opens it (ScanDbWindow's
// Open, pumped by the test; Run itself in the tests of the service entry).
// Modal dialogs are driven from a timer (DialogDriver); buttons are pressed
// as the keyboard does (space down and up), only when they are enabled. The
// test holds the screen for its life, as every test whose windows take the
// foreground does.
#pragma once

#include "common/dialog_look.h"
#include "common/modal_driver.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "exchange/sync/syncwnd.h"
#include "sync_fixture.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace extest {

// Puts the thread in a language for a scope: the UI language and the thread
// locale, which Wine's resource loader follows.
using ScopedLanguage = harness::ThreadLanguage;

// Runs steps from a timer while a modal loop of this thread runs
// (common/modal_driver.h): each step waits for a visible window of this
// thread with the class (and, when given, the title), enabled or not, and is
// called with it until it returns true; 20 s at most for a step's window.
class DialogDriver : public harness::ModalDriver {
public:
    DialogDriver() : harness::ModalDriver(20000, false) {}
};

// The visible top-level window of this thread with the class (and title).
inline HWND FindThreadWindow(const wchar_t* className, const wchar_t* title = nullptr)
{
    return harness::FindThreadWindow(className, title, nullptr, false);
}
// The rows of a list view, their columns joined by "|".
std::vector<std::wstring> ListViewRows(HWND list);
// The header texts of a list view's columns.
std::vector<std::wstring> ListViewColumns(HWND list);

class SyncWindowTest : public SyncDbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the window (the test's owner window as its owner); fails the test
    // when it is not there.
    ScanDbWindow& OpenWindow();
    // Closes the window if it is open (as Run does at its end).
    void CloseWindow();
    ScanDbWindow& W() { return *window_; }

    // Presses the button as the space bar does; fails when it is disabled.
    ::testing::AssertionResult Push(ScanDbWindow::ButtonId button);
    bool Enabled(ScanDbWindow::ButtonId button);
    // Checks one of the two radio buttons.
    void Choose(bool archive);
    // Pumps until no procedure runs (bounded); true when none does.
    bool WaitIdle(DWORD timeoutMs = 60000);
    std::wstring Status() { return W().FieldText(ScanDbWindow::kStatus); }
    std::wstring Counts() { return W().FieldText(ScanDbWindow::kCounts); }
    // Sends a menu command to the window.
    void Command(UINT id);
    // Writes the settings value "DataPath".
    void SetDataPathValue(const std::wstring& path);

    HWND owner_ = nullptr;            // stands in for the main patient window
    ScanDbWindow* window_ = nullptr;
    WorkerHold workerHold;            // outlives the window and its worker

private:
    // The window takes the foreground when it opens: no other test's window
    // or real input meanwhile.
    std::unique_ptr<harness::ScreenLock> screenLock_;
};

}  // namespace extest
