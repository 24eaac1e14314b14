// The grey bitmap header and its two palettes, drawn through GDI.
#include "images/pixels/graybitmapinfo.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(GrayBitmapInfo, HeaderIsAnEightBitDib)
{
    GrayBitmapInfo info;
    const BITMAPINFOHEADER& h = info.Get()->bmiHeader;
    EXPECT_EQ(40u, h.biSize);
    EXPECT_EQ(0, h.biWidth);
    EXPECT_EQ(0, h.biHeight);
    EXPECT_EQ(1, h.biPlanes);
    EXPECT_EQ(8, h.biBitCount);
    EXPECT_EQ((DWORD)BI_RGB, h.biCompression);
    EXPECT_EQ(0u, h.biClrUsed);
}

TEST(GrayBitmapInfo, PalettesAreGreyAndInverted)
{
    GrayBitmapInfo info;
    info.FillPalette(false);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& q = info.Get()->bmiColors[i];
        ASSERT_EQ(i, q.rgbRed);
        ASSERT_EQ(i, q.rgbGreen);
        ASSERT_EQ(i, q.rgbBlue);
        ASSERT_EQ(0, q.rgbReserved);
    }
    info.FillPalette(true);
    EXPECT_EQ(255, info.Get()->bmiColors[0].rgbBlue);
    EXPECT_EQ(0, info.Get()->bmiColors[255].rgbRed);
    EXPECT_EQ(155, info.Get()->bmiColors[100].rgbGreen);
}

TEST(GrayBitmapInfo, DrawsThroughSetDIBitsToDevice)
{
    GrayBitmapInfo info;
    info.FillPalette(true);
    info.Header().biWidth = 4;
    info.Header().biHeight = -1;
    const BYTE row[4] = {0, 64, 200, 255};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 4, 1);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    EXPECT_EQ(1, SetDIBitsToDevice(dc, 0, 0, 4, 1, 0, 0, 0, 1, row, info.Get(), DIB_RGB_COLORS));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 3, 0));
    EXPECT_EQ(RGB(55, 55, 55), GetPixel(dc, 2, 0));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

} // namespace
