#include "app/inputtext.h"

#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/handler_table.h"
#include "ui/window_errors.h"

namespace {

HandlerTable gInputHandlers;
bool gRegistered = false;
HICON gAcceptIcon = nullptr;      // icon 198 at IconSize, for every input window's button
WNDPROC gEditProc = nullptr;      // the EDIT class's own procedure
const DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
const DWORD kEditExStyle = WS_EX_STATICEDGE;
const DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// A text argument as the window takes it: an id's string (nothing when it is
// empty) or the text itself; null for none.
const wchar_t* Resolve(IdOrText value, wchar_t* scratch, int size)
{
    if (value.IsNone())
        return nullptr;
    if (!value.IsId())
        return value.Text();
    return LoadStringW(hInstance, value.Id(), scratch, size) > 0 ? scratch : nullptr;
}

}  // namespace

// ---- the modal input --------------------------------------------------------

int InputText(HWND owner, wchar_t* buffer, int capacity, IdOrText title, BOOL prefill)
{
    return InputTextAt(owner, buffer, capacity, title, prefill, GetSystemMetrics(SM_CXFULLSCREEN) / 2,
                       GetSystemMetrics(SM_CYFULLSCREEN) / 2, InputAlign::kCentreX | InputAlign::kCentreY);
}

int InputTextAt(HWND owner, wchar_t* buffer, int capacity, IdOrText title, BOOL prefill, int x, int y,
                int alignment)
{
    int result = -1;
    if (!buffer || capacity < 1)
        return -1;
    InpTextWnd window;
    if (!window.Create(owner, buffer, capacity, &result, prefill ? IdOrText(buffer) : IdOrText(0), title, x, y,
                       alignment))
        return -1;
    MSG msg;
    while (window.GetHwnd()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (!got) {
            // The program is ending: give up the input, and let the caller's
            // loop see the same request.
            window.Destroy();
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageShowing(msg, window.GetHwnd());
    }
    return result;
}

// ---- the window -------------------------------------------------------------

InpTextWnd::~InpTextWnd()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool InpTextWnd::RegisterClass()
{
    if (gRegistered)
        return false;
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &InpTextWnd::OnCreate>(),     OnMessage<WM_DESTROY, &InpTextWnd::OnDestroy>(),
        OnMessage<WM_SIZE, &InpTextWnd::OnSize>(),         OnMessage<WM_PAINT, &InpTextWnd::OnPaint>(),
        OnMessage<WM_SETFOCUS, &InpTextWnd::OnSetFocus>(), OnMessage<WM_COMMAND, &InpTextWnd::OnCommand>(),
    };
    if (!RegisterTableClass({kClassName, CS_OWNDC, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))},
                            gInputHandlers, handlers))
        return false;
    gAcceptIcon = LoadIconRes(IDI_INPUT_ACCEPT);
    gRegistered = true;
    return true;
}

void InpTextWnd::UnregisterClass()
{
    UnregisterClassOnce(gRegistered, kClassName, &gAcceptIcon);
}

LRESULT CALLBACK InpTextWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<InpTextWnd, gInputHandlers>(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK InpTextWnd::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    InpTextWnd* self = WindowObject<InpTextWnd>(GetParent(edit));
    if (self && message == WM_KEYDOWN && self->OnKey(wParam))
        return 0;
    // The characters of Enter and Escape would only beep.
    if (message == WM_CHAR && (wParam == L'\r' || wParam == 0x1B))
        return 0;
    return CallWindowProcW(gEditProc, edit, message, wParam, lParam);
}

