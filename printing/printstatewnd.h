// DocPrintStateWnd: the small window that shows what happens while a report
// or a picture sheet is printed: a state line set by the printing code
// ("Preparation for print", "Print", "Waiting for printing to complete" or an
// error), the printer, and once the document is in the spooler the job's
// status, queue position, pages and a bar of the bytes printed. Its Cancel
// button (and closing the window) asks the printing code to stop and, while
// the printing code waits for the job, deletes the job from the spooler.
//
// Threads. The window runs in a user-interface thread of its own, so that it
// answers while the printing thread (the program's main thread) prints; a
// watcher thread follows the job through the spooler (printing/spooler.h).
//   - printing thread: Start, SetStateText, SetPrinterName, WatchPrinter,
//     IsAbortRequested, WaitForClose, WaitJob, Stop;
//   - window thread: its message loop, painting, CancelJob;
//   - watcher thread: writes the job values.
// Every text and job value is read and written under the window's critical
// section. A thread that changes a value invalidates that row of the window
// (InvalidateRect, which sends nothing), and the window thread repaints it:
// no thread ever sends a message to another, so none can wait on a thread
// that waits on it. The printing thread waits with WaitAnsweringSent.
//
// The window has no owner: an owner on the printing thread would tie the
// window's input to that busy thread. It stays above the other windows
// (WS_EX_TOPMOST) so that it is not lost behind the full-screen windows.
//
// Events (manual reset):
//   ready    (Start, WatchPrinter): set by the new thread once it is running.
//   abort    set by CancelJob; the printing code polls it (IsAbortRequested)
//            and waits on it after an error (WaitForClose). Lives as long as
//            the object. CancelJob sets it before it asks the spooler to
//            delete the job and before job-end: a wait for the job that a
//            Cancel ends always finds the abort set.
//   job-end  set by the watcher when the job has printed, was deleted or is
//            gone, by CancelJob while the printing code waits for the job,
//            and by the window when it stops the watcher; WaitJob waits on it.
//
// The watcher (jobwatcher.cpp) follows the job through change notifications;
// when the spooler gives none (Wine's does not) it polls the job instead,
// silently: no print ever shows a box because the spooler cannot notify.
//
// Life: not created -> Start -> window (state line only) -> WatchPrinter ->
// job rows shown -> job ended (job-end) -> Stop -> destroyed. After an error
// the printing code leaves the window open with the error in the state line
// (ShowFailure) until the user closes it (abort), then stops it. A failed
// window reads as one: the state band turns red, the "Printed" row reads
// "Not printed", the bar shows nothing printed, and pages the spooler never
// reported are not shown as "0/0".
#pragma once

#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

#include <string>

class DocPrintStateWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"Document PrintState Window";
    // How long WaitJob waits for the spooler by default: a job the spooler
    // still holds after it is left to the spooler.
    static constexpr DWORD kJobWaitTimeout = 5 * 60 * 1000;
    // How often the watcher asks the spooler for the job when the spooler
    // gives no change notifications.
    static constexpr DWORD kPollInterval = 250;

    DocPrintStateWnd();
    ~DocPrintStateWnd() override;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // The initialization-table row "Register RegisterPrnJobWnd".
    static bool RegisterClass();
    static void UnregisterClass();

    // Only when no window exists: starts the window thread, which creates the
    // window with the title (parent: see above; may be null) and shows it.
    // True when the window was created.
    bool Start(HWND parent, const wchar_t* title);
    // The state line: a string-table text or a text. False when there is no
    // window or the text is empty.
    bool SetStateText(UINT stringId);
    bool SetStateTextStr(const wchar_t* text);
    // The print failed: the text in the state line, and the window shows a
    // failure from now on. False when there is no window.
    bool ShowFailure(const wchar_t* text);
    // The printer row; only before the watcher runs.
    bool SetPrinterName(const wchar_t* name);
    // Opens the printer (by the name set) and starts watching the job. Only
    // when the window exists, no watcher runs and a printer name is set.
    bool WatchPrinter(DWORD jobId);
    // Whether the user asked to stop (no waiting).
    bool IsAbortRequested() const;
    // Waits for the user to close the window; true when closed.
    bool WaitForClose(DWORD timeout);
    // Waits for the job to end (printed, deleted, gone, or cancelled by the
    // user) or the time-out; true when it ended. Returns false at once when
    // no job is watched.
    bool WaitJob(DWORD timeout = kJobWaitTimeout);
    // The Cancel button and WM_CLOSE: while the printing code waits for the
    // job, deletes it from the spooler (asking about a failure), ends the
    // wait; then asks the printing code to stop.
    void CancelJob();
    // Destroys the window, ends its thread and waits for it; true when the
    // thread ended by itself.
    bool Stop();
    void ResetAbort();

    // What the window shows, read under its lock (for tests and painting).
    struct View {
        std::wstring state, printer, status;
        DWORD position, totalPages, pagesPrinted, totalBytes, bytesPrinted;
        bool watching;      // the job rows are shown
        bool polling;       // the watcher polls (the spooler gives no notifications)
        bool waiting;       // the printing code waits for the job
        DWORD jobId;
        bool failed;        // ShowFailure: the print failed
        std::wstring pages;     // what the pages row reads ("%u/%u"; empty after a failure the spooler told nothing of)
        std::wstring outcome;   // what the row above the bar reads: "Printed" or "Not printed"
    };
    View Read() const;
    HANDLE ThreadHandle() const { return uiThread_; }
    // The row labels: "Printer:", "Task status:", "Task position:", "Pages:", "Printed".
    const std::wstring& Label(int i) const { return labels_[i]; }
    DButton& CancelButton() { return cancel_; }
    // The rectangles of the state band, of detail row i (0 printer, 1 status,
    // 2 position, 3 pages, 4 "Printed", 5 the bar) and of the bar's inside.
    RECT StateBand() const;
    RECT DetailRow(int row) const;
    RECT BarInside() const;

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    friend struct JobWatcher;

    struct StartParams;
    static DWORD WINAPI UiThreadProc(void* param);
    bool CreateOnThisThread(HWND parent, const wchar_t* title);

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);

    void Paint(HDC dc);
    void Invalidate(const RECT& rect);
    void StopWatcher();
    // Called by the watcher: under the lock, then the row is invalidated.
    void SetStatusText(const std::wstring& text);
    void SetJobValue(DWORD DocPrintStateWnd::*field, DWORD value, int row);

    HANDLE uiThread_ = nullptr;
    HANDLE watcherThread_ = nullptr;
    HANDLE abortEvent_ = nullptr;
    HANDLE jobEndEvent_ = nullptr;
    HANDLE printer_ = nullptr;         // the spooler's handle while watching
    mutable CRITICAL_SECTION lock_;    // guards everything below up to the labels
    std::wstring state_;
    std::wstring printerName_;
    std::wstring status_;
    DWORD position_ = 0, totalPages_ = 0, pagesPrinted_ = 0, totalBytes_ = 0, bytesPrinted_ = 0;
    bool watching_ = false;            // a watcher runs (or ran) for the job
    bool polling_ = false;
    bool waiting_ = false;             // WaitJob waits
    DWORD jobId_ = 0;
    bool failed_ = false;              // ShowFailure
    std::wstring labels_[5];           // "Printer:", "Task status:", "Task position:", "Pages:", "Printed"
    std::wstring notPrinted_;          // "Not printed", in place of "Printed" after a failure
    DButton cancel_;
    HFONT font_ = nullptr;             // the forms font
    int clientWidth_ = 0, clientHeight_ = 0;
    int detailTop_ = 0;                // 4 row heights
    int rowHeight_ = 16;               // text height of the font
    int labelWidth_ = 0;               // client width / 3
    int buttonHeight_ = 0;
};
