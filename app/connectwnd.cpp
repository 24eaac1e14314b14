#include "app/connectwnd.h"

#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/handler_table.h"
#include "ui/window_errors.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

namespace {

HandlerTable gConnectHandlers;
bool gRegistered = false;          // "Connect Window Class"
bool gRunProgRegistered = false;   // "RunProgWnd Class"
HICON gButtonIcon = nullptr;   // icon 130 at IconSize for the Exit button

const wchar_t kPipeFormat[] = L"%ls\\pipe\\DiskSrv";
const wchar_t kAnimationFile[] = L"connect.avi";
const DWORD kPollWait = 200;     // ms WaitNamedPipeW may wait for a busy pipe
const DWORD kMissingPause = 100; // ms between tries while the pipe is missing

}  // namespace

// ---- the wait ---------------------------------------------------------------

bool BuildDiskServicePipeName(wchar_t* name, int capacity)
{
    int n = _snwprintf(name, capacity, kPipeFormat, ServerName);
    if (n < 0 || n >= capacity) {
        if (capacity > 0)
            name[0] = 0;
        return false;
    }
    return true;
}

DWORD WINAPI PipeWaitThread(void* record)
{
    const PipeWaitStart start = *static_cast<PipeWaitStart*>(record);
    SetEvent(start.started);   // the record may go now

    wchar_t pipe[kServerNameChars + 16];
    DWORD result = kPipeWaitFailed;
    if (BuildDiskServicePipeName(pipe, kServerNameChars + 16)) {
        for (;;) {
            DWORD wait = WaitForSingleObject(start.stopEvent, 0);
            if (wait == WAIT_OBJECT_0) {
                result = kPipeWaitCancelled;
                break;
            }
            if (wait != WAIT_TIMEOUT)
                break;   // kPipeWaitFailed
            if (WaitNamedPipeW(pipe, kPollWait)) {
                result = kPipeAvailable;
                break;
            }
            // A missing pipe fails at once: rest on the stop event, so Exit
            // is still answered at once.
            if (GetLastError() != ERROR_SEM_TIMEOUT) {
                wait = WaitForSingleObject(start.stopEvent, kMissingPause);
                if (wait == WAIT_OBJECT_0) {
                    result = kPipeWaitCancelled;
                    break;
                }
                if (wait != WAIT_TIMEOUT)
                    break;
            }
        }
    }
    if (start.message)
        PostMessageW(start.window, start.message, result, 0);
    return result;
}

HANDLE StartPipeWaitThread(HANDLE stopEvent, HWND window, UINT message)
{
    PipeWaitStart start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), stopEvent, window, message};
    if (!start.started)
        return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, PipeWaitThread, &start, 0, nullptr);
    if (thread && WaitForSingleObject(start.started, INFINITE) != WAIT_OBJECT_0) {
        TerminateThread(thread, kPipeWaitFailed);
        CloseHandle(thread);
        thread = nullptr;
    }
    CloseHandle(start.started);
    return thread;
}

BOOL WaitForArchiveServer()
{
    if (ServerName[0] == 0)
        return TRUE;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop)
        return FALSE;
    BOOL result = FALSE;
    ConnectWindow window;
    wchar_t title[257] = L"";
    LoadStringW(hInstance, IDS_CONNECTING_TO_SERVER, title, 257);
    if (window.Create(nullptr, hInstance, title, stop)) {
        if (HANDLE thread = StartPipeWaitThread(stop, window.GetHwnd(), kPipeWaitMessage)) {
            window.RunLoop();
            if (WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0)
                TerminateThread(thread, kPipeWaitFailed);
            DWORD code = kPipeWaitFailed;
            if (GetExitCodeThread(thread, &code) && code == kPipeAvailable)
                result = TRUE;
            CloseHandle(thread);
        }
    }
    window.Destroy();
    CloseHandle(stop);
    return result;
}

// ---- the window -------------------------------------------------------------

ConnectWindow::~ConnectWindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool ConnectWindow::RegisterClass(HINSTANCE instance)
{
    return RegisterWaitClass(instance, kClassName);
}

void ConnectWindow::UnregisterClass(HINSTANCE instance)
{
    UnregisterWaitClass(instance, kClassName);
}

bool RegisterRunProgWnd(HINSTANCE instance)
{
    return ConnectWindow::RegisterWaitClass(instance, RunProgWnd::kClassName);
}

