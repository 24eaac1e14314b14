#include "ui/tooltip.h"

#include "foundation/globals.h"
#include "ui/gdi.h"
#include "ui/handler_table.h"
#include "ui/window_create.h"
#include "ui/window_errors.h"

#include <wchar.h>

namespace {
COLORREF gTextColor;    // COLOR_INFOTEXT, read at registration
COLORREF gBkColor;      // COLOR_INFOBK
HFONT gFont;            // the user's tooltip font, owned by the class; null: the DC's default
bool gRegistered;

int TextLength(const wchar_t* text, int length)
{
    if (!text)
        return 0;
    return length < 0 ? static_cast<int>(wcslen(text)) : length;
}
}  // namespace

HandlerTable gTipHandlers;

DToolTip::~DToolTip()
{
    if (hwnd)
        DestroyWindow(hwnd);
    FreeText();
}

void DToolTip::FreeText()
{
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    textLength_ = 0;
}

bool DToolTip::Create(const DToolTipDesc* desc)
{
    if (hwnd || !desc || TextLength(desc->text, desc->length) == 0)
        return false;
    flags_ = desc->flags;
    DWindowDesc wd = {this, &hwnd,   WndProc, 0,       kClassName, nullptr,        WS_POPUP,
                      0,    0,       0,       0,       desc->parent, nullptr,      desc->instance, nullptr};
    if (!CreateWindowFromDesc(&wd))
        return false;
    anchorX_ = desc->x;
    anchorY_ = desc->y;
    if (!SetText(desc->text, desc->length)) {
        DestroyWindow(hwnd);
        return false;
    }
    ShowWindow(hwnd, SW_SHOWNA);
    UpdateWindow(hwnd);
    return true;
}

bool DToolTip::SetText(const wchar_t* text, int length)
{
    FreeText();
    int n = TextLength(text, length);
    if (n <= 0 || !hwnd)
        return false;
    text_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, n * sizeof(wchar_t)));
    if (!text_)
        return false;
    wmemcpy(text_, text, n);
    textLength_ = n;

    RECT measured = {0, 0, 0, 0};
    HDC dc = GetDC(hwnd);
    {
        ScopedSelect font(dc, gFont);
        DrawTextW(dc, text_, textLength_, &measured, DT_CALCRECT | DT_NOPREFIX);
    }
    ReleaseDC(hwnd, dc);
    int width = measured.right - measured.left + 2 * kMargin;
    int height = measured.bottom - measured.top + 2 * kMargin;

    // Beside the anchor: the flags say on which side the tip lies.
    int x = anchorX_, y = anchorY_;
    switch (flags_ & 3) {
    case TipAlign::kEndAtX:
        x -= width;
        break;
    case TipAlign::kCentreX:
    case 3:
        x -= width / 2;
        break;
    }
    switch (flags_ & 0xC) {
    case TipAlign::kEndAtY:
        y -= height;
        break;
    case TipAlign::kCentreY:
    case 12:
        y -= height / 2;
        break;
    }
    // Whole and on screen: inside the work area of the anchor's monitor.
    POINT anchor = {anchorX_, anchorY_};
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST), &mi)) {
        const RECT& work = mi.rcWork;
        if (x + width > work.right)
            x = work.right - width;
        if (x < work.left)
            x = work.left;
        if (y + height > work.bottom)
            y = work.bottom - height;
        if (y < work.top)
            y = work.top;
    }
    MoveWindow(hwnd, x, y, width, height, TRUE);
    return true;
}

bool DToolTip::SetTextColor(COLORREF color)
{
    textColor_ = color;
    if (!hwnd)
        return false;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    return true;
}

bool DToolTip::SetBkColor(COLORREF color)
{
    bkColor_ = color;
    if (!hwnd)
        return false;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    return true;
}

void DToolTip::Paint(HDC dc)
{
    RECT r = {0, 0, clientWidth_, clientHeight_};
    {
        DGdiObject<HBRUSH> brush(CreateSolidBrush(bkColor_));
        ScopedSelect selBrush(dc, brush.Get());
        ScopedSelect selPen(dc, GetStockObject(BLACK_PEN));
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    if (!text_)
        return;
    InflateRect(&r, -kMargin, -kMargin);
    ScopedSelect font(dc, gFont);
    COLORREF oldText = ::SetTextColor(dc, textColor_);
    COLORREF oldBk = ::SetBkColor(dc, bkColor_);
    // Painted as measured: an ampersand is a character, not a prefix.
    DrawTextW(dc, text_, textLength_, &r, DT_NOPREFIX);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBk);
}

LRESULT DToolTip::OnCreate(HWND, LPARAM)
{
    FreeText();
    textColor_ = gTextColor;
    bkColor_ = gBkColor;
    return 0;
}

void DToolTip::OnDestroy()
{
    FreeText();
}

void DToolTip::OnPaint()
{
    DPaintScope paint(hwnd);
    Paint(paint.Dc());
}

void DToolTip::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
}

LRESULT CALLBACK DToolTip::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<DToolTip, gTipHandlers>(hwnd, message, wParam, lParam);
}

bool DToolTip::RegisterClass()
{
    gTextColor = GetSysColor(COLOR_INFOTEXT);
    gBkColor = GetSysColor(COLOR_INFOBK);
    gRegistered = RegisterObjectClass(kClassName, CS_NOCLOSE | CS_HREDRAW | CS_VREDRAW, hInstance) != 0;
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &DToolTip::OnCreate>(), OnMessage<WM_DESTROY, &DToolTip::OnDestroy>(),
        OnMessage<WM_PAINT, &DToolTip::OnPaint>(), OnMessage<WM_SIZE, &DToolTip::OnSize>(),
    };
    gTipHandlers.Fill(handlers, sizeof(handlers) / sizeof(handlers[0]));
    return gRegistered;
}

void DToolTip::UnregisterClass()
{
    SetFont(nullptr);
    ::UnregisterClassW(kClassName, hInstance);
    gRegistered = false;
}

void DToolTip::SetFont(HFONT font)
{
    if (gFont && gFont != font)
        DeleteObject(gFont);
    gFont = font;
}

HFONT DToolTip::GetFont()
{
    return gFont;
}
