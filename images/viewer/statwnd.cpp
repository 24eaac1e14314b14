#include "images/viewer/statwnd.h"

#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/gdi.h"

#include <math.h>
#include <wchar.h>

namespace {

struct StatClassResources {
    HICON icon = nullptr;       // 16 x 16
    HBRUSH blueBrush = nullptr; // 0xFF0000
    bool registered = false;
};
StatClassResources gStat;

const DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
const DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY;
const wchar_t kWidestText[] = L"average=0000.00000000";

// The work area of the monitor the window is on (under Xvfb the full-screen
// metrics can exceed the screen: the monitor's work area is the bound).
RECT WorkArea(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcWork;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The top at which a window of the height lies wholly between the area's top
// and bottom, as near to `top` as it can.
int TopInside(int top, int height, const RECT& area)
{
    if (top + height > area.bottom)
        top = area.bottom - height;
    if (top < area.top)
        top = area.top;
    return top;
}

}  // namespace

static DMessageMapEntry statEntries[] = {
    MapMessage<WM_CREATE, &StatisticsWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &StatisticsWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &StatisticsWnd::OnSize>(),
    MapMessage<WM_PAINT, &StatisticsWnd::OnPaint>(),
    MapMessage<WM_NCHITTEST, &StatisticsWnd::OnNcHitTest>(),
    MapMessage<WM_WINDOWPOSCHANGING, &StatisticsWnd::OnWindowPosChanging>(),
    MapMessage<WM_WINDOWPOSCHANGED, &StatisticsWnd::OnWindowPosChanged>(),
    DMapEnd(),
};
DMessageMap StatisticsWnd::messageMap = {-1, 0, statEntries};

StatisticsWnd& StatisticsWnd::Instance()
{
    static StatisticsWnd one;
    return one;
}

bool RegisterStatisticsWnd()
{
    return StatisticsWnd::RegisterClass();
}

void UnregisterStatisticsWnd()
{
    StatisticsWnd::UnregisterClass();
}

bool StatisticsWnd::RegisterClass()
{
    if (gStat.registered)
        return true;
    if (!DWindow::RegisterMapClass({kClassName, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))}))
        return false;
    gStat.icon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_CONNECT), IMAGE_ICON, 16, 16, 0);
    gStat.blueBrush = CreateSolidBrush(0xFF0000);
    gStat.registered = true;
    return true;
}

void StatisticsWnd::UnregisterClass()
{
    if (!gStat.registered)
        return;
    Instance().Destroy();
    ::UnregisterClassW(kClassName, hInstance);
    if (gStat.icon)
        DestroyIcon(gStat.icon);
    if (gStat.blueBrush)
        DeleteObject(gStat.blueBrush);
    gStat = StatClassResources();
}

