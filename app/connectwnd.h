// The wait for the disk service before each pass of the main cycle opens the
// database, and the small "Connecting to server" window the user sees
// meanwhile.
//
// The disk service is an outside program listening on the pipe
// "<ServerName>\pipe\DiskSrv"; only whether the pipe is there is tested
// here, nothing is sent. A worker thread polls the pipe and posts the result
// (kPipeWaitMessage) to the connect window, which then destroys itself and
// so ends its loop:
//
//   waiting --pipe available--> thread posts 0 --> window destroyed --> result 1
//   waiting --Exit pressed----> stop event set, 2,500 ms timer -->
//           thread posts 1 (within a fifth of a second) or the timer fires
//           --> window destroyed --> result 0
//
// The thread never spins: when the pipe is missing WaitNamedPipeW fails at
// once, and the thread then waits on the stop event for a tenth of a second
// before it asks again.
#pragma once

#include "ui/button.h"
#include "ui/dwnd.h"
#include "ui/msg_shapes.h"

#include <windows.h>

// Posted by the pipe-wait thread with wParam = its result. Its handler takes
// nothing: void OnPipeWaitDone().
const UINT kPipeWaitMessage = 0x8067;
template <>
struct MsgCrack::PrivateShape<kPipeWaitMessage> : MsgCrack::ShapeIs<MsgCrack::A> {};
// Results of the pipe-wait thread.
const DWORD kPipeAvailable = 0;
const DWORD kPipeWaitCancelled = 1;
const DWORD kPipeWaitFailed = 0xFFFFFFFF;

// TRUE at once when ServerName is empty; otherwise waits (with the connect
// window shown) until the pipe is available (TRUE) or the user gives up or
// anything fails (FALSE, without a message).
BOOL WaitForArchiveServer();

// Starts the pipe-wait thread and returns once it has taken its arguments;
// null on failure.
HANDLE StartPipeWaitThread(HANDLE stopEvent, HWND window, UINT message);

// The thread's record, valid until the thread sets `started`.
struct PipeWaitStart {
    HANDLE started;     // set by the thread once it has copied the record
    HANDLE stopEvent;   // manual reset; set: give up
    HWND window;        // told the result, or null
    UINT message;       // the message posted to it
};
DWORD WINAPI PipeWaitThread(void* record);

// Builds "<ServerName>\pipe\DiskSrv"; false when it does not fit.
bool BuildDiskServicePipeName(wchar_t* name, int capacity);

// The connect window. The same window under the class "RunProgWnd Class"
// (RunProgWnd below) serves any long operation that the user may stop.
class ConnectWindow : public DWnd {
public:
    static constexpr const wchar_t* kClassName = L"Connect Window Class";
    static constexpr UINT_PTR kCloseTimerId = 1;
    static constexpr UINT kCloseDelay = 2500;   // ms the thread gets to answer a press of Exit

    ConnectWindow() = default;
    ~ConnectWindow();

    // Fails when the window exists. Shows the window, a quarter of the usable
    // screen in each direction, centred, and starts the animation.
    BOOL Create(HWND parent, HINSTANCE instance, const wchar_t* title, HANDLE stopEvent);
    // Runs the window's messages until it is gone. A WM_QUIT ends the wait
    // (RequestClose, then the window is destroyed) and is not passed on.
    void RunLoop();
    // The Exit button: the first press sets the stop event and starts the
    // close timer; a press after that, once no timer runs, destroys the window.
    void RequestClose();
    // Replaces the kept text (length -1: up to the terminator; null or empty:
    // none) and repaints; any thread may call it. A window that shows a text
    // (RunProgWnd) draws it in a band at the top of its client area.
    void SetText(const wchar_t* text, int length);

    static bool RegisterClass(HINSTANCE instance);   // row "Register RegisterDConnectWnd"
    static void UnregisterClass(HINSTANCE instance);

    DButton* GetExitButton() { return &exit_; }
    HWND GetAnimation() const { return animation_; }
    bool IsAnimationPlaying() const { return playing_; }
    bool IsCloseTimerRunning() const { return timerRunning_; }

    // Registers the window under a class name (icon 130, arrow cursor, window
    // colour); the handler table and the Exit button's icon are shared by
    // both classes.
    static bool RegisterWaitClass(HINSTANCE instance, const wchar_t* className);
    static void UnregisterWaitClass(HINSTANCE instance, const wchar_t* className);

    // The band above the animation in which the text is drawn (0: none).
    int TextBandHeight() const { return textBand_; }

protected:
    const wchar_t* className_ = kClassName;   // the class Create makes the window of
    bool showsText_ = false;                  // a text band sits above the animation

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void OnExitClicked(void* cookie, DButton* button);

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnPipeWaitDone();
    void OnTimer(WPARAM id, LPARAM proc);
    void StartAnimation();
    void StopAnimation();

    HWND animation_ = nullptr;        // "SysAnimate32" playing "connect.avi"
    DButton exit_;                    // "Exit"
    HANDLE stopEvent_ = nullptr;      // the caller's
    bool timerRunning_ = false;       // the close timer runs
    wchar_t* text_ = nullptr;         // kept text (heap)
    int textLength_ = 0;
    int textBand_ = 0;                // height of the text band, set at WM_CREATE
    bool playing_ = false;            // the animation plays
    bool lockReady_ = false;          // lock_ is initialised
    CRITICAL_SECTION lock_;           // guards the text and the paint
};

// RunProgWnd: the looping animation, one line of text and an Exit button that
// asks the operation to stop, for an operation that runs meanwhile (nothing
// in the program opens it; the connect wait does the same job). It is the
// connect window under its own class: Exit sets the creator's stop event and
// closes the window 2,500 ms later (at once when the event was set already),
// the pipe-wait result message closes it too, and a WM_QUIT in its loop sets
// the event and destroys it.
class RunProgWnd : public ConnectWindow {
public:
    static constexpr const wchar_t* kClassName = L"RunProgWnd Class";

    RunProgWnd()
    {
        className_ = kClassName;
        showsText_ = true;
    }
    // Runs the window's messages until it is gone.
    void MessageLoop() { RunLoop(); }
};

bool RegisterRunProgWnd(HINSTANCE instance);
void UnregisterRunProgWnd(HINSTANCE instance);
