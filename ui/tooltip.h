// DToolTip: a small pop-up that shows a hint text beside a point of the screen.
//
// The owner-drawn button creates one when its hover time-out has been handled
// and destroys it when the pointer leaves. The tip never takes the focus and
// does not track the mouse. It is placed beside its anchor, by its real size
// (text plus a 4-pixel margin on each side), and kept inside the work area of
// the anchor's monitor.
#pragma once

#include "ui/dwnd.h"

// Placement flags of a tip, relative to its anchor.
namespace TipAlign {
constexpr DWORD kStartAtX = 0;      // the tip starts at the anchor x
constexpr DWORD kCentreX = 1;       // centred on the anchor x (3 too)
constexpr DWORD kEndAtX = 2;        // the tip ends at the anchor x (it lies left of it)
constexpr DWORD kStartAtY = 0;      // the tip starts at the anchor y
constexpr DWORD kCentreY = 4;       // centred on the anchor y (12 too)
constexpr DWORD kEndAtY = 8;        // the tip ends at the anchor y (it lies above it)
}  // namespace TipAlign

struct DToolTipDesc {
    int x;                  // anchor, screen coordinates
    int y;
    HWND parent;            // the tip's owner
    HINSTANCE instance;
    void* requester;        // the button that asks; not read
    DWORD flags;            // TipAlign
    const wchar_t* text;
    int length;             // UTF-16 units; -1: up to the terminator
};
static_assert(sizeof(DToolTipDesc) == 32, "eight 32-bit words");

class DToolTip : public DWnd {
public:
    static constexpr int kMargin = 4;   // between the border and the text

    DToolTip() = default;
    ~DToolTip();

    // Creates and shows the tip (without activating it); true when it is shown.
    // False, leaving no window, for an empty text, an existing window, or a
    // failed creation or allocation.
    bool Create(const DToolTipDesc* desc);
    // Replaces the text and places the tip again; false for an empty text.
    bool SetText(const wchar_t* text, int length);
    bool SetTextColor(COLORREF color);
    bool SetBkColor(COLORREF color);

    // The initialization-table row "Register DToolTip".
    static bool RegisterClass();
    static void UnregisterClass();
    // The class takes the font (the user's tooltip font) and deletes the one it
    // replaces; null means the DC's default font.
    static void SetFont(HFONT font);
    static HFONT GetFont();

    static constexpr const wchar_t* kClassName = L"DToolTip";

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnPaint();
    void OnSize(int width, int height, WPARAM type);
    void Paint(HDC dc);
    void FreeText();

    int anchorX_ = 0;
    int anchorY_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int textLength_ = 0;
    DWORD flags_ = 0;
    COLORREF textColor_ = 0;
    COLORREF bkColor_ = 0;
    wchar_t* text_ = nullptr;   // process-heap copy, not terminated
};
