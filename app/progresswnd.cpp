#include "app/progresswnd.h"

#include "foundation/globals.h"
#include "resources/strings.h"
#include "ui/gdi.h"

namespace {

bool gRegistered = false;
HBRUSH gBackBrush = nullptr;   // kBackColor
HBRUSH gBarBrush = nullptr;    // kBarColor

const int kDefaultWidth = 240, kDefaultHeight = 80;

}  // namespace

ProgressBarRects ProgressBarLayout(int width, int height, bool hasButton, int min, int max, int pos)
{
    const int left = width / 4, right = 3 * width / 4;
    const int top = hasButton ? height / 8 : height / 4;
    const int bottom = hasButton ? 3 * height / 8 : 3 * height / 4;
    int end;
    if (max == min) {
        end = left + width / 2;
    } else {
        // The position held within the range (either way round), the
        // arithmetic in 64 bits: (pos - min) and (max - min) may each take
        // all 32 bits, and width times either takes more.
        const long long low = min < max ? min : max, high = min < max ? max : min;
        const long long p = pos < low ? low : (pos > high ? high : pos);
        end = left + static_cast<int>(static_cast<long long>(width) * (p - min) / (2 * (static_cast<long long>(max) - min)));
    }
    ProgressBarRects rects;
    rects.filled = RECT{left, top, end, bottom};
    rects.rest = RECT{end, top, right, bottom};
    return rects;
}

bool RegisterProgressWnd(HINSTANCE instance)
{
    if (gRegistered)
        return false;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.cbWndExtra = 4;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszClassName = ProgressWnd::kClassName;
    if (!DWindow::RegisterClassEx(&wc))
        return false;
    gBackBrush = CreateSolidBrush(ProgressWnd::kBackColor);
    gBarBrush = CreateSolidBrush(ProgressWnd::kBarColor);
    gRegistered = true;
    return true;
}

void UnregisterProgressWnd(HINSTANCE instance)
{
    if (!gRegistered)
        return;
    ::UnregisterClassW(ProgressWnd::kClassName, instance);
    DeleteObject(gBackBrush);
    DeleteObject(gBarBrush);
    gBackBrush = gBarBrush = nullptr;
    gRegistered = false;
}

static DMessageMapEntry progressEntries[] = {
    MapMessage<WM_CREATE, &ProgressWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &ProgressWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &ProgressWnd::OnSize>(),
    MapMessage<WM_PAINT, &ProgressWnd::OnPaint>(),
    DMapEnd(),
};
DMessageMap ProgressWnd::messageMap = {-1, 0, progressEntries};

ProgressWnd::~ProgressWnd()
{
    // The map's handlers must not see a window whose object is half gone.
    if (hwnd)
        DestroyWindow(hwnd);
}

BOOL ProgressWnd::Create(const ProgressWndDesc& desc)
{
    if (hwnd || !gRegistered)
        return FALSE;
    flags_ = desc.flags;
    min_ = desc.min;
    max_ = desc.max;
    pos_ = desc.pos;
    cancel_ = desc.cancel ? *desc.cancel : ProgressCancel{nullptr, nullptr};
    const int width = desc.width == kProgressDefault ? kDefaultWidth : desc.width;
    const int height = desc.height == kProgressDefault ? kDefaultHeight : desc.height;
    const int x = desc.x == kProgressDefault ? (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2 : desc.x;
    const int y = desc.y == kProgressDefault ? (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2 : desc.y;
    if (!DWindow::Create(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOPARENTNOTIFY, kClassName, desc.title,
                         WS_POPUP | WS_CAPTION, x, y, width, height, desc.parent, nullptr,
                         desc.instance ? desc.instance : hInstance, nullptr) ||
        !hwnd)
        return FALSE;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    return TRUE;
}

void ProgressWnd::SetPos(int pos)
{
    pos_ = pos;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void ProgressWnd::OnCancelClicked(void* cookie, DButton*)
{
    ProgressWnd* self = static_cast<ProgressWnd*>(cookie);
    if (self->cancel_.function)
        self->cancel_.function(self->cancel_.cookie);
}

LRESULT ProgressWnd::OnCreate(HWND window, LPARAM)
{
    if (!(flags_ & kHasCancel))
        return 0;
    static const DButtonNotify notify = {&ProgressWnd::OnCancelClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
    wchar_t caption[64];
    if (LoadStringW(hInstance, IDS_CANCEL, caption, 64) <= 0)
        caption[0] = 0;
    DButtonDesc desc = {60,      window,  DButtonStyle::kVisible,
                        0,       0,       10,
                        10,      this,    caption,
                        nullptr, 0,       0,
                        hInstance, nullptr, &notify};
    return button_.Create(&desc) ? 0 : -1;
}

void ProgressWnd::OnDestroy()
{
    button_.Destroy();
}

void ProgressWnd::OnSize(int width, int height, WPARAM)
{
    width_ = width;
    height_ = height;
    if (button_.GetHwnd())
        MoveWindow(button_.GetHwnd(), width / 3, height / 2 + 1, width / 3, height / 2 - 2, TRUE);
}

void ProgressWnd::Paint(HDC dc, bool erase) const
{
    if (erase) {
        RECT client = {0, 0, width_, height_};
        FillRect(dc, &client, gBackBrush);
    }
    const ProgressBarRects bar = ProgressBarLayout(width_, height_, (flags_ & kHasCancel) != 0, min_, max_, pos_);
    FillRect(dc, &bar.filled, gBarBrush);
    FillRect(dc, &bar.rest, gBackBrush);
}

void ProgressWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    Paint(paint.Dc(), paint.ps.fErase != FALSE);
}
