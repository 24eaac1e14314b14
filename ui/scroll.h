// DScroll: the program's own scroll bar, drawn entirely by itself.
//
// A child window of the class "Quil scroll control" with two arrow buttons, a
// track and a proportional thumb. It repeats while an arrow or the track is
// held, drags the thumb, and can pin itself to an edge of its parent with the
// system's scroll-bar thickness. It reports through callbacks whose first
// argument is the owner's cookie; the line and page callbacks let the owner
// decide the step.
//
// Values: minimum <= maximum, page >= 0, and minimum <= position <=
// maximum - page whenever maximum - page >= minimum (else position = minimum).
// All arithmetic on them is done in 64 bits, so any int range is safe.
//
// Press state machine (pressPart_):
//   kNone -> kFirstArrow / kSecondArrow (button down on an arrow: capture, the
//            125 ms repeat timer, one step at once)
//         -> kTrackBefore / kTrackAfter (button down on the track: capture,
//            timer, one page at once)
//         -> kThumb (button down on the thumb: capture, no timer)
//   any press -> kNone in EndPress: button up, leaving an arrow or the track
//            area, the track press reaching the thumb (OnTimer), or losing the
//            capture. EndPress reports "position settled" (slot 0) exactly once
//            when the position differs from the one at the start of the press.
// While a press is on, SetPos reports through slot 1 (tracking) instead of 0.
//
// Painting: one routine (Draw) paints the whole bar into any DC through an
// off-screen buffer; WM_PAINT and every change of the thumb use it.
#pragma once

#include "ui/control_base.h"

class DScroll;

typedef DInputRecord<DScroll> DScrollInput;
static_assert(sizeof(DScrollInput) == 60, "fifteen callbacks");

// Position report: settled (slot 0) or tracking (slot 1).
typedef void (*DScrollEvent)(void* cookie, DScroll* bar, int position);
// Step request: *position is preset to the current one; non-zero means the
// callback decided the new position (left in *position).
typedef int (*DScrollStep)(void* cookie, DScroll* bar, int* position);

struct DScrollNotify {
    DScrollEvent settled;     // 0
    DScrollEvent tracking;    // 1
    DScrollStep lineDown;     // 2: second arrow
    DScrollStep lineUp;       // 3: first arrow
    DScrollStep pageUp;       // 4: track before the thumb
    DScrollStep pageDown;     // 5: track after the thumb
    void* unused;             // 6: never called
};
static_assert(sizeof(DScrollNotify) == 28, "seven slots");

namespace DScrollMask {
constexpr DWORD kMin = 1, kMax = 2, kPos = 4, kPage = 8;
}

struct DScrollInfo {
    DWORD mask;   // DScrollMask
    int minimum;
    int maximum;
    int position;
    int page;
};

struct DScrollDesc {
    DWORD style;   // DScrollStyle
    void* cookie;
    HWND parent;
    int x;
    int y;
    int width;
    int height;
    HINSTANCE instance;
    DWORD mask;    // DScrollMask: which of the four values below are given (else 0)
    int minimum;
    int maximum;
    int position;
    int page;
    const DScrollInput* input;     // may be null
    const DScrollNotify* notify;   // may be null
};
static_assert(sizeof(DScrollDesc) == 60, "fifteen 32-bit words");

namespace DScrollStyle {
using ControlStyle::kVisible;
using ControlStyle::kCopyInput;
using ControlStyle::kAnchorLeft;     // the bar pins itself to its parent's edges
using ControlStyle::kAnchorRight;
using ControlStyle::kAnchorTop;
using ControlStyle::kAnchorBottom;
using ControlStyle::kAnchorMask;
constexpr DWORD kNoWindow = 0x08;
constexpr DWORD kSystemThickness = 0x04;
constexpr DWORD kCopyNotify = 0x02;
constexpr DWORD kVertical = 0x01;
}  // namespace DScrollStyle

class DScroll : public DControlWindow<DScroll, DScrollInput> {
public:
    static constexpr const wchar_t* kClassName = L"Quil scroll control";
    static constexpr UINT_PTR kRepeatTimerId = 1;
    static constexpr UINT kRepeatDelay = 125;   // milliseconds
    static constexpr int kMinThumb = 5;

    enum Part { kNone = 0, kFirstArrow = 1, kSecondArrow = 2, kTrackBefore = 3, kTrackAfter = 4, kThumb = 5 };

    DScroll() = default;
    ~DScroll();

