// ImportDbWnd: the merge window ("ImportDbWnd Class", "Обьединение баз
// данных"). The main window's "Merge databases" button runs it with
// RunImportDbWnd, which returns when it is closed. Its texts are the
// window's own Russian texts.
//
// States and what moves between them:
//   connecting / waiting for Start   the worker is started at creation
//       (Start on, Stop off, Eject without effect while a worker exists)
//     --Start (OnStart: the start command taken)--> merging (Start off, Stop on)
//     --the worker's end (OnThreadEnd)--> ended (Start on, Stop off, Eject
//       on, the result in the status pane); Start here starts a new worker
//       (settings and connection anew) and sends the start at once
//   Close (or the system menu) stops a running worker and waits for it.
//
// The worker reaches the window only through the link (importlink.h). The
// window learns of the worker's end from the link's message and, should
// that message be lost, from the worker's thread handle, which its loop
// waits on beside the messages. A worker is never terminated while it holds
// a transaction of the local database: closing waits for it.
#pragma once

#include "exchange/merge/importlayout.h"
#include "exchange/merge/importlink.h"
#include "foundation/threadchannel.h"
#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/widgets.h"

#include <string>

// Runs the merge window over the owner (which stays enabled) until it is
// closed; a WM_QUIT ends it and is posted again.
void RunImportDbWnd(HWND owner);

class ImportDbWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"ImportDbWnd Class";
    static constexpr const wchar_t* kTitle = L"Обьединение баз данных";
    static constexpr COLORREF kLineBackground = 0xD3D3D3;

    ImportDbWnd();
    ~ImportDbWnd() override;

    static bool RegisterClass(HINSTANCE instance);
    static void UnregisterClass(HINSTANCE instance);

    // Creates, places and shows the window and starts the worker; false when
    // the window exists already or cannot be made.
    bool Create(HWND owner, HINSTANCE instance);

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // The buttons' commands.
    void OnStart();
    void OnStop();
    void EjectDisk();
    void OnClose();
    // The worker's thread has ended: take what the link holds and end the run.
    void OnWorkerEnded();

    HANDLE Worker() const { return worker_; }
    bool IsRunning() const { return running_; }
    DButton& Button(int i) { return buttons_[i]; }
    const std::wstring& LineText(int i) const { return lines_[i].text; }
    std::wstring PaneText(int i) const;
    const ImportLayout& Layout() const { return layout_; }
    int FontHeight() const { return fontHeight_; }
    DWORD LastResult() const { return lastResult_; }

private:
    struct PanelLine {
        std::wstring text;
        RECT rect = {};
        COLORREF back = kLineBackground;
        COLORREF color = 0;
        bool sunken = true;
    };

    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kNotify[ImportLayout::kButtons];

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnProgress();
    void OnThreadEnd();

    bool SendCommand(DWORD command);
    bool SendStart();
    bool SendStop();
    void SetLine(int i, const std::wstring& text);
    void SetPane(int i, const std::wstring& text);
    void DrawLine(HDC dc, const PanelLine& line) const;
    void ResetChannel();

    CRITICAL_SECTION lock_;           // the link's lock
    bool lockReady_ = false;
    DThreadChannel channel_;
    ImportLink link_;
    HANDLE worker_ = nullptr;         // the worker's thread, null when none runs
    bool running_ = false;            // a start command was taken
    bool destroying_ = false;
    DWORD lastResult_ = 0;            // the exit code of the last worker
    DWORD merged_ = 0, skipped_ = 0;  // the worker's counts of images merged and not readable
    ScrollTextPanel panes_[ImportLayout::kPanes];
    std::wstring paneTexts_[ImportLayout::kPanes];   // what the panes show
    DrawnGroupFrame frames_[ImportLayout::kFrames];
    PanelLine lines_[ImportLayout::kLines];
    DButton buttons_[ImportLayout::kButtons];
    ImportLayout layout_ = {};
    int fontHeight_ = 0;
    HFONT font_ = nullptr;
};
