// DUpDown: the program's numeric spinner.
//
// A child window of the class "Quil UpDown" that shows an integer value (as
// right-aligned decimal text, or an icon in its place) beside a narrow column
// of an up arrow, a drag strip and a down arrow. A click on an arrow steps the
// value on release; dragging the strip changes it by one step per two pixels;
// a right click resets it to its default value or cancels a drag. The owner
// gives the range, the default and the step. Two callbacks, each getting the
// owner's cookie first: value set (a committed change) and value changing
// (while the strip is dragged).
//
// Press state machine (press_):
//   idle -> kHovering (the pointer enters the strip: hover cursor, capture)
//        -> idle when it leaves the strip or the capture is lost;
//   idle/kHovering -> kUpPressed / kDownPressed (left down on an arrow:
//        capture) -> idle on left up (stepped when released over the arrow
//        column) or on leaving the arrow (dropped, no change);
//   idle/kHovering -> kDragging (left down on the strip: drag cursor,
//        capture) -> idle on left up (committed), right click (back to the
//        start value) or losing the capture (back to the start value).
// Every value computed from the mouse is done in 64 bits and kept within
// minimum .. maximum.
#pragma once

#include "resources/resource.h"
#include "ui/control_base.h"

class DUpDown;

typedef DInputRecord<DUpDown> DUpDownInput;

typedef void (*DUpDownEvent)(void* cookie, DUpDown* updown, int value);

struct DUpDownNotify {
    DUpDownEvent valueSet;        // a committed change
    DUpDownEvent valueChanging;   // while the strip is dragged
};

namespace DUpDownMask {
constexpr DWORD kMin = 1, kMax = 2, kValue = 4, kDefault = 8, kStep = 16;
}

struct DUpDownDesc {
    DWORD style;   // DUpDownStyle
    int x;
    int y;
    int width;
    int height;
    HWND parent;
    void* cookie;
    HICON icon;    // read with kIcon
    int iconWidth;
    int iconHeight;
    const DUpDownInput* input;     // required
    const DUpDownNotify* notify;   // required
    DWORD mask;    // DUpDownMask
    int minimum;
    int maximum;
    int value;
    int defaultValue;
    int step;
};
static_assert(sizeof(DUpDownDesc) == 72, "eighteen 32-bit words");

struct DUpDownInfo {
    DWORD mask;   // DUpDownMask
    int minimum;
    int maximum;
    int value;
    int defaultValue;
    int step;
};

namespace DUpDownStyle {
using ControlStyle::kVisible;
using ControlStyle::kCopyInput;
constexpr DWORD kIcon = 0x02;
constexpr DWORD kText = 0x01;
}  // namespace DUpDownStyle

class DUpDown : public DControlWindow<DUpDown, DUpDownInput> {
public:
    static constexpr const wchar_t* kClassName = L"Quil UpDown";
    static constexpr UINT kDragCursorId = IDC_UPDOWN_DRAG;
    static constexpr UINT kHoverCursorId = IDC_UPDOWN_HOVER;

    // Press bits.
    static constexpr DWORD kUpPressed = 0x01, kDragging = 0x02, kDownPressed = 0x04, kIconHidden = 0x08,
                           kHovering = 0x10;

    DUpDown() = default;
    ~DUpDown();

    // False, creating nothing, when the control has a window, a record is
    // missing, or the values are inconsistent (as SetInfo judges them).
    bool Create(const DUpDownDesc* desc);
    bool SetInfo(const DUpDownInfo* info);
    bool GetInfo(DUpDownInfo* info) const;

    int GetValue() const { return value_; }
    DWORD GetPress() const { return press_; }
    const wchar_t* GetText() const { return text_; }
    int GetColumnX() const { return columnX_; }
    int GetColumnWidth() const { return columnWidth_; }
    int GetUpTop() const { return upTop_; }
    int GetUpHeight() const { return upHeight_; }
    int GetStripTop() const { return stripTop_; }
    int GetStripHeight() const { return stripHeight_; }
    int GetDownTop() const { return downTop_; }
    int GetDownHeight() const { return downHeight_; }

    // Paints the whole control into `dc` (its client size).
    void Paint(HDC dc);

    // The initialization-table row "Register DUpDown".
    static bool RegisterClass();
    static void UnregisterClass();

private:
    friend class DControlWindow<DUpDown, DUpDownInput>;

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnCaptureChanged(LPARAM newCapture);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);

    void Notify(DUpDownEvent DUpDownNotify::*slot);
    int Clamp(long long value) const;
    int DragValue(int y) const;
    void FormatValue();
    void DrawValue(HDC dc);     // the text area, in the shared control font
    void RedrawValue();
    void Redraw();
    void TakeCapture();
    void GiveBackCapture();
    void EndHover();
    void EndPress();            // capture back, press bits cleared, cursor restored

    int step_ = 1;
    HWND previousCapture_ = nullptr;
    DWORD style_ = 0;
    DWORD press_ = 0;
    HDC dc_ = nullptr;               // the window's own DC
    int iconWidth_ = 0;
    int iconHeight_ = 0;
    int iconX_ = 0;
    int iconY_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int columnX_ = 0;                // arrow column
    int columnWidth_ = 0;
    int upTop_ = 0;
    int stripTop_ = 0;
    int downTop_ = 0;
    int upHeight_ = 0;
    int stripHeight_ = 0;
    int downHeight_ = 0;
    int dragStartY_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
    int value_ = 0;
    int defaultValue_ = 0;
    int textLength_ = 0;
    int dragStartValue_ = 0;
    wchar_t text_[100] = {};         // the value in decimal
    HICON icon_ = nullptr;
    HCURSOR dragCursor_ = nullptr;
    HCURSOR restoreCursor_ = nullptr;
    HCURSOR hoverCursor_ = nullptr;
    bool cursorsOwned_[2] = {};      // drag, hover: loaded from our resources
    HBRUSH textBrush_ = nullptr;     // COLOR_MENU system brush (not deleted)
    DUpDownNotify notify_ = {};      // always the control's own copy
};
