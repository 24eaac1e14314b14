#include "ui/gdi.h"

int FillSolidRect(HDC dc, const RECT* rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush)
        return 0;
    int result = FillRect(dc, rect, brush);
    DeleteObject(brush);
    return result;
}

void DrawWindowFrame(HWND hwnd, HGDIOBJ topLeft, HGDIOBJ bottomRight)
{
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    HDC dc = GetDCEx(hwnd, nullptr, DCX_WINDOW | DCX_CACHE);
    if (!dc)
        return;
    {
        ScopedSelect pen(dc, topLeft);
        MoveToEx(dc, 0, h - 1, nullptr);
        LineTo(dc, 0, 0);
        LineTo(dc, w - 1, 0);
        SelectObject(dc, bottomRight);
        LineTo(dc, w - 1, h - 1);
        LineTo(dc, 0, h - 1);
    }
    ::ReleaseDC(hwnd, dc);
}

DBufferDC::DBufferDC(HDC target, int width, int height) : width_(width), height_(height)
{
    if (width <= 0 || height <= 0)
        return;
    dc_ = CreateCompatibleDC(target);
    if (!dc_)
        return;
    bitmap_ = CreateCompatibleBitmap(target, width, height);
    if (bitmap_)
        oldBitmap_ = SelectObject(dc_, bitmap_);
}

DBufferDC::~DBufferDC()
{
    if (dc_ && oldBitmap_)
        SelectObject(dc_, oldBitmap_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

void DBufferDC::CopyTo(HDC target, int x, int y) const
{
    if (*this)
        BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}
