// Painting of the profile window: the info panel, the cursor readout, the
// value scale and the bars. Everything is drawn into an off-screen buffer
// and copied in one piece.
#include <wchar.h>
#include "images/viewer/profilewnd.h"

#include "images/viewer/profileres.h"
#include "ui/control_font.h"
#include "ui/gdi.h"

#include <stdio.h>

void ProfileWnd::ValueRange(int* bottom, int* top) const
{
    const DPicture* p = picture.Get();
    const int levels = p && p->levels > 0 ? p->levels : 65536;
    *top = autoMax ? maximum : levels;
    *bottom = autoMin ? minimum : 0;
}

void ProfileWnd::DrawGraph(HDC target)
{
    if (!hwnd || clientWidth <= 0 || clientHeight <= 0)
        return;
    DBufferDC buffer(target, clientWidth, clientHeight);
    HDC out = buffer ? buffer.Get() : target;
    ScopedSelect font(out, ControlFont);
    SetBkMode(out, TRANSPARENT);
    RECT all = {0, 0, clientWidth, clientHeight};
    FillRect(out, &all, GetSysColorBrush(COLOR_WINDOW));
    DrawInfo(out);
    if (!restricted && values && count > 0) {
        int bottom, top;
        ValueRange(&bottom, &top);
        DrawReadout(out);
        DrawScale(out, bottom, top);
        DrawBars(out, graph.left, graph.right);
        // Sunken frame: black left and top, white right and bottom.
        {
            ScopedSelect pen(out, GetStockObject(BLACK_PEN));
            MoveToEx(out, graph.left - 1, graph.bottom, nullptr);
            LineTo(out, graph.left - 1, graph.top - 1);
            LineTo(out, graph.right, graph.top - 1);
        }
        {
            ScopedSelect pen(out, GetStockObject(WHITE_PEN));
            MoveToEx(out, graph.right, graph.top - 1, nullptr);
            LineTo(out, graph.right, graph.bottom);
            LineTo(out, graph.left - 1, graph.bottom);
        }
    }
    if (buffer) {
        // The child controls keep their own pixels.
        const int saved = SaveDC(target);
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            if (!IsWindowVisible(child) || !::GetWindowRect(child, &r))
                continue;
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
            ExcludeClipRect(target, r.left, r.top, r.right, r.bottom);
        }
        buffer.CopyTo(target, 0, 0);
        RestoreDC(target, saved);
    }
}

void ProfileWnd::DrawInfo(HDC out)
{
    wchar_t text[64];
    SetTextColor(out, 0);
    int y = 2;
    auto pair = [&](const wchar_t* label, const wchar_t* value) {
        TextOutW(out, 2, y, label, lstrlenW(label));
        TextOutW(out, 12, y + lineHeight, value, lstrlenW(value));
        y += 2 * lineHeight;
    };
    _snwprintf(text, 64, L"(%i, %i)", line.x0, line.y0);
    pair(gProfile.labels[0], text);
    _snwprintf(text, 64, L"(%i, %i)", line.x1, line.y1);
    pair(gProfile.labels[1], text);
    _snwprintf(text, 64, L"%.2f", length);
    pair(gProfile.labels[2], text);
    if (!restricted) {
        if (values && cursor >= 0 && cursor < count)
            _snwprintf(text, 64, L"%i", values[cursor]);
        else
            text[0] = 0;
        pair(gProfile.labels[3], text);
    }
}

void ProfileWnd::DrawReadout(HDC out)
{
    if (cursor < 0 || cursor >= count)
        return;
    wchar_t text[64];
    const int n = _snwprintf(text, 64, L"(%i, %i)", points[2 * cursor], points[2 * cursor + 1]);
    if (n > 0)
        TextOutW(out, graph.left, 2, text, n);
}

void ProfileWnd::DrawScale(HDC out, int bottom, int top)
{
    const int h = graph.bottom - graph.top;
    if (lineHeight <= 0 || h <= 0)
        return;
    const int rows = h / lineHeight;
    const long long range = (long long)top - bottom;
    if (rows <= 0 || range <= 0)
        return;
    long long q = range / rows, step = 10;
    while (q >= 100) {
        q /= 10;
        step *= 10;
    }
    if (q >= 50)
        step *= 10;
    else if (q >= 25)
        step *= 5;
    else if (q > 10)
        step = step * 25 / 10;
    if (step <= 0)
        step = 1;
    auto yOf = [&](long long v) { return graph.bottom - (int)((long long)h * (v - bottom) / range); };
    auto tick = [&](long long v) {
        const int y = yOf(v);
        {
            ScopedSelect pen(out, GetStockObject(WHITE_PEN));
            MoveToEx(out, graph.left - 5, y, nullptr);
            LineTo(out, graph.left - 1, y);
        }
        {
            ScopedSelect pen(out, GetStockObject(BLACK_PEN));
            MoveToEx(out, graph.left - 5, y - 1, nullptr);
            LineTo(out, graph.left - 1, y - 1);
        }
        wchar_t text[24];
        const int n = _snwprintf(text, 24, L"%lld", v);
        RECT r = {0, y - lineHeight / 2, graph.left - 5, y - lineHeight / 2 + lineHeight};
        if (n > 0)
            DrawTextW(out, text, n, &r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    };
    if (bottom == 0) {
        for (long long v = 0; v < top; v += step)
            tick(v);
    } else {
        tick(bottom);
        long long v = (bottom / step + 1) * step;
        if (yOf(bottom) - yOf(v) < lineHeight)
            v += step;
        for (; v < top; v += step)
            tick(v);
    }
}

void ProfileWnd::DrawBars(HDC out, int from, int to)
{
    int bottom, top;
    ValueRange(&bottom, &top);
    // A range of 0 or less (automatic minimum above a fixed maximum) shows
    // every bar full instead of dividing by it.
    const long long range = (long long)top - bottom > 0 ? (long long)top - bottom : 1;
    const int h = graph.bottom - graph.top;
    const int first = scroll.GetHwnd() ? scroll.GetPos() : 0;
    for (int x = from; x < to; ++x) {
        const int sample = first + (x - graph.left) / zoom;
        if (sample >= count || sample < 0) {
            RECT r = {x, graph.top, to, graph.bottom};
            FillRect(out, &r, gProfile.greyBrush);
            break;
        }
        long long bar = (long long)h * ((long long)values[sample] - bottom) / range;
        if (bar < 0)
            bar = 0;
        if (bar > h)
            bar = h;
        const int yBar = graph.bottom - (int)bar;
        {
            ScopedSelect pen(out, sample == cursor ? gProfile.cursorPen : gProfile.barPen);
            MoveToEx(out, x, graph.bottom, nullptr);
            LineTo(out, x, yBar);
        }
        ScopedSelect pen(out, gProfile.backgroundPen);
        MoveToEx(out, x, yBar, nullptr);
        LineTo(out, x, graph.top - 1);
    }
}
