// ProgressWnd ("Progress wnd"): a small topmost tool window that draws a
// plain progress bar between a minimum and a maximum, with an optional
// "Cancel" button that calls its owner back. Nothing in the program registers
// its class or creates it yet; it is a component ready for a caller.
//
// The bar's geometry (ProgressBarLayout) is plain arithmetic, apart from the
// window: the bar spans the middle half of the client width; the filled part
// grows with the position, computed in 64 bits with the position held within
// the range, so any 32-bit range and position draw inside the bar.
#pragma once

#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

// Where the bar is drawn in a client area of width x height.
struct ProgressBarRects {
    RECT filled;   // blue: from the bar's left edge to the position
    RECT rest;     // grey: from the position to the bar's right edge
};
// With a Cancel button the bar sits in the upper half (height / 8 to
// 3 x height / 8), else in the middle (height / 4 to 3 x height / 4); it runs
// from width / 4 to 3 x width / 4 and is filled up to
// width / 4 + width x (pos - min) / (2 x (max - min)), half when min = max.
ProgressBarRects ProgressBarLayout(int width, int height, bool hasButton, int min, int max, int pos);

// The owner's answer to "Cancel": the function is called with the cookie.
struct ProgressCancel {
    void* cookie;
    void (*function)(void* cookie);
};

struct ProgressWndDesc {
    HWND parent;
    int x, y;             // kProgressDefault: centred on the full-screen work area
    int width, height;    // kProgressDefault: 240 x 80
    HINSTANCE instance;
    DWORD flags;          // ProgressWnd::kHasCancel
    int min, max, pos;
    const wchar_t* title;
    const ProgressCancel* cancel;   // called by the Cancel button; may be null
};
const int kProgressDefault = static_cast<int>(0x80000000);

class ProgressWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"Progress wnd";
    static constexpr DWORD kHasCancel = 0x1;
    static constexpr COLORREF kBackColor = 0x7F7F7F;   // grey
    static constexpr COLORREF kBarColor = 0xFF0000;    // blue (COLORREF is 0x00BBGGRR)

    ProgressWnd() = default;
    ~ProgressWnd() override;

    // Creates and shows the window; FALSE when it exists or cannot be made.
    BOOL Create(const ProgressWndDesc& desc);
    // Moves the bar to a new position and repaints it.
    void SetPos(int pos);
    int GetPos() const { return pos_; }
    DButton* GetCancelButton() { return (flags_ & kHasCancel) ? &button_ : nullptr; }

    // Paints the client area into a DC: the grey background when `erase`,
    // then the bar.
    void Paint(HDC dc, bool erase) const;

    DMessageMap* GetMessageMap() override { return &messageMap; }
    static DMessageMap messageMap;

    // Message handlers (the map's entries).
    LRESULT OnCreate(HWND window, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();

private:
    static void OnCancelClicked(void* cookie, DButton* button);

    DWORD flags_ = 0;                       // kHasCancel
    int width_ = 0, height_ = 0;            // the client size
    int min_ = 0, max_ = 0, pos_ = 0;
    ProgressCancel cancel_ = {nullptr, nullptr};
    DButton button_;                        // "Cancel", with kHasCancel
};

// The class (4 extra bytes, arrow cursor, no icon) and its two brushes;
// unregistering deletes the brushes.
bool RegisterProgressWnd(HINSTANCE instance);
void UnregisterProgressWnd(HINSTANCE instance);