int StatisticsWnd::Create(HWND owner)
{
    if (hwnd)
        return 0;
    wchar_t title[64];
    if (!LoadStringW(hInstance, IDS_STATISTICS, title, 64))
        title[0] = 0;
    if (!DWindow::Create(kExStyle, kClassName, title, kStyle, 0, 0, 100, 100, owner, nullptr, hInstance, nullptr))
        return 0;
    // At the left edge with its bottom on the screen's bottom (the work
    // area's, when a task bar takes part of the screen).
    RECT r;
    GetWindowRect(&r);
    const RECT work = WorkArea(hwnd);
    const int bottom = GetSystemMetrics(SM_CYSCREEN) < work.bottom ? GetSystemMetrics(SM_CYSCREEN) : work.bottom;
    SetWindowPos(hwnd, nullptr, 0, TopInside(bottom - (r.bottom - r.top), r.bottom - r.top, work), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
    ShowWindow(hwnd, SW_SHOWNA);
    return 1;
}

LRESULT StatisticsWnd::OnCreate(HWND, LPARAM)
{
    HDC dc = GetDC();
    {
        ScopedSelect font(dc, ControlFont);
        SIZE s = {};
        GetTextExtentPoint32W(dc, kWidestText, lstrlenW(kWidestText), &s);
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        textWidth = s.cx;
        lineHeight = tm.tmHeight + tm.tmExternalLeading;
    }
    ReleaseDC(dc);
    FitWindow();
    return 0;
}

void StatisticsWnd::OnDestroy()
{
    // The handle is cleared by the framework after WM_NCDESTROY.
}

void StatisticsWnd::OnSize(int width, int height, WPARAM)
{
    clientWidth = width;
    clientHeight = height;
}

// Client area: the text width by 3 lines, 9 with statistics.
void StatisticsWnd::FitWindow()
{
    if (!hwnd)
        return;
    RECT r = {0, 0, textWidth, (statsPresent ? 9 : 3) * lineHeight};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    // The window grows downward from where it stands, but never past the
    // work area's bottom: it moves up as far as its new height needs.
    RECT now;
    GetWindowRect(&now);
    const int top = TopInside(now.top, height, WorkArea(hwnd));
    SetWindowPos(hwnd, nullptr, now.left, top, width, height,
                 (top == now.top ? SWP_NOMOVE : 0) | SWP_NOACTIVATE | SWP_NOZORDER);
}

LRESULT StatisticsWnd::OnNcHitTest(int sx, int sy)
{
    const LRESULT hit = DefWindowProcW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(sx, sy));
    return hit == HTCLOSE ? HTCLOSE : HTCAPTION;
}

void StatisticsWnd::OnWindowPosChanging(LPARAM pos)
{
    reinterpret_cast<WINDOWPOS*>(pos)->flags |= SWP_NOACTIVATE;
}

void StatisticsWnd::OnWindowPosChanged(LPARAM)
{
}

