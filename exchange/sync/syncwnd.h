// ScanDbWindow: the synchronisation window ("Синхронизация БД", class
// "WinScanDB").
//
// From it the staff scan the hard-disk image folder and the archive (MO)
// disks into the auxiliary tables, derive the tables of files that no row
// accounts for ("Создать ТС"), and synchronise Patient, Snimok and Arj with
// what was found ("Синхр. БД"). The window scans nothing itself: each of the
// three procedures is one start of the worker (SynchrThread) through the
// progress channel (SyncProgress), whose reports it shows: texts in the
// message pane (ErrMsgWin) and the status line, the counts of unsynchronised
// and suspect files, the last archive disk scanned. For archive disks it
// drives the disk waiter, which has the scanned disk ejected by the disk
// service and announces the next one. Its texts are its own Russian ones.
//
// The main patient window opens it with ScanDbWindow::Run (its "Archiving"
// button, through the shell's exchange table); Run holds a modal loop of its
// own while the main window stays enabled. One window at a time: Run returns
// at once while one is open.
//
// States (command bits, SyncCommand; busy while any is set):
//   idle  --"Сканировать" / "Синхр. БД"-->  busy (StartProcedure: one bit, the worker started)
//   busy  --the worker's "finished" report-->  idle (EndProcedure: result, status, buttons)
//   busy  --"Закрыть" / "Отмена" / WM_CLOSE-->  stopping (PostStop; the worker ends at its
//          next poll and reports "finished" -> idle). The window's thread never
//          waits for the worker meanwhile: the worker may be waiting for a
//          prompt this window owns.
// The archive loop: a disk scan that ends well with a disk request arms the
// disk waiter (the disk is ejected, the next awaited); its WM_DISK_PRESENT
// starts the next disk's scan while "Отмена" is enabled. "Отмена", or a disk
// scan that fails or is stopped, leaves the loop.
//
// Stopping never blocks the window's thread for long: a stop is posted, and
// where the worker's end must be awaited (the end of a procedure, the
// window's own end) the channel waits with the windows painted, asks the
// user every 5 seconds, and terminates a worker only while it waits for the
// user, never while it holds the database (SyncProgress).
//
// The menu commands that change the tables (the suspect move and dropping
// the auxiliary tables) are greyed while the worker runs, as the buttons are.
#pragma once

#include "exchange/disks/diskwaiter.h"
#include "exchange/sync/errmsgwin.h"
#include "exchange/sync/synchrthread.h"
#include "exchange/sync/synclayout.h"
#include "exchange/sync/syncprogress.h"
#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/std_controls.h"

#include <string>

// The worker's and the disk waiter's messages take the shapes of the
// handlers below: a report carries nothing in its arguments, the disk waiter
// its two parameters.
template <>
struct MsgCrack::PrivateShape<WM_SYNC_PROGRESS> : MsgCrack::ShapeIs<MsgCrack::A> {};
template <>
struct MsgCrack::PrivateShape<WM_DISK_PRESENT> : MsgCrack::ShapeIs<MsgCrack::C> {};