BOOL InpTextWnd::Create(HWND owner, wchar_t* buffer, int capacity, int* result, IdOrText initial, IdOrText title,
                        int x, int y, int alignment)
{
    if (hwnd || !result || !buffer || capacity < 1)
        return FALSE;
    buffer_ = buffer;
    capacity_ = capacity;
    result_ = result;
    DWindowDesc desc = {this, &hwnd, WndProc, 0, kClassName, nullptr, kWindowStyle, 0, 0, 0, 0, owner, nullptr,
                        hInstance, nullptr};
    if (!CreateWindowFromDesc(&desc) || !hwnd)
        return FALSE;

    wchar_t scratch[256];
    if (const wchar_t* text = Resolve(title, scratch, 256))
        SetWindowTextW(hwnd, text);
    if (initial.IsId()) {
        if (const wchar_t* text = Resolve(initial, scratch, 256))
            SetWindowTextW(hwnd, text);
    } else if (initial.Text()) {
        SetWindowTextW(edit_, initial.Text());
        SendMessageW(edit_, EM_SETSEL, 0, -1);
    }

    const int h = windowHeight_;
    switch (alignment & InputAlign::kHorizontalMask) {
    case InputAlign::kRight: x -= kWidth; break;
    case InputAlign::kCentreX: x -= kWidth / 2; break;
    default: break;
    }
    switch (alignment & InputAlign::kVerticalMask) {
    case InputAlign::kBottom: y -= h - 1; break;
    case InputAlign::kCentreY: y -= (h - 1) / 2; break;
    default: break;
    }
    SetWindowPos(hwnd, nullptr, x, y, kWidth, h - 1, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (owner)
        EnableWindow(owner, FALSE);
    return TRUE;
}

LRESULT InpTextWnd::OnCreate(HWND window, LPARAM)
{
    edit_ = CreateWindowExW(kEditExStyle, L"EDIT", nullptr, kEditStyle, 0, 0, 0, 0, window, nullptr, hInstance,
                            nullptr);
    if (!edit_)
        return -1;
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InpTextWnd::EditProc)));
    if (!gEditProc)
        gEditProc = previous;
    // The buffer takes capacity - 1 characters and the terminator: no more
    // may be typed, or the last one would be lost without a word.
    SendMessageW(edit_, EM_LIMITTEXT, capacity_ > 1 ? capacity_ - 1 : 1, 0);

    HDC dc = ::GetDC(edit_);
    TEXTMETRICW metrics = {};
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(edit_, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    GetTextMetricsW(dc, &metrics);
    if (old)
        SelectObject(dc, old);
    ::ReleaseDC(edit_, dc);
    RECT frame = {0, 0, 0, metrics.tmHeight};
    AdjustWindowRectEx(&frame, kEditStyle, FALSE, kEditExStyle);
    editHeight_ = frame.bottom - frame.top;

    static const DButtonNotify notify = {&InpTextWnd::OnButtonClicked, nullptr, nullptr, nullptr, nullptr,
                                         &InpTextWnd::OnButtonHover};
    static const DButtonInput input = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, &InpTextWnd::OnButtonKey, nullptr, nullptr};
    DButtonDesc desc = {60,           window, DButtonStyle::kVisible | DButtonStyle::kHoverTimeout,
                        0,            0,      IconSize + 4,
                        IconSize + 4, this,   nullptr,
                        gAcceptIcon,  IconSize, IconSize,
                        hInstance,    &input, &notify};
    if (!button_.Create(&desc))
        return -1;

    int clientHeight = editHeight_ > IconSize + 4 ? editHeight_ : IconSize + 4;
    RECT outer = {0, 0, kWidth, clientHeight};
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    windowHeight_ = outer.bottom - outer.top;
    return 0;
}

void InpTextWnd::OnDestroy()
{
    button_.Destroy();
    if (edit_)
        DestroyWindow(edit_);
    edit_ = nullptr;
    if (HWND owner = GetWindow(hwnd, GW_OWNER)) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
}

void InpTextWnd::OnSize(int width, int height, WPARAM)
{
    if (edit_) {
        const int editWidth = width - (IconSize + 5);
        if (height > editHeight_)
            MoveWindow(edit_, 0, (height - editHeight_) / 2, editWidth, editHeight_, TRUE);
        else
            MoveWindow(edit_, 0, 0, editWidth, height, TRUE);
    }
    if (button_.GetHwnd())
        MoveWindow(button_.GetHwnd(), width - (IconSize + 4), 0, IconSize + 4, height, TRUE);
}

void InpTextWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    ::GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(hwnd, &ps);
}

void InpTextWnd::OnSetFocus(WPARAM)
{
    if (edit_)
        ::SetFocus(edit_);
}

LRESULT InpTextWnd::OnCommand(UINT id, UINT, LPARAM)
{
    if (id == IDOK)
        Accept();
    return 0;
}

bool InpTextWnd::OnKey(WPARAM key)
{
    if (key == VK_RETURN) {
        Accept();
        return true;
    }
    if (key == VK_ESCAPE) {
        DestroyWindow(hwnd);
        return true;
    }
    return false;
}

void InpTextWnd::Accept()
{
    if (!hwnd)
        return;
    const int length = GetWindowTextW(edit_, buffer_, capacity_);
    if (result_)
        *result_ = length;
    DestroyWindow(hwnd);
}

void InpTextWnd::OnButtonClicked(void* cookie, DButton*)
{
    static_cast<InpTextWnd*>(cookie)->Accept();
}

void InpTextWnd::OnButtonHover(void*, DButton* button)
{
    wchar_t tip[256];
    const int length = LoadStringW(hInstance, IDS_TIP_INPUT_ACCEPT, tip, 256);
    if (length > 0)
        button->SetToolTip(8, tip, length);
}

void InpTextWnd::OnButtonKey(void* cookie, DButton*, WPARAM key, LPARAM)
{
    static_cast<InpTextWnd*>(cookie)->OnKey(key);
}
