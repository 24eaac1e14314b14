#include "app/stopwnd.h"

#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/handler_table.h"

#include <cstring>

namespace {

HandlerTable gStopHandlers;
bool gRegistered = false;
HICON gStopIcon = nullptr;   // the class icon, 32 x 32, also the button's
// The class background, which the window paints too: brush value 5.
const HBRUSH kBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));

}  // namespace

StopProcessWnd::~StopProcessWnd()
{
    if (hwnd)
        DestroyWindow(hwnd);
    FreeTitle();
}

bool StopProcessWnd::RegisterClass()
{
    if (gRegistered)
        return false;
    gStopIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_STOP_PROCESS), IMAGE_ICON, 32, 32, 0));
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &StopProcessWnd::OnCreate>(),
        OnMessage<WM_DESTROY, &StopProcessWnd::OnDestroy>(),
        OnMessage<WM_SIZE, &StopProcessWnd::OnSize>(),
        OnMessage<WM_PAINT, &StopProcessWnd::OnPaint>(),
        OnMessage<WM_FONTCHANGED_APP, &StopProcessWnd::OnSettingChange>(),
    };
    WindowClass cls{kClassName, CS_NOCLOSE, kBackground};
    cls.icon = gStopIcon;
    if (!RegisterTableClass(cls, gStopHandlers, handlers)) {
        gStopIcon = nullptr;   // destroyed with the class that was not made
        return false;
    }
    gRegistered = true;
    return true;
}

void StopProcessWnd::UnregisterClass()
{
    UnregisterClassOnce(gRegistered, kClassName, &gStopIcon);
}

LRESULT CALLBACK StopProcessWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<StopProcessWnd, gStopHandlers>(hwnd, message, wParam, lParam);
}

// The settings broadcast ends the window: it was made for one job only.
void StopProcessWnd::OnSettingChange(WPARAM)
{
    DestroyWindow(hwnd);
}

bool StopProcessWnd::Create(HANDLE event, const wchar_t* title, int length)
{
    if (hwnd)
        return false;
    FreeTitle();
    if (title) {
        if (length < 0)
            length = lstrlenW(title);
        title_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
        if (!title_)
            return false;
        memcpy(title_, title, length * sizeof(wchar_t));
        title_[length] = 0;
    }
    event_ = event;
    DWindowDesc desc = {this, &hwnd, WndProc, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT,
                        kClassName, nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU, 150, 100, 300, 200, nullptr,
                        nullptr, hInstance, nullptr};
    if (!CreateWindowFromDesc(&desc)) {
        FreeTitle();
        return false;
    }
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return true;
}

void StopProcessWnd::OnAbortClicked(void* cookie, DButton*)
{
    auto* self = static_cast<StopProcessWnd*>(cookie);
    if (self->event_)
        SetEvent(self->event_);
}

LRESULT StopProcessWnd::OnCreate(HWND window, LPARAM)
{
    static const DButtonNotify notify = {&StopProcessWnd::OnAbortClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
    wchar_t caption[256] = L"";
    LoadStringW(hInstance, IDS_ABORT_OPERATION, caption, 256);
    // The icon above the caption: beside it, the caption does not fit the
    // half of the window the button gets.
    DButtonDesc desc = {60,         window, DButtonStyle::kVisible,
                        0,          0,      10,
                        10,         this,   caption,
                        gStopIcon,  32,     32,
                        hInstance,  nullptr, &notify};
    return button_.Create(&desc) ? 0 : -1;
}

// The class icon stays until the class is unregistered: the next window of
// the class shows it again.
void StopProcessWnd::OnDestroy()
{
    button_.Destroy();
    FreeTitle();
}

void StopProcessWnd::OnSize(int width, int height, WPARAM)
{
    if (button_.GetHwnd())
        MoveWindow(button_.GetHwnd(), width / 4, height / 4, width / 2, height / 2, TRUE);
}

void StopProcessWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    ::GetClientRect(hwnd, &client);
    FillRect(dc, &client, kBackground);
    if (title_) {
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 0, 0, title_, lstrlenW(title_));
        SetBkMode(dc, oldMode);
    }
    EndPaint(hwnd, &ps);
}

void StopProcessWnd::FreeTitle()
{
    if (title_)
        HeapFree(GetProcessHeap(), 0, title_);
    title_ = nullptr;
}
