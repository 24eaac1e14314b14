// Small owners of GDI objects and device contexts.
//
// Every GDI object the controls make sits in a DGdiObject (owned: deleted by
// the holder) and every SelectObject is undone in the scope that made it
// (ScopedSelect), so a device context leaves a routine as it came in.
#pragma once

#include <windows.h>

// Fills the rectangle with a solid brush of the colour; FillRect's result, or
// 0 (and nothing filled) when the brush cannot be made.
int FillSolidRect(HDC dc, const RECT* rect, COLORREF color);

// Draws a one-pixel frame on the outer edge of the window, in its non-client
// area: the left and top edges with the pen `topLeft`, the right and bottom
// edges with `bottomRight` (white over black stands out, black over white
// sinks in).
void DrawWindowFrame(HWND hwnd, HGDIOBJ topLeft, HGDIOBJ bottomRight);

// Owns one GDI object (a pen, brush, font or bitmap).
template <class T>
class DGdiObject {
public:
    DGdiObject() = default;
    explicit DGdiObject(T object) : object_(object) {}
    ~DGdiObject() { Reset(); }
    DGdiObject(const DGdiObject&) = delete;
    DGdiObject& operator=(const DGdiObject&) = delete;

    T Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Deletes the held object and holds the new one.
    void Reset(T object = nullptr)
    {
        if (object_ && object_ != object)
            DeleteObject(object_);
        object_ = object;
    }
    T Release()
    {
        T o = object_;
        object_ = nullptr;
        return o;
    }

private:
    T object_ = nullptr;
};

// Selects an object into a DC for the life of the scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory DC with a bitmap compatible with a target DC, for drawing off
// screen and copying the result in one BitBlt.
class DBufferDC {
public:
    DBufferDC(HDC target, int width, int height);
    ~DBufferDC();
    DBufferDC(const DBufferDC&) = delete;
    DBufferDC& operator=(const DBufferDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr && bitmap_ != nullptr; }
    // Copies the buffer to the target at (x, y).
    void CopyTo(HDC target, int x, int y) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// BeginPaint and EndPaint around a WM_PAINT handler: the paint DC and the
// area to paint for the life of the scope.
class DPaintScope {
public:
    explicit DPaintScope(HWND hwnd) : hwnd_(hwnd) { BeginPaint(hwnd_, &ps); }
    ~DPaintScope() { EndPaint(hwnd_, &ps); }
    DPaintScope(const DPaintScope&) = delete;
    DPaintScope& operator=(const DPaintScope&) = delete;

    HDC Dc() const { return ps.hdc; }
    PAINTSTRUCT ps = {};

private:
    HWND hwnd_;
};