void StatisticsWnd::CalcRect(DPicture* picture, const PixelRect* rect)
{
    if (!picture || !picture->GetBits())
        return;
    if (rect) {
        x0 = rect->left;
        y0 = rect->top;
        x1 = rect->right;
        y1 = rect->bottom;
        areaKnown = true;
    } else if (!areaKnown) {
        return;
    }
    const int w = picture->width, h = picture->height;
    int ax0 = x0, ay0 = y0, ax1 = x1 < 0 ? w : x1, ay1 = y1 < 0 ? h : y1;
    // A region that starts left of or above the picture is measured from its
    // edge; one that reaches past its right or lower edge is refused.
    if (ax0 < 0)
        ax0 = 0;
    if (ay0 < 0)
        ay0 = 0;
    if (!(ax0 < w && ax1 <= w && ay0 < h && ay1 <= h) || ax1 <= ax0 || ay1 <= ay0) {
        statsPresent = false;
        Destroy();
        return;
    }
    x0 = ax0;
    y0 = ay0;
    x1 = ax1;
    y1 = ay1;
    const uint16_t* bits = picture->GetBits();
    unsigned lo = 65535, hi = 0;
    double sum = 0;
    long long n = 0;
    for (int y = ay0; y < ay1; ++y) {
        const uint16_t* row = bits + (size_t)y * w;
        for (int x = ax0; x < ax1; ++x) {
            const unsigned v = row[x];
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
            sum += v;
        }
        n += ax1 - ax0;
    }
    const double mean = sum / (double)n;
    double squares = 0;
    for (int y = ay0; y < ay1; ++y) {
        const uint16_t* row = bits + (size_t)y * w;
        for (int x = ax0; x < ax1; ++x) {
            const double d = row[x] - mean;
            squares += d * d;
        }
    }
    minimum = (uint16_t)lo;
    maximum = (uint16_t)hi;
    average = mean;
    // One pixel has no spread: 0, not a division by zero.
    deviation = n > 1 ? sqrt(squares / (double)(n - 1)) : 0.0;
    statsPresent = true;
    FitWindow();
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

namespace {

struct LineStats {
    const DPicture* picture;
    double mean;
    unsigned lo, hi;
    double sum, squares;
    long long n;
    bool second;
};

void CALLBACK LinePoint(int x, int y, LPARAM data)
{
    LineStats* s = reinterpret_cast<LineStats*>(data);
    const DPicture* p = s->picture;
    if (x < 0 || y < 0 || x >= p->width || y >= p->height)
        return;
    const unsigned v = p->GetBits()[(size_t)y * p->width + x];
    if (s->second) {
        const double d = v - s->mean;
        s->squares += d * d;
        return;
    }
    s->lo = v < s->lo ? v : s->lo;
    s->hi = v > s->hi ? v : s->hi;
    s->sum += v;
    ++s->n;
}

}  // namespace

void StatisticsWnd::CalcLine(DPicture* picture, int lx0, int ly0, int lx1, int ly1)
{
    if (!picture || !picture->GetBits())
        return;
    x0 = lx0;
    y0 = ly0;
    x1 = lx1;
    y1 = ly1;
    areaKnown = false;
    LineStats s = {picture, 0.0, 65535, 0, 0.0, 0.0, 0, false};
    LineDDA(lx0, ly0, lx1, ly1, LinePoint, reinterpret_cast<LPARAM>(&s));
    if (s.n == 0)
        return;
    s.mean = s.sum / (double)s.n;
    s.second = true;
    LineDDA(lx0, ly0, lx1, ly1, LinePoint, reinterpret_cast<LPARAM>(&s));
    minimum = (uint16_t)s.lo;
    maximum = (uint16_t)s.hi;
    average = s.mean;
    deviation = s.n > 1 ? sqrt(s.squares / (double)(s.n - 1)) : 0.0;
    statsPresent = true;
    FitWindow();
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void StatisticsWnd::SetPoint(int px, int py, DPicture* picture)
{
    if (picture && picture->GetWorkBits() && px >= 0 && py >= 0 && px < picture->width && py < picture->height) {
        x = px;
        y = py;
        z = picture->GetWorkBits()[(size_t)py * picture->width + px];
        pointPresent = true;
    } else {
        pointPresent = false;
    }
    if (hwnd) {
        HDC dc = GetDC();
        PaintReadout(dc);
        ReleaseDC(dc);
    }
}

void ShowPointReadout(int x, int y, DPicture* picture)
{
    StatisticsWnd::Instance().SetPoint(x, y, picture);
}

void StatisticsWnd::FormatReadout(wchar_t* text, int capacity) const
{
    if (pointPresent)
        _snwprintf(text, capacity, L"X=%i\nY=%i\nZ=%i", x, y, z);
    else
        _snwprintf(text, capacity, L"X=\nY=\nZ=");
    text[capacity - 1] = 0;
}

void StatisticsWnd::FormatStatistics(wchar_t* text, int capacity) const
{
    _snwprintf(text, capacity, L"(%u, %u)\n(%u, %u)\nmin=%u\nmax=%u\naverage=%f\nrms=%f", (unsigned)x0, (unsigned)y0,
               (unsigned)(x1 - 1), (unsigned)(y1 - 1), (unsigned)minimum, (unsigned)maximum, average, deviation);
    text[capacity - 1] = 0;
}

void StatisticsWnd::PaintReadout(HDC dc)
{
    ScopedSelect font(dc, ControlFont);
    RECT r = {0, 0, clientWidth, 3 * lineHeight};
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    SetTextColor(dc, 0);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    wchar_t text[96];
    FormatReadout(text, 96);
    DrawTextW(dc, text, -1, &r, DT_LEFT | DT_TOP);
}

void StatisticsWnd::Paint(HDC dc)
{
    PaintReadout(dc);
    if (!statsPresent)
        return;
    ScopedSelect font(dc, ControlFont);
    RECT r = {0, 3 * lineHeight, clientWidth, 9 * lineHeight};
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    wchar_t text[256];
    FormatStatistics(text, 256);
    DrawTextW(dc, text, -1, &r, DT_LEFT | DT_TOP);
}

void StatisticsWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    Paint(paint.Dc());
}
