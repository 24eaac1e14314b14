// The synchronisation window's tests: the synchronisation's demo site
// (SyncDbTest) with the settings' "DataPath", the control classes
// registered, and the window opened as the program opens it (ScanDbWindow's
// Open, pumped by the test; Run itself in the tests of the service entry).
// Modal dialogs are driven from a timer (DialogDriver); buttons are pressed
// as the keyboard does (space down and up), only when they are enabled. The
// test holds the screen for its life, as every test whose windows take the
// foreground does.
#pragma once

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
class ScopedLanguage {
public:
    explicit ScopedLanguage(LANGID lang);
    ~ScopedLanguage();

private:
    LANGID ui_;
    LCID locale_;
};

// Runs steps from a timer while a modal loop of this thread runs: each step
// waits for a visible window of this thread with the class (and, when given,
// the title), and is called with it until it returns true.
class DialogDriver {
public:
    typedef std::function<bool(HWND)> Step;
    DialogDriver();
    ~DialogDriver();
    void Then(const wchar_t* className, const wchar_t* title, Step step);
    bool Done() const { return next_ == steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    struct Pending {
        std::wstring className;
        std::wstring title;
        Step step;
    };
    std::vector<Pending> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
};

// The visible top-level window of this thread with the class (and title).
HWND FindThreadWindow(const wchar_t* className, const wchar_t* title = nullptr);
// The rows of a list view, their columns joined by "|".
std::vector<std::wstring> ListViewRows(HWND list);
// The header texts of a list view's columns.
std::vector<std::wstring> ListViewColumns(HWND list);
// Saves a picture of the window as a BMP in $TF_SHOT_DIR (nothing without it).
void SaveShot(HWND window, const wchar_t* name);

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

private:
    // The window takes the foreground when it opens: no other test's window
    // or real input meanwhile.
    std::unique_ptr<harness::ScreenLock> screenLock_;
};

}  // namespace extest
