// DButton: painting of the face (client area) and the border (non-client area).
#include "ui/button.h"

#include "ui/gdi.h"

void DButton::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    DrawFace(dc, ps.rcPaint);
    EndPaint(hwnd, &ps);
}

LRESULT DButton::OnEraseBkgnd(WPARAM dc)
{
    RECT rc = {0, 0, clientWidth_, clientHeight_};
    FillSolidRect(reinterpret_cast<HDC>(dc), &rc, IsWindowEnabled(hwnd) ? faceColor_ : disabledFaceColor_);
    return 1;
}

void DButton::OnNcPaint(WPARAM)
{
    DrawBorder();
}

// Paints the whole client area into `dc`, through an off-screen buffer so the
// face never flickers; `dirty` only limits the final copy.
void DButton::DrawFace(HDC dc, const RECT& dirty)
{
    if (clientWidth_ <= 0 || clientHeight_ <= 0)
        return;
    DBufferDC buffer(dc, clientWidth_, clientHeight_);
    HDC target = buffer ? buffer.Get() : dc;
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    RECT rc = {0, 0, clientWidth_, clientHeight_};
    FillSolidRect(target, &rc, enabled ? faceColor_ : disabledFaceColor_);

    if (icon_)
        DrawIconEx(target, iconX_, iconY_, icon_, iconWidth_, iconHeight_, 0, nullptr, DI_NORMAL);

    if (caption_) {
        ScopedSelect font(target, font_ ? static_cast<HGDIOBJ>(font_) : GetCurrentObject(dc_, OBJ_FONT));
        int oldMode = SetBkMode(target, TRANSPARENT);
        int offset = enabled ? shadowOffset_ : 1;
        COLORREF shadow = enabled ? shadowColor_ : 0xFFFFFF;
        COLORREF text = enabled ? captionColor_ : 0x6B6B6B;
        COLORREF oldColor = GetTextColor(target);
        auto drawAt = [&](int x, int y) {
            if (!(style_ & DButtonStyle::kMultiLine)) {
                TextOutW(target, x, y, caption_, captionLength_);
                return;
            }
            for (int i = 0; i < lineCount_; ++i)
                TextOutW(target, x, y + i * lineHeight_, caption_ + lines_[i].start, lines_[i].length);
        };
        if (offset) {
            ::SetTextColor(target, shadow);
            drawAt(captionX_ + offset, captionY_ + offset);
        }
        ::SetTextColor(target, text);
        drawAt(captionX_, captionY_);
        ::SetTextColor(target, oldColor);
        SetBkMode(target, oldMode);
    }

    if (style_ & DButtonStyle::kCornerArrow) {
        int s = (clientWidth_ < clientHeight_ ? clientWidth_ : clientHeight_) / 4;
        POINT corner[3] = {{clientWidth_ - s, clientHeight_}, {clientWidth_, clientHeight_ - s}, {clientWidth_, clientHeight_}};
        DGdiObject<HBRUSH> brush(CreateSolidBrush(arrowColor_));
        DGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, arrowColor_));
        ScopedSelect selBrush(target, brush.Get());
        ScopedSelect selPen(target, pen.Get());
        Polygon(target, corner, 3);
    }

    if (state_ & DButtonState::kFocused) {
        RECT focus = {2, 2, clientWidth_ - 3, clientHeight_ - 3};
        DrawFocusRect(target, &focus);
    }

    if (buffer) {
        // Only the dirty part reaches the screen.
        RECT part;
        if (IntersectRect(&part, &dirty, &rc))
            BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, buffer.Get(), part.left,
                   part.top, SRCCOPY);
    }
}

// Draws the border into the non-client area: raised when idle, sunken while
// pressed, flat grey when checked.
void DButton::DrawBorder()
{
    if (!hwnd || borderWidth_ <= 0)
        return;
    HPEN first, second;
    if (state_ & DButtonState::kAnyPress) {
        first = darkPen_;
        second = lightPen_;
    } else if (state_ & DButtonState::kChecked) {
        first = checkedPen_;
        second = checkedPen_;
    } else {
        first = lightPen_;
        second = darkPen_;
    }
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    // A cache DC: the window's own DC keeps its client-area origin.
    HDC dc = GetDCEx(hwnd, nullptr, DCX_WINDOW | DCX_CACHE);
    if (!dc)
        return;
    {
        ScopedSelect keep(dc, first);
        for (int i = 0; i < borderWidth_; ++i) {
            RECT r = {i, i, w - 1 - i, h - 1 - i};
            if (IsRectEmpty(&r))
                break;
            SelectObject(dc, first);
            MoveToEx(dc, r.left, r.bottom, nullptr);
            LineTo(dc, r.left, r.top);
            LineTo(dc, r.right, r.top);
            SelectObject(dc, second);
            LineTo(dc, r.right, r.bottom);
            LineTo(dc, r.left, r.bottom);
        }
    }
    ::ReleaseDC(hwnd, dc);
}
