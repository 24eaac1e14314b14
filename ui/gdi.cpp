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