void UnregisterRunProgWnd(HINSTANCE instance)
{
    ConnectWindow::UnregisterWaitClass(instance, RunProgWnd::kClassName);
}

bool ConnectWindow::RegisterWaitClass(HINSTANCE instance, const wchar_t* className)
{
    bool& registered = lstrcmpW(className, kClassName) == 0 ? gRegistered : gRunProgRegistered;
    if (registered)
        return false;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&controls);
    static const HandlerEntry handlers[] = {
        OnMessage<WM_PAINT, &ConnectWindow::OnPaint>(),
        OnMessage<WM_SIZE, &ConnectWindow::OnSize>(),
        OnMessage<WM_CREATE, &ConnectWindow::OnCreate>(),
        OnMessage<WM_DESTROY, &ConnectWindow::OnDestroy>(),
        OnMessage<WM_TIMER, &ConnectWindow::OnTimer>(),
        OnMessage<kPipeWaitMessage, &ConnectWindow::OnPipeWaitDone>(),
    };
    WindowClass cls{className, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))};
    cls.icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CONNECT), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    cls.smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CONNECT), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    cls.instance = instance;
    if (!RegisterTableClass(cls, gConnectHandlers, handlers))
        return false;
    if (!gButtonIcon)
        gButtonIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CONNECT), IMAGE_ICON, IconSize,
                                                    IconSize, 0));
    registered = true;
    return true;
}

void ConnectWindow::UnregisterWaitClass(HINSTANCE instance, const wchar_t* className)
{
    bool& registered = lstrcmpW(className, kClassName) == 0 ? gRegistered : gRunProgRegistered;
    if (!registered)
        return;
    UnregisterClassAndIcons(className, instance);
    registered = false;
    // The Exit button's icon goes with the last of the two classes.
    if (!gRegistered && !gRunProgRegistered && gButtonIcon) {
        DestroyIcon(gButtonIcon);
        gButtonIcon = nullptr;
    }
}

LRESULT CALLBACK ConnectWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<ConnectWindow, gConnectHandlers>(hwnd, message, wParam, lParam);
}

// The wait for the disk service is over, one way or the other: the window's job is done.
void ConnectWindow::OnPipeWaitDone()
{
    DestroyWindow(hwnd);
}

BOOL ConnectWindow::Create(HWND parent, HINSTANCE instance, const wchar_t* title, HANDLE stopEvent)
{
    if (hwnd)
        return FALSE;
    stopEvent_ = stopEvent;
    DWindowDesc desc = {this, &hwnd, WndProc, 0, className_, title, WS_POPUP | WS_CAPTION, 0, 0, 0, 0,
                        parent, nullptr, instance, nullptr};
    if (!CreateWindowFromDesc(&desc) || !hwnd)
        return FALSE;
    const int areaWidth = GetSystemMetrics(SM_CXFULLSCREEN);
    const int areaHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    const int width = areaWidth / 4, height = areaHeight / 4;
    MoveWindow(hwnd, (areaWidth - width) / 2, (areaHeight - height) / 2, width, height, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    StartAnimation();
    return TRUE;
}

void ConnectWindow::RunLoop()
{
    MSG msg;
    while (hwnd) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (!got) {
            // Someone wants the program to end: give up the wait.
            RequestClose();
            Destroy();
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageShowing(msg, hwnd);
    }
}

void ConnectWindow::RequestClose()
{
    if (!hwnd)
        return;
    if (stopEvent_ && WaitForSingleObject(stopEvent_, 0) != WAIT_OBJECT_0) {
        SetEvent(stopEvent_);
        timerRunning_ = SetTimer(hwnd, kCloseTimerId, kCloseDelay, nullptr) != 0;
    } else if (!timerRunning_) {
        DestroyWindow(hwnd);
    }
}

void ConnectWindow::SetText(const wchar_t* text, int length)
{
    if (!lockReady_)
        return;
    if (text && length < 0)
        length = lstrlenW(text);
    EnterCriticalSection(&lock_);
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    textLength_ = 0;
    if (text && (text_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t))))) {
        memcpy(text_, text, length * sizeof(wchar_t));
        text_[length] = 0;
        textLength_ = length;
    }
    LeaveCriticalSection(&lock_);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ConnectWindow::OnExitClicked(void* cookie, DButton*)
{
    static_cast<ConnectWindow*>(cookie)->RequestClose();
}

