// DButton: the owner-drawn push button of every window of the program.
//
// A child window of the class "Quil button control" that draws its own face,
// border, icon and caption, toggles as a check button, takes right and middle
// clicks, reports a hover time-out (owners show a tip then), anchors itself
// to its parent's edges and draws a corner arrow. It never sends WM_COMMAND:
// it calls the owner through two callback records given at creation, each
// callback getting the owner's cookie and the button.
//
// State machine (state bits, DButtonState):
//   press:  idle -> kLeftPressed / kRightPressed / kMiddlePressed (button down,
//           or moving back over the button with the button held) / kSpaceHeld
//           (space down) -> idle on button up (released, then clicked), on
//           leaving the client area without kStayPressed (released only), on
//           focus loss (space: released only), on another window taking
//           the mouse capture (mouse presses: released only).
//   hover:  idle -> kHoverTimer (first move with kHoverTimeout; 1500 ms) ->
//           hover-timeout callback (the owner usually calls SetToolTip) ->
//           kTipShown -> idle on a press, a key, hiding, disabling or
//           WM_MOUSELEAVE (CancelHover).
// Any callback may destroy the button (message boxes and forms do): after
// each one the button checks that its window is still its own before it
// touches a field again.
//
// Painting: one routine (DrawFace) paints the client area into any DC through
// an off-screen buffer; the border lives in the non-client area (DrawBorder).
#pragma once

#include "ui/control_base.h"

class DButton;
class DToolTip;

typedef DInputRecord<DButton> DButtonInput;
static_assert(sizeof(DButtonInput) == 60, "fifteen callbacks");
typedef DButtonInput::Event DButtonEvent;
// Mouse callbacks: key state and the position in client coordinates (signed).
typedef DButtonInput::MouseEvent DButtonMouseEvent;
// Key callbacks: virtual key (or character) and key data.
typedef DButtonInput::KeyEvent DButtonKeyEvent;

struct DButtonNotify {
    DButtonEvent clicked;
    DButtonEvent pressed;
    DButtonEvent released;
    DButtonEvent rightClicked;
    DButtonEvent middleClicked;
    DButtonEvent hoverTimeout;
};
static_assert(sizeof(DButtonNotify) == 24, "six callbacks");

struct DButtonDesc {
    DWORD size;                 // must be 60
    HWND parent;
    DWORD style;                // DButtonStyle
    int x;
    int y;
    int width;
    int height;
    void* cookie;               // first argument of every callback
    const wchar_t* caption;     // or null
    HICON icon;                 // or null
    int iconWidth;
    int iconHeight;
    HINSTANCE instance;
    const DButtonInput* input;      // may be null
    const DButtonNotify* notify;    // required
};
static_assert(sizeof(DButtonDesc) == 60, "fifteen 32-bit words");

namespace DButtonStyle {
constexpr DWORD kAlignLeft = 0x1, kAlignRight = 0x2, kAlignHMask = 0x3;
constexpr DWORD kAlignTop = 0x4, kAlignBottom = 0x8, kAlignVMask = 0xC;
constexpr DWORD kCaptionThenIcon = 0x10, kIconThenCaption = 0x20, kArrangeHMask = 0x30;
constexpr DWORD kSideBySide = 0x40, kCaptionAboveIcon = 0x80, kArrangeVMask = 0xC0;
constexpr DWORD kStayPressed = 0x100;
constexpr DWORD kCheck = 0x400;
// The button's descriptor keeps both record-copy bits here, beside its layout
// bits (its ControlStyle::kCopyInput bit is unused).
constexpr DWORD kCopyNotify = 0x800;
constexpr DWORD kCopyInput = 0x1000;
constexpr DWORD kOwnsIcon = 0x2000;
constexpr DWORD kRightButton = 0x4000;
constexpr DWORD kMiddleButton = 0x8000;
constexpr DWORD kNoFocusOnClick = 0x10000;
constexpr DWORD kMultiLine = 0x20000;
constexpr DWORD kHoverTimeout = 0x40000;
constexpr DWORD kCornerArrow = 0x80000;
using ControlStyle::kAnchorLeft;
using ControlStyle::kAnchorRight;
using ControlStyle::kAnchorTop;
using ControlStyle::kAnchorBottom;
using ControlStyle::kAnchorMask;
using ControlStyle::kVisible;
// The buttons of the program's tool bars: shown at once, with a tip after the
// hover time-out, owning their icons.
constexpr DWORD kToolButton = kVisible | kHoverTimeout | kOwnsIcon;
// The icon at the left edge with the caption beside it.
constexpr DWORD kIconBeforeCaption = kAlignLeft | kIconThenCaption | kSideBySide;
}  // namespace DButtonStyle

