// The image view's mouse tools: dragging, the rubber band of the region
// tools, the line tools, moving an end of the profile line, and the zoom
// menu of the right button.
#include "images/viewer/snimokwnd.h"

#include "foundation/globals.h"
#include "images/viewer/statwnd.h"
#include "images/viewer/viewhost.h"
#include "resources/strings.h"
#include "ui/popupmenu.h"

#include <stdlib.h>

#include <algorithm>
#include <utility>

HCURSOR SnimokCursor(int which);   // 0 normal, 1 drag, 2 start marker, 3 end marker
HPEN SnimokLinePen();

ToolArea& SnimokToolLine()
{
    static ToolArea line = {};
    return line;
}

namespace {

RECT OrderedRect(POINT a, POINT b)
{
    RECT r = {a.x, a.y, b.x, b.y};
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

}  // namespace

// ---- button down, up and the end of a tool ----

void SnimokWnd::OnLButtonDown(int x, int y, WPARAM)
{
    if (!picture.Get())
        return;
    if (toolActive) {
        EndTool();
        return;
    }
    switch (GetPanelMode()) {
    case kToolWindowMinMax: StartTool(kStateRect, &SnimokWnd::ToolWindowMinMax); break;
    case kToolWindowMeanSd: StartTool(kStateRect, &SnimokWnd::ToolWindowMeanSd); break;
    case kToolProfile: StartTool(kStateLine, &SnimokWnd::ToolProfile); break;
    case kToolLineStats: StartTool(kStateLine, &SnimokWnd::ToolLineStats); break;
    case kToolRectStats: StartTool(kStateRect, &SnimokWnd::ToolRectStats); break;
    default: toolState = kStateNone; break;
    }
    ClampToView(x, y);
    switch (toolState) {
    case kStateNone:
        if (GrabProfileEnd(x, y))
            return;
        toolState = kStateDrag;
        anchor = current = POINT{x, y};
        SetCursor(SnimokCursor(1));
        moveHandler = &SnimokWnd::MoveDrag;
        break;
    case kStateRect:
        anchor = current = POINT{x, y};
        moveHandler = &SnimokWnd::MoveRubberBand;
        break;
    case kStateLine: {
        HideCursor();
        const int px = ViewToImageX(x), py = ViewToImageY(y);
        SnimokToolLine() = ToolArea{px, py, px, py};
        moveHandler = &SnimokWnd::MoveLine;
        break;
    }
    }
    toolActive = true;
    SetCapture(hwnd);
}

void SnimokWnd::StartTool(int state, SnimokToolCallback callback)
{
    EndTool();
    toolCallback = callback;
    toolCookie = nullptr;
    toolState = state;
}

bool SnimokWnd::GrabProfileEnd(int x, int y)
{
    if (!profile.Exists() || !picture.Get())
        return false;
    const ProfileLine& l = profile.GetLine();
    const int sx = picture->MapX(l.x0), sy = picture->MapY(l.y0);
    const int ex = picture->MapX(l.x1), ey = picture->MapY(l.y1);
    if (abs(x - sx) < kGrabDistance && abs(y - sy) < kGrabDistance)
        moveHandler = &SnimokWnd::MoveProfileStart;
    else if (abs(x - ex) < kGrabDistance && abs(y - ey) < kGrabDistance)
        moveHandler = &SnimokWnd::MoveProfileEnd;
    else
        return false;
    SnimokToolLine() = ToolArea{l.x0, l.y0, l.x1, l.y1};
    toolState = kStateProfileEnd;
    HideCursor();
    toolActive = true;
    SetCapture(hwnd);
    return true;
}

void SnimokWnd::OnLButtonUp(int, int, WPARAM)
{
    if (!toolActive)
        return;
    switch (toolState) {
    case kStateDrag:
        SetCursor(SnimokCursor(0));
        break;
    case kStateRect: {
        PixelRect r = {anchor.x, anchor.y, current.x, current.y};
        renderer.ViewRectToImage(r);
        if (r.left != r.right && r.top != r.bottom && toolCallback) {
            SnimokToolCallback callback = toolCallback;
            toolCallback = nullptr;
            callback(toolCookie, this, ToolArea{r.left, r.top, r.right, r.bottom});
        }
        Redraw();
        break;
    }
    case kStateLine: {
        ShowCursorAgain();
        const ToolArea l = SnimokToolLine();
        if ((l.x0 != l.x1 || l.y0 != l.y1) && toolCallback) {
            SnimokToolCallback callback = toolCallback;
            toolCallback = nullptr;
            callback(toolCookie, this, l);
        }
        Redraw();
        break;
    }
    case kStateProfileEnd: {
        ShowCursorAgain();
        const ToolArea& l = SnimokToolLine();
        profile.Compute(picture, ProfileLine{l.x0, l.y0, l.x1, l.y1});
        if (profile.GetHwnd())
            InvalidateRect(profile.GetHwnd(), nullptr, FALSE);
        break;
    }
    }
    EndTool();
}

void SnimokWnd::EndTool()
{
    if (toolActive) {
        toolActive = false;
        ShowCursorAgain();
        if (toolState == kStateDrag)
            SetCursor(SnimokCursor(0));
        Redraw();
        if (hwnd && GetCapture() == hwnd)
            ReleaseCapture();
    }
    SetPanelMode(kToolNone);
    moveHandler = picture.Get() ? &SnimokWnd::MoveReadout : &SnimokWnd::MoveIdle;
    toolCallback = nullptr;
    toolState = kStateNone;
}

// Losing the capture to anyone else (a message box, Alt-Tab, another
// window's SetCapture) ends the tool, so that the cursor never stays hidden
// and the view never waits for a button-up it will not get.
void SnimokWnd::OnCaptureChanged(LPARAM newCapture)
{
    if (toolActive && reinterpret_cast<HWND>(newCapture) != hwnd)
        EndTool();
}

void SnimokWnd::OnCancelMode()
{
    if (toolActive)
        EndTool();
}

void SnimokWnd::OnRButtonDown(int x, int y, WPARAM)
{
    if (toolActive) {
        EndTool();
        return;
    }
    if (picture.Get())
        ZoomMenu(x, y);
}

void SnimokWnd::HideCursor()
{
    if (!cursorHidden) {
        ShowCursor(FALSE);
        cursorHidden = true;
    }
}

void SnimokWnd::ShowCursorAgain()
{
    if (cursorHidden) {
        ShowCursor(TRUE);
        cursorHidden = false;
    }
}

// ---- mouse moves ----

void SnimokWnd::OnMouseMove(int x, int y, WPARAM keys)
{
    (this->*moveHandler)(keys, x, y);
}

void SnimokWnd::ClampToView(int& x, int& y) const
{
    const int w = renderer.GetViewWidth(), h = renderer.GetViewHeight();
    x = x < 0 ? 0 : (x >= w ? w - 1 : x);
    y = y < 0 ? 0 : (y >= h ? h - 1 : y);
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
}

void SnimokWnd::Readout(int x, int y)
{
    ShowPointReadout(ViewToImageX(x), ViewToImageY(y), picture.Get());
}

void SnimokWnd::MoveIdle(WPARAM, int, int)
{
}

void SnimokWnd::MoveReadout(WPARAM, int x, int y)
{
    ClampToView(x, y);
    Readout(x, y);
}

void SnimokWnd::MoveDrag(WPARAM, int x, int y)
{
    ClampToView(x, y);
    const int dx = x - anchor.x, dy = y - anchor.y;
    if (dx == 0 && dy == 0)
        return;
    if (renderer.Pan(dx, dy))
        Redraw();
    anchor = current = POINT{x, y};
    Readout(x, y);
}

void SnimokWnd::MoveRubberBand(WPARAM, int x, int y)
{
    ClampToView(x, y);
    Readout(x, y);
    RECT old = OrderedRect(anchor, current);
    if (dc)
        DrawFocusRect(dc, &old);
    current = POINT{x, y};
    RECT now = OrderedRect(anchor, current);
    if (dc)
        DrawFocusRect(dc, &now);
}

void SnimokWnd::MoveLine(WPARAM keys, int x, int y)
{
    ClampToView(x, y);
    ToolArea& l = SnimokToolLine();
    int px = ViewToImageX(x), py = ViewToImageY(y);
    if (keys & MK_SHIFT) {
        if (abs(l.x0 - px) <= abs(l.y0 - py))
            px = l.x0;
        else
            py = l.y0;
    }
    if (px == l.x1 && py == l.y1)
        return;
    if (dc)
        EraseToolLine(dc);
    l.x1 = px;
    l.y1 = py;
    if (dc)
        DrawToolLine(dc, false);
    ShowPointReadout(px, py, picture.Get());
}

void SnimokWnd::MoveProfileStart(WPARAM keys, int x, int y)
{
    MoveProfileEndpoint(keys, x, y, true);
}

void SnimokWnd::MoveProfileEnd(WPARAM keys, int x, int y)
{
    MoveProfileEndpoint(keys, x, y, false);
}

void SnimokWnd::MoveProfileEndpoint(WPARAM keys, int x, int y, bool start)
{
    ClampToView(x, y);
    ToolArea& l = SnimokToolLine();
    int px = ViewToImageX(x), py = ViewToImageY(y);
    // The end that stays put and the one that moves.
    const int fx = start ? l.x1 : l.x0, fy = start ? l.y1 : l.y0;
    int& mx = start ? l.x0 : l.x1;
    int& my = start ? l.y0 : l.y1;
    if (keys & MK_SHIFT) {
        if (abs(fx - px) <= abs(fy - py))
            px = fx;
        else
            py = fy;
    }
    if (start ? (px == fx && py == fy) : (px == mx && py == my))
        return;
    if (px == mx && py == my)
        return;
    if (dc)
        EraseToolLine(dc);
    mx = px;
    my = py;
    if (dc)
        DrawToolLine(dc, true);
    ShowPointReadout(px, py, picture.Get());
    if (profile.Compute(picture, ProfileLine{l.x0, l.y0, l.x1, l.y1}) && profile.GetHwnd())
        InvalidateRect(profile.GetHwnd(), nullptr, FALSE);
}

// ---- the line over the picture ----

namespace {

struct DdaPoints {
    HDC dc;
    COLORREF color;
    int width, height;
};

void CALLBACK SetOnePoint(int x, int y, LPARAM data)
{
    const DdaPoints* p = reinterpret_cast<const DdaPoints*>(data);
    if (x >= 0 && y >= 0 && x < p->width && y < p->height)
        SetPixel(p->dc, x, y, p->color);
}

}  // namespace

void SnimokWnd::DrawToolLine(HDC target, bool markers)
{
    const ToolArea& l = SnimokToolLine();
    const int x0 = picture->MapX(l.x0), y0 = picture->MapY(l.y0);
    const int x1 = picture->MapX(l.x1), y1 = picture->MapY(l.y1);
    if (markers) {
        DdaPoints p = {target, 0x00FF00, renderer.GetViewWidth(), renderer.GetViewHeight()};
        LineDDA(x0, y0, x1, y1, SetOnePoint, reinterpret_cast<LPARAM>(&p));
        SetOnePoint(x1, y1, reinterpret_cast<LPARAM>(&p));
        if (SnimokCursor(2))
            DrawIconEx(target, x0 - kGrabDistance, y0 - kGrabDistance, SnimokCursor(2), 0, 0, 0, nullptr, DI_NORMAL);
        if (SnimokCursor(3))
            DrawIconEx(target, x1 - kGrabDistance, y1 - kGrabDistance, SnimokCursor(3), 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }
    const int saved = SaveDC(target);
    IntersectClipRect(target, 0, 0, renderer.GetViewWidth(), renderer.GetViewHeight());
    SelectObject(target, SnimokLinePen());
    MoveToEx(target, x0, y0, nullptr);
    LineTo(target, x1, y1);
    SetPixel(target, x1, y1, 0x008000);
    RestoreDC(target, saved);
}

// Paints the buffer back over the line and both ends' 32 x 32 squares.
void SnimokWnd::EraseToolLine(HDC target)
{
    const ToolArea& l = SnimokToolLine();
    const int x0 = picture->MapX(l.x0), y0 = picture->MapY(l.y0);
    const int x1 = picture->MapX(l.x1), y1 = picture->MapY(l.y1);
    RECT r = {std::min(x0, x1) - kGrabDistance, std::min(y0, y1) - kGrabDistance,
              std::max(x0, x1) + kGrabDistance + 1, std::max(y0, y1) + kGrabDistance + 1};
    PaintBufferPart(target, r);
}

void SnimokWnd::DrawProfileOverlay(HDC target)
{
    if (!picture.Get())
        return;
    const ProfileLine& pl = profile.GetLine();
    const ToolArea keep = SnimokToolLine();
    SnimokToolLine() = ToolArea{pl.x0, pl.y0, pl.x1, pl.y1};
    DrawToolLine(target, true);
    SnimokToolLine() = keep;
}

// ---- tool callbacks ----

void SnimokWnd::ToolWindowMinMax(void*, SnimokWnd* view, const ToolArea& area)
{
    AutoWindowLevel(1, view, &area);
}

void SnimokWnd::ToolWindowMeanSd(void*, SnimokWnd* view, const ToolArea& area)
{
    AutoWindowLevel(0, view, &area);
}

void SnimokWnd::ToolProfile(void*, SnimokWnd* view, const ToolArea& area)
{
    view->profile.Create(view->hwnd, view, view->picture, ProfileLine{area.x0, area.y0, area.x1, area.y1},
                         !IsAdministrator);
}

void SnimokWnd::ToolLineStats(void*, SnimokWnd* view, const ToolArea& area)
{
    StatisticsWnd& stats = StatisticsWnd::Instance();
    if (!stats.Exists() && !stats.Create(view->parent))
        return;
    stats.CalcLine(view->picture.Get(), area.x0, area.y0, area.x1, area.y1);
}

void SnimokWnd::ToolRectStats(void*, SnimokWnd* view, const ToolArea& area)
{
    StatisticsWnd& stats = StatisticsWnd::Instance();
    if (!stats.Exists() && !stats.Create(view->parent))
        return;
    const PixelRect r = {area.x0, area.y0, area.x1, area.y1};
    stats.CalcRect(view->picture.Get(), &r);
}

// ---- zoom menu ----

HMENU SnimokWnd::BuildZoomMenu(double* scales, int capacity, int* count) const
{
    static const double kFactors[] = {0.5, 1.0, 1.5, 2.0, 4.0};
    static const struct {
        UINT text;
        double scale;
    } kFits[] = {{IDS_FIT_TO_WIDTH, -1.0}, {IDS_FIT_TO_HEIGHT, -2.0}, {IDS_FIT_TO_SCREEN, -3.0}};
    *count = 0;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    const double current = picture.Get() ? picture->scale : 0.0;
    wchar_t format[64], text[80];
    if (!LoadStringW(hInstance, IDS_ZOOM_PERCENT, format, 64))
        lstrcpyW(format, L"Zoom %i%%");
    auto add = [&](const wchar_t* itemText, double scale) {
        if (*count >= capacity)
            return;
        scales[*count] = scale;
        ++*count;
        AppendMenuW(menu, MF_STRING | (scale == current ? MF_CHECKED : 0), *count, itemText);
    };
    for (double f : kFactors) {
        if (f == 4.0 && !IsAdministrator)
            continue;
        wsprintfW(text, format, (int)(f * 100));
        add(text, f);
    }
    for (const auto& fit : kFits) {
        if (!LoadStringW(hInstance, fit.text, text, 80))
            text[0] = 0;
        add(text, fit.scale);
    }
    return menu;
}

void SnimokWnd::ZoomMenu(int x, int y)
{
    double scales[8];
    int count = 0;
    HMENU menu = BuildZoomMenu(scales, 8, &count);
    if (!menu)
        return;
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    const int choice = TrackPopup(menu, TPM_LEFTALIGN | TPM_TOPALIGN, p.x, p.y, hwnd);
    DestroyMenu(menu);
    if (choice < 1 || choice > count || !picture.Get())
        return;
    SetScale(scales[choice - 1], ViewToImageX(x), ViewToImageY(y));
    if (parent)
        RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Redraw();
}