    // Fills the bar from the descriptor and, unless kNoWindow, creates its
    // window. False (nothing kept) when the bar already exists, maximum <
    // minimum, or an allocation or the window fails.
    bool Create(const DScrollDesc* desc);
    // Creates the window of a bar made with kNoWindow.
    bool CreateDeferred(HWND parent, HINSTANCE instance, int x, int y, int width, int height);
    // Forgets a bar made without window (its window, when it has one, is
    // destroyed), so that the object can be created again.
    void Clear();

    bool SetInfo(const DScrollInfo* info);
    bool GetInfo(DScrollInfo* info) const;
    void SetPos(int position);
    int GetPos() const { return position_; }
    void SetPage(int page);
    int GetPage() const { return page_; }
    bool SetMax(int maximum);
    bool SetMin(int minimum);
    int GetMax() const { return maximum_; }
    int GetMin() const { return minimum_; }

    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();

    int GetWidth() const { return clientWidth_; }
    int GetHeight() const { return clientHeight_; }
    bool IsEnabled() const { return (state_ & kEnabled) != 0; }
    bool IsVisible() const { return (state_ & kShown) != 0; }
    bool Enable(bool enable);
    bool Show(bool show);

    // Paints the whole bar into `dc` (the window's or any other, such as a
    // memory DC of the bar's client size).
    void Draw(HDC dc);

    // Read-outs for tests and for the owner's layout.
    int GetThumbOffset() const { return thumbOffset_; }
    int GetThumbLength() const { return thumbLength_; }
    int GetTrackLength() const { return trackLength_; }
    int GetButtonLength() const { return buttonLength_; }
    Part GetPressPart() const { return pressPart_; }
    DWORD GetStyle() const { return style_; }
    bool IsVertical() const { return (style_ & DScrollStyle::kVertical) != 0; }

    // The initialization-table row "Register DScroll".
    static bool RegisterClass();
    static void UnregisterClass();
    // The system's scroll-bar thickness.
    static int Thickness();

private:
    friend class DControlWindow<DScroll, DScrollInput>;
    static constexpr DWORD kEnabled = 0x1, kShown = 0x2;

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnEnable(WPARAM enabled);
    void OnPaint();
    void OnShowWindow(WPARAM shown, LPARAM status);
    void OnWindowPosChanging(LPARAM pos);
    void OnTimer(WPARAM id, LPARAM proc);
    void OnCaptureChanged(LPARAM newCapture);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);

    void ReportPosition(int position);   // slot 1 during a press, else slot 0
    void Step(DScrollStep DScrollNotify::*slot, long long fallback);
    bool CreateWindowNow(HWND parent, HINSTANCE instance, int x, int y, int width, int height);
    void FreeRecords();
    void Recalc();               // arrow, track and thumb metrics from the values
    void RecalcAndRedraw();
    int OffsetFor(int position) const;
    int Length() const { return IsVertical() ? clientHeight_ : clientWidth_; }
    int Across() const { return IsVertical() ? clientWidth_ : clientHeight_; }
    int Along(int x, int y) const { return IsVertical() ? y : x; }
    bool InsideAcross(int x, int y) const;
    void StartPress(Part part);
    void EndPress();
    void Redraw();
    RECT PartRect(int from, int to) const;   // a span along the bar, full thickness

    DWORD style_ = 0;
    Part pressPart_ = kNone;
    UINT_PTR timer_ = 0;              // 0: no repeat timer
    DWORD state_ = 0;                 // kEnabled, kShown
    HBRUSH trackBrush_ = nullptr;     // COLOR_SCROLLBAR system brush (not deleted)
    HBRUSH faceBrush_ = nullptr;      // COLOR_BTNFACE system brush (not deleted)
    HWND previousCapture_ = nullptr;  // held the capture before the press
    HDC dc_ = nullptr;                // the window's own DC, held for its life
    HPEN arrowPen_ = nullptr;         // COLOR_BTNTEXT
    HBRUSH arrowBrush_ = nullptr;     // COLOR_BTNTEXT, selected into dc_
    HGDIOBJ oldBrush_ = nullptr;      // what dc_ held before arrowBrush_
    const DScrollNotify* notify_ = nullptr;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int position_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
    int page_ = 0;
    int thumbOffset_ = 0;             // pixels from the start of the track
    int thumbLength_ = 0;
    int trackLength_ = 0;
    int buttonLength_ = 0;
    int pressOffset_ = 0;             // track press: where along the track; thumb: offset at the start
    int dragStart_ = 0;               // thumb press: coordinate along the bar at the start
    int pressStartPosition_ = 0;
    bool created_ = false;            // filled by Create (with or without window)
    bool inCapture_ = false;          // the bar itself is taking or handing back the capture
};
