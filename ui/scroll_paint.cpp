// DScroll: painting. One routine draws the whole bar into any DC.
#include "ui/scroll.h"

#include "ui/gdi.h"

namespace {

// A raised (first pen light) or sunken (first pen dark) one-pixel outline:
// the first pen along the left and top edges, the second along the right and bottom.
void Outline(HDC dc, const RECT& r, HGDIOBJ first, HGDIOBJ second)
{
    if (r.right - r.left < 1 || r.bottom - r.top < 1)
        return;
    ScopedSelect keep(dc, first);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, second);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left, r.bottom - 1);
    SelectObject(dc, first);
}

void FillInside(HDC dc, RECT r, HBRUSH brush)
{
    InflateRect(&r, -1, -1);
    if (r.right > r.left && r.bottom > r.top)
        FillRect(dc, &r, brush);
}

}  // namespace

RECT DScroll::PartRect(int from, int to) const
{
    if (IsVertical())
        return RECT{0, from, clientWidth_, to};
    return RECT{from, 0, to, clientHeight_};
}

void DScroll::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Draw(dc);
    EndPaint(hwnd, &ps);
}

void DScroll::Redraw()
{
    if (hwnd && dc_ && !(style_ & DScrollStyle::kNoWindow))
        Draw(dc_);
}

void DScroll::Draw(HDC dc)
{
    if (clientWidth_ <= 0 || clientHeight_ <= 0 || !dc)
        return;
    DBufferDC buffer(dc, clientWidth_, clientHeight_);
    HDC t = buffer ? buffer.Get() : dc;
    HBRUSH face = faceBrush_ ? faceBrush_ : GetSysColorBrush(COLOR_BTNFACE);
    HBRUSH track = trackBrush_ ? trackBrush_ : GetSysColorBrush(COLOR_SCROLLBAR);
    HGDIOBJ white = GetStockObject(WHITE_PEN), black = GetStockObject(BLACK_PEN);
    int length = Length(), b = buttonLength_;
    int thumbStart = b + thumbOffset_, thumbEnd = thumbStart + thumbLength_;

    RECT first = PartRect(0, b), second = PartRect(length - b, length);
    FillInside(t, first, face);
    FillInside(t, second, face);
    if (thumbOffset_ > 0) {
        RECT before = PartRect(b, thumbStart);
        FillRect(t, &before, track);
    }
    if (thumbEnd < length - b) {
        RECT after = PartRect(thumbEnd, length - b);
        FillRect(t, &after, track);
    }
    if (thumbLength_ > 0) {
        RECT thumb = PartRect(thumbStart, thumbEnd);
        FillInside(t, thumb, face);
        Outline(t, thumb, white, black);
    }

    // The glyphs point away from the track, across the middle third of the
    // thickness and over the outer two thirds of the square.
    if (b > 0) {
        int w = Across();
        HPEN pen = arrowPen_;
        HBRUSH brush = arrowBrush_;
        DGdiObject<HPEN> ownPen;
        DGdiObject<HBRUSH> ownBrush;
        if (!pen) {
            ownPen.Reset(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT)));
            pen = ownPen.Get();
        }
        if (!brush) {
            ownBrush.Reset(CreateSolidBrush(GetSysColor(COLOR_BTNTEXT)));
            brush = ownBrush.Get();
        }
        ScopedSelect selPen(t, pen);
        ScopedSelect selBrush(t, brush);
        POINT up[3] = {{w / 3, 2 * b / 3}, {w / 2, b / 3}, {2 * w / 3, 2 * b / 3}};
        POINT down[3] = {{w / 3, length - 2 * b / 3}, {w / 2, length - b / 3}, {2 * w / 3, length - 2 * b / 3}};
        if (!IsVertical()) {
            for (int i = 0; i < 3; ++i) {
                up[i] = POINT{up[i].y, up[i].x};
                down[i] = POINT{down[i].y, down[i].x};
            }
        }
        Polygon(t, up, 3);
        Polygon(t, down, 3);
    }

    if (pressPart_ == kFirstArrow)
        Outline(t, first, black, white);
    else
        Outline(t, first, white, black);
    if (pressPart_ == kSecondArrow)
        Outline(t, second, black, white);
    else
        Outline(t, second, white, black);

    if (buffer)
        buffer.CopyTo(dc, 0, 0);
}
