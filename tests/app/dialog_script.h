// Drives modal dialogs from inside their own loops, as a user would, for the
// tests of the settings dialogs, plug-ins and the other shell dialogs.
//
// A DialogScript holds steps. A thread timer looks, every 20 ms, for the
// window the user would type into now: the visible and enabled dialog
// ("#32770") or text input window of this thread (a dialog that opened
// another one is disabled meanwhile). When that window has the step's marker
// control, the step is taken off the queue and run with the window. A step
// may open a nested dialog with a synchronous click: the timer goes on
// inside the nested loop and runs the next step there.
//
// Steps that are left when the script ends, or when the time-out passes
// (the open dialogs are then cancelled), fail the test: no run can hang on a
// dialog. The script holds the screen lock while it lives: its dialogs show
// on the display that the test processes share.
#pragma once

#include "common/dialog_look.h"
#include "common/window_harness.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

namespace dlgtest {

class DialogScript {
public:
    typedef std::function<void(HWND window)> Step;

    explicit DialogScript(DWORD timeoutMs = 8000);
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // A step for the dialog that has a control of the id (0: any dialog).
    DialogScript& Then(int markerId, Step step);
    // A step for the text input window.
    DialogScript& ThenInput(Step step);
    bool Done() const { return steps_.empty(); }
    size_t Left() const { return steps_.size(); }

    // Used by the timers.
    void Tick();
    void Expire();

private:
    struct Entry {
        int markerId;       // -1: the text input window
        Step step;
    };
    harness::ScreenLock lock_;
    std::deque<Entry> steps_;
    UINT_PTR timer_ = 0;
    UINT_PTR watchdog_ = 0;
    bool expired_ = false;
};

// The window the user would type into now, or null.
HWND ActiveModalWindow();

// ---- acting on a dialog --------------------------------------------------------

// Presses a button as a click does (WM_COMMAND with BN_CLICKED); synchronous.
void Click(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::wstring& text);
std::wstring Text(HWND dialog, int id);
std::wstring Title(HWND window);
// Selects a combo box item by its data; false when none has it.
bool SelectComboData(HWND dialog, int id, DWORD data);
// The item data of the selected combo box item, or -1.
LRESULT SelectedComboData(HWND dialog, int id);
// Selects a list box line as a click does (LB_SETCURSEL, then LBN_SELCHANGE).
void SelectListLine(HWND dialog, int id, int line);
std::wstring ListLine(HWND dialog, int id, int line);
int ListCount(HWND dialog, int id);
// The control that has the keyboard focus, by its id (0 when none of the dialog's).
int FocusedId(HWND dialog);
// Types a text into the text input window and presses Enter.
void TypeAndEnter(HWND input, const std::wstring& text);

// The language, picture and layout helpers (tests/common/dialog_look.h).
using harness::LayoutFault;
using harness::SaveWindowPicture;
using harness::TextInLanguage;
using harness::ThreadLanguage;

}  // namespace dlgtest
