// ArjWindow ("ArjWindow Class"): the operator's console for archiving.
//
// It shows what the archive and format workers do, the free space of the
// hard disk and of the removable (MO) disk counted in images, the images
// marked for deletion, copied and not yet archived, the disk and the date of
// the last database copy, and two text boxes: the cause of a fault and what
// to do about it. Its menu and keys start the jobs; its worker reports
// through the WorkerLink. The class is registered at start-up by the
// initialization table; no command of the program opens the window.
//
// Job state (guarded by `lock_`): the flag bits
//   0x1 archive, 0x2 free space, 0x4 delete marked, 0x8 back up the database,
//   0x800 format, 0x1000 register (a job runs while any of 0x180F is set);
//   0x10 set with 0x1 by the application command 16; 0x20 the average image
//   size changed (written back at close); 0x40 a remove-disk error is shown;
//   0x80 a worker waits for Continue or Stop; 0x200 set at creation;
// and the state word: 0 the running job ends complete, 1 it ends
// interrupted by the program.
//
//   Idle -> StartArchiving / FormatDisk -> Running (timer on, menu grey,
//   Start and Remove Disk disabled, Stop enabled) -> the worker asks (0x10)
//   -> Waiting (0x80, Start reads " Continue", Remove Disk enabled) ->
//   Resume -> Running, or Stop -> the worker ends (0x8) -> ShowJobResult,
//   AfterJob -> Idle. One job at a time.
//
// Files: arjwindow.cpp (creation, layout, painting, status lines, the
// worker's reports), arjwindow_jobs.cpp (commands, keys, jobs, deletions by
// date and of imported images, the remove-disk request).
#pragma once

#include "archive/arjlayout.h"
#include "archive/workerlink.h"
#include "database/dbsession.h"
#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/gdi.h"
#include "ui/widgets.h"

#include <windows.h>

#include <string>

// Window messages the archive window takes besides the worker's reports.
const UINT WM_ARJ_PROGRESS_ANSWER = WM_APP + 108;   // 0x806C: a copy-progress answer record is ready
const UINT WM_ARJ_CONTINUE = WM_APP + 1000;        // 0x83E8: redraw a line and let the worker go on
template <>
struct MsgCrack::PrivateShape<WM_ARJ_PROGRESS_ANSWER> : MsgCrack::ShapeIs<MsgCrack::C> {};
template <>
struct MsgCrack::PrivateShape<WM_ARJ_CONTINUE> : MsgCrack::ShapeIs<MsgCrack::C> {};

// Menu commands (menu resource IDM_ARCHIVE).
enum ArjCommand : UINT {
    kCmdSettings = 3,            // "Database archiving settings" (administrators)
    kCmdArchive = 40001,
    kCmdFreeSpace = 40002,
    kCmdDeleteMarked = 40003,
    kCmdFormat = 40004,
    kCmdDeleteBefore = 40005,
    kCmdEject = 40006,
    kCmdRegister = 40008,
    kCmdFormatRegister = 40009,
    kCmdProperties = 40010,
    kCmdDeleteImported = 40011,
    kCmdBackup = 40013,
    kCmdPrepareDisk = 40014,
};

// Job bits of the window.
enum ArjWindowBit : DWORD {
    kBitAppCommand = 0x10,
    kBitAverageChanged = 0x20,
    kBitRemoveError = 0x40,
    kBitWaiting = 0x80,
    kBitCreated = 0x200,
    kJobMask = 0x180F,
};

// Status colours.
const COLORREF kStatusRunning = 0xB9B973;
const COLORREF kStatusWaiting = 0x8DD6F1;
const COLORREF kStatusTerminated = 0x0000FF;
const COLORREF kLineGrey = 0xD3D3D3;

// Reasons of an end text.
enum ArjJobEnd { kEndComplete = 0, kEndByProgram = 1, kEndByUser = 2 };