class ScanDbWindow : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"WinScanDB";
    static constexpr const wchar_t* kTitle = L"Синхронизация БД";

    // The buttons, in creation order.
    enum ButtonId {
        kBrowseDatabase,   // "Указать" beside the database path (no action)
        kBrowseArchive,    // "Указать" beside the archive location
        kClose,            // "Закрыть" ("Остановить" while a procedure runs)
        kScan,             // "Сканировать" ("Продолжить" during the archive loop)
        kCancel,           // "Отмена": leaves the archive loop
        kCreateTables,     // "Создать ТС"
        kSynchronise,      // "Синхр. БД"
        kContinue,         // "Продолжить" (no action)
        kEject,            // "Извлечь диск"
        kButtonCount
    };
    // The read-only fields and the archive location.
    enum FieldId { kDatabasePath, kArchivePath, kCounts, kLastDisk, kStatus, kFieldCount };

    // Opens the window owned by `parent` and runs it until it is closed.
    // 1 when it ran (or one is open already), 0 when it could not be created.
    static int Run(HWND parent);

    // The parts of Run, for tests that drive the window from their own loop:
    // Open registers the classes and creates and shows the window (null when
    // one is open already or it cannot be created); Close destroys it and
    // unregisters the classes.
    static ScanDbWindow* Open(HWND parent);
    static void Close(ScanDbWindow* window);
    // The window that is open, or null.
    static ScanDbWindow* Current();

    ScanDbWindow();
    ~ScanDbWindow() override;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // --- commands (the buttons and the menu reach these) ---
    void Scan();
    void CancelArchiveLoop();
    void SynchroniseDatabase();
    void CreateTables();
    void DropTables();        // after the question
    void EjectArchiveDisk();
    void ChooseArchivePath();
    void CloseRequest();

    // --- state, for the owner and tests ---
    DWORD CommandBits() const { return flags_.commands; }
    bool IsBusy() const { return (flags_.commands & kSyncBusyMask) != 0; }
    bool IsArmed() const { return armed_; }
    UINT Unsynchronised() const { return unsynchronised_; }
    UINT Suspect() const { return suspect_; }
    std::wstring FieldText(FieldId field) const;
    void SetFieldText(FieldId field, const wchar_t* text);
    DButton& Button(ButtonId button) { return buttons_[button]; }
    std::wstring ButtonText(ButtonId button) const;
    HWND HddRadio() const { return hddRadio_.GetHwnd(); }
    HWND ArchiveRadio() const { return archiveRadio_.GetHwnd(); }
    ErrMsgWin& Pane() { return pane_; }
    DiskWaiter& Waiter() { return waiter_; }
    SyncProgress& Progress() { return progress_; }
    HMENU CommandsMenu() const { return commandsMenu_; }
    const SyncLayout& Layout() const { return layout_; }

private:
    // What the worker's start depends on and leaves behind.
    struct SyncCommandFlags {
        DWORD result;     // the worker's exit code (guarded by the lock)
        DWORD commands;   // SyncCommand bits
    };
    // What one report carried, copied out under the lock.
    struct Report;

    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kButtonNotify;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnSize(int width, int height, WPARAM type);
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);
    void OnClose();
    void OnDestroy();
    void OnSetFocus(WPARAM previous);
    LRESULT OnCtlColorStatic(WPARAM dc, LPARAM control);
    void OnProgress();
    void OnDiskPresent(WPARAM wParam, LPARAM lParam);

    bool CreateControls();
    void BuildMenus();
    void ShowCounts();
    void ShowCountsField();
    void ReadLastScanDisk();
    void OnButton(ButtonId button);

    // The procedures (command bit 1, 2 or 4).
    bool StartProcedure(DWORD command);
    void EndProcedure();
    void LeaveArchiveLoop();
    void RestoreIdleButtons();
    // Asks the running worker to stop without waiting for it.
    void StopWorker();
    // At the window's end: the worker stopped and waited for.
    void StopWorkerForGood();
    void SetBusyMenu(bool busy);
    void SetStatus(const wchar_t* text);
    void EnableButton(ButtonId button, bool enable);
    void SetButtonText(ButtonId button, const wchar_t* text);

    ErrMsgWin pane_;
    DEdit fields_[kFieldCount];
    StaticCtl labels_[4];
    ButtonCtl group_, hddRadio_, archiveRadio_;
    DButton buttons_[kButtonCount];
    HFONT labelFont_ = nullptr;      // the forms font, nine tenths as high
    HFONT fieldFont_ = nullptr;      // the same for the fields
    HFONT largeFont_ = nullptr;      // one and a half times that, for the buttons
    HMENU menuBar_ = nullptr;
    HMENU commandsMenu_ = nullptr;
    SyncLayoutMetrics metrics_;
    SyncLayout layout_ = {};
    HWND focusTarget_ = nullptr;     // the database-path field
    SyncCommandFlags flags_ = {0, 0};
    SyncProgress progress_;
    DiskWaiter waiter_;
    UINT unsynchronised_ = 0;        // Snimok_dif rows with nodel = 0
    UINT suspect_ = 0;               // rows with nodel <> 0
    bool armed_ = false;             // the worker asked for the next archive disk
    bool stopping_ = false;          // a stop was asked for and the worker has not ended yet
    bool lockMade_ = false;
    CRITICAL_SECTION lock_;          // lent to the channel; guards the result slot
    SyncStartRecord start_;          // the worker's start record (it copies what it needs)
    std::wstring dataPath_;          // "DataPath" with a backslash at its end
};
