// Window handle holders: DWnd and DCtlWnd.
//
// A holder owns the window it holds: its destructor destroys the window.
// Holders are not copyable (two owners would destroy one window twice).
#pragma once

#include <windows.h>

class DWnd {
public:
    DWnd() = default;
    ~DWnd()
    {
        if (hwnd)
            DestroyWindow(hwnd);
    }
    DWnd(const DWnd&) = delete;
    DWnd& operator=(const DWnd&) = delete;

    HWND GetHwnd() const { return hwnd; }
    // DestroyWindow's result, or 0 when no window is held. The handle is
    // cleared when the window's procedure sees WM_NCDESTROY (owner-drawn
    // controls) or stays as it was (windows of the system's own classes).
    BOOL Destroy() { return hwnd ? DestroyWindow(hwnd) : FALSE; }
    BOOL Move(int x, int y, int width, int height, BOOL repaint) { return MoveWindow(hwnd, x, y, width, height, repaint); }
    BOOL Update() { return UpdateWindow(hwnd); }
    BOOL Show(int command) { return ShowWindow(hwnd, command); }
    BOOL Enable(BOOL enable) { return EnableWindow(hwnd, enable); }
    HWND SetCapture() { return ::SetCapture(hwnd); }
    // Gives the held window the keyboard focus; returns the window that had it.
    HWND SetFocus() { return ::SetFocus(hwnd); }
    // {width, height} of the window rectangle.
    SIZE GetSize() const
    {
        RECT r = {};
        ::GetWindowRect(hwnd, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }

    HWND hwnd = nullptr;   // null until a window is attached
};

// The base of the owner-drawn controls.
class DCtlWnd : public DWnd {
};

// tmHeight of the font selected into the device context.
int GetDCFontHeight(HDC dc);
