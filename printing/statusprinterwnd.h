// StatusPrinterWnd: the printer status window ("Show printer status" of the
// service menu). A top-level window with a drop-down list of the local and
// connected printers, the selected printer's queue (document, author, status,
// time queued, pages, pages printed), and the buttons "Exit", "Delete" (the
// selected job) and "Delete All" (every job listed). One window object serves
// the whole program; ShowStatusPrinterWnd makes its window when there is none.
//
// The queue is kept current by a watcher thread (printing/spooler.h):
//   notified  on the spooler's change notifications it passes the notify
//             entries on; the window adds a job it does not list, updates the
//             fields named, and removes a job that is deleted or gone;
//   polling   when the spooler gives no notifications (Wine's does not) it
//             reads the queue every kPollInterval ms and passes the list on;
//             the window then brings its rows in line with it, keeping the
//             selected job selected.
// The watcher never touches the window: it puts what it found into a queue
// under the window's lock and posts one WM_PRINTERQUEUE while any is pending;
// the window thread takes everything out when the message arrives. So the
// window thread may wait for the watcher to end (StartWatch, WM_DESTROY)
// without any message being able to block it. Reports of an earlier watcher
// (before the printer changed) are recognised by their generation and dropped.
//
// "Delete All" deletes the jobs the list shows, one by one, and nothing the
// user has not seen; a queue whose job count falls to 0 only empties the list.
//
// Registry "PrinterStatusWin" below the settings key: "x", "y", "w", "h"
// (the window's rectangle) and "1" to "6" (the column widths), REG_DWORD.
// Loading stops at the first value that is missing; the rectangle is used
// only when all four are there, and brought onto the screen.
#pragma once

#include "printing/spooler.h"
#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

#include <string>
#include <vector>

// The window's private message: the watcher has reports waiting.
constexpr UINT WM_PRINTERQUEUE = WM_APP + 0x124;
template <>
struct MsgCrack::PrivateShape<WM_PRINTERQUEUE> : MsgCrack::ShapeIs<MsgCrack::A> {};

class StatusPrinterWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"Status Printer Window";
    static constexpr int kComboId = 54;     // the printers
    static constexpr int kRefreshId = 55;   // WM_COMMAND: read the queue again
    static constexpr int kColumns = 6;
    static constexpr DWORD kMaxJobs = 1000; // listed at one reading of the queue
    static constexpr DWORD kPollInterval = 1000;

    StatusPrinterWnd();
    ~StatusPrinterWnd() override;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // The initialization-table row "Register PrnStatusWnd"; unregistering
    // destroys the window first.
    static bool RegisterClass();
    static void UnregisterClass();

    // Creates the window when it has none: no owner, top-most, at (100, 100),
    // 500 x 300 or where it was last. Nothing when it exists.
    bool Show();

    // Stops the watcher and watches the named printer (none: an empty list).
    bool StartWatch(const wchar_t* printerName);
    // Lists the printer's queue again (at most kMaxJobs jobs).
    bool FillJobs();
    // Deletes the selected job; the system error box when the spooler refuses.
    void DeleteJob();
    // Deletes every job listed; the system error box for the first refusal.
    void PurgePrinter();
    // The printers into the drop-down list; the first is selected and watched.
    bool FillPrinters();
    void LoadPlacement();
    void SavePlacement();

    HWND List() const { return list_; }
    HWND Combo() const { return combo_; }
    DButton& ExitButton() { return buttons_[0]; }
    DButton& DeleteButton() { return buttons_[1]; }
    DButton& DeleteAllButton() { return buttons_[2]; }
    bool Watching() const { return watcher_ != nullptr; }
    bool Polling() const { return polling_; }
    // The job id of each row, in row order.
    std::vector<DWORD> RowJobs() const;
    std::wstring CellText(int row, int column) const;

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    struct Report;
    struct WatchStart;
    static DWORD WINAPI WatcherProc(void* param);

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);
    void OnPrinterQueue();

    void StopWatch();
    // Called by the watcher thread: queues the report, posts once.
    void Post(Report&& report);
    void ApplyNotices(const std::vector<SpoolNotice>& notices);
    void SyncJobs(const std::vector<SpoolJob>& jobs);
    int FindRow(DWORD jobId) const;
    int AppendJob(const SpoolJob& job);
    void SetRowTexts(int row, const SpoolJob& job);
    void SetCell(int row, int column, const std::wstring& text);

    HANDLE printer_ = nullptr;     // the selected printer, while one is watched
    HANDLE watcher_ = nullptr;     // the watcher thread
    HANDLE stopEvent_ = nullptr;   // tells the watcher to end
    HWND list_ = nullptr;          // SysListView32, report view
    HWND combo_ = nullptr;         // the printers
    DButton buttons_[3];           // "Exit", "Delete", "Delete All"
    bool polling_ = false;         // the current watcher polls
    CRITICAL_SECTION lock_;        // guards the three fields below
    std::vector<Report>* pending_ = nullptr;   // reports not yet taken
    bool posted_ = false;          // WM_PRINTERQUEUE is on its way
    unsigned generation_ = 0;      // of the current watcher
};

// The program's one window object.
StatusPrinterWnd& GetStatusPrinterWnd();
// "Show printer status": makes the window when it has none (the owner is
// not used: the window stands alone).
void ShowStatusPrinterWnd(HWND owner);