LRESULT ConnectWindow::OnCreate(HWND window, LPARAM)
{
    InitializeCriticalSection(&lock_);
    lockReady_ = true;
    static const DButtonNotify notify = {&ConnectWindow::OnExitClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
    wchar_t caption[256] = L"";
    LoadStringW(hInstance, IDS_EXIT, caption, 256);
    DButtonDesc desc = {60,          window,   DButtonStyle::kVisible | DButtonStyle::kIconThenCaption,
                        0,           0,        100,
                        IconSize + 8, this,    caption,
                        gButtonIcon, IconSize, IconSize,
                        hInstance,   nullptr,  &notify};
    if (!exit_.Create(&desc))
        return -1;
    animation_ = CreateWindowExW(0, ANIMATE_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | ACS_CENTER | ACS_TRANSPARENT, 0,
                                 0, 0, 0, window, nullptr, hInstance, nullptr);
    if (showsText_) {
        // One line of the text's font with a little room: the animation,
        // a child window, would cover a text drawn behind it.
        HDC dc = GetDC(window);
        const int saved = SaveDC(dc);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        RestoreDC(dc, saved);
        ReleaseDC(window, dc);
        textBand_ = metrics.tmHeight + 6;
    }
    return 0;
}

void ConnectWindow::StartAnimation()
{
    if (!animation_ || playing_)
        return;
    if (!SendMessageW(animation_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(kAnimationFile)))
        return;
    if (SendMessageW(animation_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF)))
        playing_ = true;
    else
        SendMessageW(animation_, ACM_OPENW, 0, 0);   // closes the clip
}

void ConnectWindow::StopAnimation()
{
    if (!animation_)
        return;
    if (playing_) {
        SendMessageW(animation_, ACM_STOP, 0, 0);
        SendMessageW(animation_, ACM_OPENW, 0, 0);
    }
    playing_ = false;
}

void ConnectWindow::OnDestroy()
{
    if (timerRunning_)
        KillTimer(hwnd, kCloseTimerId);
    timerRunning_ = false;
    StopAnimation();
    if (animation_)
        DestroyWindow(animation_);
    animation_ = nullptr;
    exit_.Destroy();
    if (lockReady_) {
        if (text_)
            HeapFree(GetProcessHeap(), 0, text_);
        text_ = nullptr;
        textLength_ = 0;
        DeleteCriticalSection(&lock_);
        lockReady_ = false;
    }
}

void ConnectWindow::OnSize(int width, int height, WPARAM)
{
    if (!exit_.GetHwnd())
        return;
    int buttonWidth = exit_.GetTextWidth() + exit_.GetMargin() + 10;
    if (buttonWidth < 100)
        buttonWidth = 100;
    int x;
    if (buttonWidth >= width) {
        buttonWidth = width;
        x = 0;
    } else {
        x = (width - buttonWidth) / 2;
    }
    const int buttonHeight = exit_.CalcHeight();
    if (height > buttonHeight) {
        MoveWindow(exit_.GetHwnd(), x, height - buttonHeight, buttonWidth, buttonHeight, TRUE);
        if (animation_) {
            const int band = textBand_ < height - buttonHeight - 1 ? textBand_ : height - buttonHeight - 1;
            MoveWindow(animation_, 0, band, width, height - buttonHeight - 1 - band, TRUE);
        }
    } else {
        MoveWindow(exit_.GetHwnd(), x, 0, buttonWidth, buttonHeight, TRUE);
        if (animation_)
            MoveWindow(animation_, 0, 0, 0, 0, TRUE);   // no room for it
    }
}

void ConnectWindow::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    ::GetClientRect(hwnd, &client);
    if (lockReady_)
        EnterCriticalSection(&lock_);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    if (text_ && textLength_ > 0 && textBand_ > 0) {
        const int saved = SaveDC(dc);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT line = {client.left + 4, client.top, client.right - 4, client.top + textBand_};
        DrawTextW(dc, text_, textLength_, &line,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        RestoreDC(dc, saved);
    }
    if (lockReady_)
        LeaveCriticalSection(&lock_);
    EndPaint(hwnd, &ps);
}

void ConnectWindow::OnTimer(WPARAM id, LPARAM)
{
    if (id != kCloseTimerId)
        return;
    KillTimer(hwnd, kCloseTimerId);
    timerRunning_ = false;
    DestroyWindow(hwnd);
}