namespace DButtonState {
constexpr DWORD kLeftPressed = 0x01;
constexpr DWORD kChecked = 0x02;
constexpr DWORD kFocused = 0x04;
constexpr DWORD kSpaceHeld = 0x08;
constexpr DWORD kRightPressed = 0x10;
constexpr DWORD kMiddlePressed = 0x20;
constexpr DWORD kHoverTimer = 0x40;
constexpr DWORD kTipShown = 0x80;
constexpr DWORD kFaceColorSet = 0x100;
constexpr DWORD kAnyPress = kLeftPressed | kSpaceHeld | kRightPressed | kMiddlePressed;
}  // namespace DButtonState

class DButton : public DControlWindow<DButton, DButtonInput> {
public:
    static constexpr const wchar_t* kClassName = L"Quil button control";
    static constexpr UINT_PTR kHoverTimerId = 1;
    static constexpr UINT kHoverDelay = 1500;   // milliseconds
    static constexpr int kMaxLines = 32;
    static constexpr int kMaxBorder = 16;       // the registry's "Border" is clamped to 0..16

    DButton() = default;
    // Creates at once; the caller tests GetHwnd() afterwards.
    explicit DButton(const DButtonDesc* desc) { Create(desc); }
    ~DButton();

    // True when the window exists. Fails, creating and allocating nothing, when
    // a window exists, the descriptor is null or not 60 bytes, or it has no
    // notification record.
    bool Create(const DButtonDesc* desc);

    // The initialization-table row "Register DButton".
    static bool RegisterClass();
    static void UnregisterClass();
    // Face colours, font and border width from the key "Button" below the settings key.
    static void LoadSettings(HKEY settingsKey);
    static void SetDefaultFont(const LOGFONTW& font);
    static int BorderWidthSetting();

    // Replaces the caption (length -1: up to the terminator); 0.
    int SetText(const wchar_t* text, int length);
    // Fails unless the buffer holds the caption and a terminator.
    bool GetText(wchar_t* buffer, int capacity) const;
    void SetIcon(HICON icon, int width, int height);
    bool SetCheck(bool checked);
    bool GetCheck() const { return (state_ & DButtonState::kChecked) != 0; }
    bool SetFont(const LOGFONTW& font);
    int CalcHeight() const;
    int GetLineHeight() const { return lineHeight_; }
    int GetTextWidth() const { return captionWidth_; }
    // Twice the border width: what the border takes from the width or height.
    int GetMargin() const { return 2 * borderWidth_; }
    // Whether the icon and the caption, where the layout puts them, lie inside
    // the client area (the caption's lines may lose an eighth of their height
    // to the edges, none of their letters): false when a caption too long or
    // too high for the button is cut.
    bool ContentFits() const;
    // Shows a tip beside the button: placement bits 0x3 (1 left edge, 2 right
    // edge, else the centre) and 0xC (4 top edge, 8 bottom edge, else the centre).
    bool SetToolTip(UINT placement, const wchar_t* text, int length);
    void CancelHover();
    void SetFaceColor(COLORREF color);
    void SetArrowColor(COLORREF color);
    void SetTextColor(COLORREF color);
    void SetLightPen(COLORREF color);
    void SetDarkPen(COLORREF color);
    void SetCheckedPen(COLORREF color);
    void SetShadowOffset(int pixels);

    DWORD GetState() const { return state_; }
    DWORD GetStyle() const { return style_; }
    int LineCount() const { return lineCount_; }
    DToolTip* GetTip() const { return tip_; }
    COLORREF FaceColor() const { return faceColor_; }

