// A host window with the control library brought up, for the tests of the
// scroll bar, header, list view, up-down and the widgets.
#pragma once

#include "common/window_harness.h"
#include "foundation/globals.h"
#include "ui/init_rows.h"

#include <memory>

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
        host.reset(new harness::HostWindow(hostWidth, hostHeight));
    }
    void TearDown() override
    {
        DestroyControls();
        host.reset();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    }
    // Tests destroy their controls here, before the host and the classes go.
    virtual void DestroyControls() {}

    HWND Host() const { return host->Hwnd(); }

    int hostWidth = 400;
    int hostHeight = 300;
    harness::CallLog log;
    std::unique_ptr<harness::HostWindow> host;
};

// A memory DC with a 32-bpp DIB, for painting a control off screen and
// reading its pixels.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<DWORD*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        RECT r = {0, 0, width, height};
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc_, &r, magenta);
        DeleteObject(magenta);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return CLR_INVALID;
        DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(COLORREF color, RECT area) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += At(x, y) == color;
        return n;
    }
    bool SameAs(const MemoryCanvas& other) const
    {
        GdiFlush();
        if (width_ != other.width_ || height_ != other.height_)
            return false;
        for (int i = 0; i < width_ * height_; ++i)
            if ((bits_[i] & 0xFFFFFF) != (other.bits_[i] & 0xFFFFFF))
                return false;
        return true;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};