class ArjWindow : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"ArjWindow Class";
    static constexpr UINT_PTR kBlinkTimer = 1;
    static constexpr UINT kBlinkMs = 500;
    static constexpr int kNameChars = 512;

    ArjWindow();
    ~ArjWindow() override;

    static bool RegisterClass();
    static void UnregisterClass();
    // Creates the window (owned by `owner`), shows and updates it; false
    // after the message 423 when it cannot be made.
    bool Create(HWND owner);
    DMessageMap* GetMessageMap() override { return &messageMap; }

    // --- commands, keys and jobs (arjwindow_jobs.cpp) ---
    // 1 when a job was started or a waiting worker resumed.
    int StartArchiving(UINT statusText, DWORD flags);
    // Starts the format job of the format bits already set; 1 when started.
    int FormatDisk();
    void Resume();
    void StopJob();
    void AfterJob();
    void ShowJobResult(int reason);
    void UpdateMenuState(bool enable);
    void DeleteImagesBefore();
    // Records the images of before the date in DelImage and deletes their
    // rows, in the session's transaction; throws DODBErrors.
    void MarkImagesBefore(const DODBPtr<DODBSession>& session, const FILETIME& date);
    void DeleteImportedPictures();
    void EjectViaDiskSrv();
    void OnAppCommand(int code);
    void StopWorkerQuick();
    void CloseWindow();
    // A key of the window or of one of its buttons; true when it acted.
    bool OnKey(WPARAM key);
    void OnCommandId(UINT id);

    // --- what the window shows ---
    std::wstring LineText(int line);
    const std::wstring& StatusText() const { return statusText_; }
    const std::wstring& FaultText() const { return faultText_; }      // "Possible fault reason"
    const std::wstring& ActionText() const { return actionText_; }    // "Troubleshooting"
    const std::wstring& HelpText() const { return helpText_; }        // the status bar
    DWORD JobBits() const { return jobBits_; }
    LONG JobState() const { return jobState_; }
    COLORREF StatusColour() const { return statusColour_; }
    bool TimerRunning() const { return timerOn_; }
    LONG MarkedCount() const { return markedCount_; }
    LONG NotArchivedCount() const { return notArchivedCount_; }
    LONG CopiedCount() const { return copiedCount_; }
    DWORD AverageImageSize() const { return averageImageSize_; }
    ULONGLONG HardDiskFreeMb() const { return hardDiskFreeMb_; }
    ULONGLONG RemovableFreeMb() const { return removableFreeMb_; }
    const ArjMetrics& Metrics() const { return metrics_; }
    const ArjLayout& Layout() const { return layout_; }
    DButton& Button(int index) { return buttons_[index]; }
    WorkerLink& Link() { return link_; }
    HWND StatusBar() const { return statusBar_; }
    DrawnProgressBar& ProgressBar() { return progressBar_; }

    // Mouse-over help at a client point.
    void OnMouseMove(int x, int y, WPARAM keys);

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kButtonNotify;
    static const DButtonInput kButtonInput;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();
    void OnTimer(WPARAM id, LPARAM);
    void OnKeyDown(WPARAM key, LPARAM data);
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);
    void OnWorkerUpdate();
    void OnProgressAnswer(WPARAM, LPARAM);
    void OnContinueRequest(WPARAM wParam, LPARAM lParam);

    void CountImages();
    void MakeFonts();
    bool MakeButtons();
    void ShowLastDbDate();
    void MeasureHardDisk();
    void MeasureRemovable();
    void DrawLine(HDC dc, int line);
    void DrawStatusLine(HDC dc);
    void RedrawLine(int line);
    void RedrawStatus();
    void SetStatusText(const wchar_t* text);
    void SetStatusTextId(UINT id);
    void SetStatusColour(COLORREF colour);
    void StartTimer();
    void KillTimer();
    void SetFault(const wchar_t* text);
    void SetAction(const wchar_t* text);
    void ClearBoxes();
    void SetHelp(const std::wstring& text);
    void EnableButton(int index, bool enable);
    void SetButtonCaption(int index, UINT id);
    bool MenuItemEnabled(UINT id) const;
    void StartFormatCommand(DWORD mode);
    LONG CountMarked(const DODBPtr<DODBSession>& session);
    // Runs a whole deletion (by date or of imported images) in a transaction
    // of a new session; false after showing the database error.
    template <class Body>
    bool RunMarking(Body&& body);

    static void OnButtonClicked(void* cookie, DButton* button);
    static void OnButtonMouseMove(void* cookie, DButton* button, WPARAM keys, int x, int y);
    static void OnButtonKeyDown(void* cookie, DButton* button, WPARAM key, LPARAM data);

    CRITICAL_SECTION lock_;                // the job state and everything the link writes
    bool lockReady_ = false;
    DrawnProgressBar progressBar_;
    HWND statusBar_ = nullptr;
    ScrollTextPanel faultPanel_;           // "Possible fault reason"
    ScrollTextPanel actionPanel_;          // "Troubleshooting"
    DrawnGroupFrame faultFrame_, actionFrame_, statusFrame_, copyFrame_, infoFrame_;
    DGdiObject<HFONT> lineFont_, statusFont_, frameFont_;
    DButton buttons_[kArjButtons];
    DWORD jobBits_ = 0;                    // ArjWindowBit and the job bits
    LONG jobState_ = 0;                    // 0 ends complete, 1 ends interrupted by program
    LONG markedCount_ = -1;                // -1: not known
    LONG notArchivedCount_ = -1;
    LONG copiedCount_ = 0;
    DWORD averageImageSize_ = 2000000;     // bytes
    ULONGLONG recommendedFreeMb_ = 0;      // "SpaceMin"
    ULONGLONG hardDiskFreeMb_ = 0;
    ULONGLONG removableFreeMb_ = 0;
    bool hardDiskMeasured_ = false;
    bool removableMeasured_ = false;
    std::wstring removableLabel_;
    std::wstring statusText_;
    std::wstring readyText_, copiedText_, notArchivedText_;
    std::wstring lastDbDate_, lastDbDisk_;
    std::wstring faultText_, actionText_, helpText_;
    std::wstring dataFolder_, imageFolder_, iconFolder_, archivePath_;
    wchar_t removableLetter_ = 0;
    COLORREF statusColour_ = kStatusRunning;
    bool blinkOn_ = false;
    bool timerOn_ = false;
    ArjMetrics metrics_ = {};
    ArjLayout layout_ = {};
    WorkerLink link_;
    WorkerParams params_;
    wchar_t diskName_[kNameChars] = {};
    // The copy-progress answer record of WM_ARJ_PROGRESS_ANSWER.
    struct ProgressAnswer {
        CRITICAL_SECTION lock;
        LONG state;
        LONGLONG total;
        LONGLONG position;
    } answer_ = {};
};