    LONG_PTR ownerValue = 0;   // for the owner's own use; the button never reads it

private:
    struct Line {
        int start;
        int length;
        int width;
    };

    friend class DControlWindow<DButton, DButtonInput>;

    // Handlers (one per message of the class's table; double-clicks and
    // characters only report to the owner).
    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnPaint();
    void OnNcPaint(WPARAM region);
    LRESULT OnEraseBkgnd(WPARAM dc);
    void OnSize(int width, int height, WPARAM type);
    void OnShowWindow(WPARAM shown, LPARAM status);
    LRESULT OnNcCalcSize(WPARAM calcValid, LPARAM params);
    void OnWindowPosChanging(LPARAM pos);
    void OnWindowPosChanged(LPARAM pos);
    void OnEnable(WPARAM enabled);
    LRESULT OnMouseActivate(WPARAM topLevel, int hitTest, int message);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnRButtonUp(int x, int y, WPARAM keys);
    void OnMButtonDown(int x, int y, WPARAM keys);
    void OnMButtonUp(int x, int y, WPARAM keys);
    void OnKeyDown(WPARAM key, LPARAM data);
    void OnKeyUp(WPARAM key, LPARAM data);
    void OnSetFocus(WPARAM previous);
    void OnKillFocus(WPARAM next);
    void OnTimer(WPARAM id, LPARAM proc);
    void OnCaptureChanged(LPARAM newCapture);
    void OnMouseLeave();

    // Calls a notification callback; false when the button did not survive it.
    bool Notify(DButtonEvent DButtonNotify::*which);

    // Mouse presses shared by the three buttons.
    bool Press(DWORD bit);     // false when the button did not survive
    bool Release(DWORD bit);   // false when the button did not survive
    void ButtonDown(DWORD enabledBy, DWORD bit, DButtonMouseEvent DButtonInput::*callback, int x, int y, WPARAM keys);
    void ButtonUp(DWORD enabledBy, DWORD bit, DButtonMouseEvent DButtonInput::*callback,
                  DButtonEvent DButtonNotify::*clickKind, int x, int y, WPARAM keys);

    void StoreText(const wchar_t* text, int length);
    void FreeText();
    void MeasureText();
    void Layout();
    void DrawFace(HDC dc, const RECT& dirty);
    void DrawBorder();
    void RepaintFace();
    void StartHoverTimer();
    void KillHoverTimer();
    void FreeRecords();
    void FreeCreation();   // what Create kept for a window that did not come

    DWORD style_ = 0;
    DWORD state_ = 0;
    HPEN lightPen_ = nullptr;        // 0xEFEFEF, raised border's top and left
    HPEN darkPen_ = nullptr;         // black
    HPEN checkedPen_ = nullptr;      // 0x808080
    HDC dc_ = nullptr;               // the window's own DC, held for the window's life
    HFONT font_ = nullptr;           // null: the DC's default font
    COLORREF captionColor_ = 0;
    COLORREF shadowColor_ = 0;
    COLORREF arrowColor_ = 0x0000FF;
    COLORREF disabledFaceColor_ = 0;
    COLORREF faceColor_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int captionX_ = 0;
    int captionY_ = 0;
    int captionWidth_ = 0;           // the widest line
    int lineHeight_ = 0;
    int iconX_ = 0;
    int iconY_ = 0;
    int iconWidth_ = 0;
    int iconHeight_ = 0;
    int captionLength_ = 0;          // characters
    int shadowOffset_ = 0;
    int lineCount_ = 0;
    int borderWidth_ = 1;
    HICON icon_ = nullptr;
    wchar_t* caption_ = nullptr;     // heap copy, not terminated
    Line* lines_ = nullptr;          // multi-line captions only
    UINT_PTR hoverTimer_ = 0;        // 0: no timer held
    DToolTip* tip_ = nullptr;
    const DButtonNotify* notify_ = nullptr;
    bool releasingCapture_ = false;  // Release is handing the capture back itself
};
