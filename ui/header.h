// DHeader: the column header strip of the list view.
//
// A child window of the class "Quil header control" that draws a row of
// raised column captions, lets the user resize a column by dragging the
// divider at its right edge (an inverted vertical line follows the mouse),
// asks the owner for an optimal width on a double-click of a divider, and
// scrolls horizontally with the list. It reports through callback records
// whose first argument is the owner's cookie.
//
// Columns are kept in display order; each knows its left edge x in column
// coordinates (the sum of the widths before it) and the header shows them
// shifted left by the scroll position.
//
// Drag state machine (dragState_):
//   idle -> kHovering (the pointer reaches a divider zone: capture and the
//           resize cursor are taken, remembering their previous holders)
//        -> kDragging (left button down on a divider; the inverted drag line
//           is shown) -> idle on left button up (the new width is applied and
//           reported) or on a divider double-click;
//   kHovering -> idle on leaving the zone, a double-click or losing the capture.
// EndTracking is the one way back to idle: it erases a drag line, hands the
// capture back and restores the cursor.
//
// Painting: one routine (Paint) draws the whole strip into any DC through an
// off-screen buffer.
#pragma once

#include "resources/resource.h"
#include "ui/control_base.h"

class DHeader;

typedef DInputRecord<DHeader> DHeaderInput;

struct DHeaderNotify {
    void (*widthChanged)(void* cookie, DHeader* header, int column, int width);
    // The width to apply, or a negative value for none.
    int (*optimalWidth)(void* cookie, DHeader* header, int column, int width);
    void* unused3;
    void* unused4;
    // A right (2) or middle (3) button pressed over the column's divider.
    void (*dividerButton)(void* cookie, DHeader* header, int column, int button);
};
static_assert(sizeof(DHeaderNotify) == 20, "five callbacks");

struct DHeaderDesc {
    DWORD style;   // DHeaderStyle
    void* cookie;
    HWND parent;
    int x;
    int y;
    int width;
    int height;
    HINSTANCE instance;
    const DHeaderInput* input;
    const DHeaderNotify* notify;
};
static_assert(sizeof(DHeaderDesc) == 40, "ten 32-bit words");

namespace DHeaderStyle {
constexpr DWORD kAutoHeight = 0x1;           // height = text height + 4
constexpr DWORD kNoResize = 0x2;             // no divider hit testing for moves and presses
constexpr DWORD kCopyNotify = 0x4;          // a zeroed record when the descriptor gives none
using ControlStyle::kCopyInput;              // the descriptor must then give a record
using ControlStyle::kVisible;
}  // namespace DHeaderStyle

namespace DHeaderFlags {
constexpr DWORD kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2, kAlignMask = 0x3;
constexpr DWORD kHasCaption = 0x4;
constexpr DWORD kHasData = 0x8;
}  // namespace DHeaderFlags

// An insert request.
struct DHeaderItem {
    DWORD flags;              // DHeaderFlags
    int index;                // -1 appends
    LONG_PTR data;            // with kHasData
    int width;
    const wchar_t* caption;   // with kHasCaption
};

class DHeader : public DControlWindow<DHeader, DHeaderInput> {
public:
    static constexpr const wchar_t* kClassName = L"Quil header control";
    static constexpr UINT kResizeCursorId = IDC_HEADER_RESIZE;
    // Widths are kept within 0 .. kMaxWidth, so edges and totals stay far
    // from the int range.
    static constexpr int kMaxWidth = 32767;

    DHeader() = default;
    ~DHeader();

    // True when the window exists. Fails when the header already has a
    // window, when the input record must be copied and none is given, or when
    // a copy or the window cannot be made (the copies are freed).
    bool Create(const DHeaderDesc* desc);

    bool InsertColumn(const DHeaderItem& item);
    bool DeleteColumn(int index);
    void DeleteAllColumns();
    bool SetColumnWidth(int index, int width);
    int GetHeight() const { return clientHeight_; }
    void SetScrollPos(int x);
    int GetScrollPos() const { return scrollPos_; }
    void SetBackColor(COLORREF color, bool repaint);
    bool SetColumnPressed(int index, bool pressed);
    bool IsColumnPressed(int index) const;

    int GetColumnCount() const { return count_; }
    int GetColumnWidth(int index) const;   // -1 for no such column
    int GetColumnX(int index) const;       // -1 for no such column
    LONG_PTR GetColumnData(int index) const;
    // The caption (not terminated) and its length; null for none.
    const wchar_t* GetColumnText(int index, int* length) const;
    int GetTotalWidth() const { return totalWidth_; }
    // Whether the column's caption, in the header's font, fits the room its
    // column gives it (the column less its edges); true without a caption.
    bool ColumnTextFits(int index) const;
    DWORD GetDragState() const { return dragState_; }
    int GetDragX() const { return dragX_; }

    // Paints the whole strip into `dc` (the header's client size).
    void Paint(HDC dc);

    static void SetDefaultFont(const LOGFONTW& font);
    static bool GetDefaultFont(LOGFONTW* font);
    // The initialization-table row "Register DHeader".
    static bool RegisterClass();
    static void UnregisterClass();
    static HCURSOR ResizeCursor();

    static constexpr DWORD kDragging = 0x1, kHovering = 0x2;

private:
    struct Column {
        DWORD flags;
        DWORD state;           // 0x1 pressed: drawn sunken
        LONG_PTR data;         // the owner's value, never drawn
        int x;                 // left edge in column coordinates
        int width;
        int length;            // caption length in characters
        wchar_t* text;         // heap copy, not terminated, when longer than 2
        wchar_t inlineText[2]; // captions of up to 2 characters
        const wchar_t* Text() const { return length > 2 ? text : inlineText; }
    };

    friend class DControlWindow<DHeader, DHeaderInput>;

    LRESULT OnNcCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnPaint();
    void OnNcPaint(WPARAM region);
    LRESULT OnEraseBkgnd(WPARAM dc);
    void OnSize(int width, int height, WPARAM type);
    LRESULT OnNcCalcSize(WPARAM calcValid, LPARAM params);
    void OnWindowPosChanging(LPARAM pos);
    void OnCaptureChanged(LPARAM newCapture);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);
    void OnLButtonDblClk(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnMButtonDown(int x, int y, WPARAM keys);

    bool InZone(int column, int x) const;
    int HitDivider(int x) const;
    void BeginTracking(int column);   // takes the capture and the resize cursor
    void EndTracking();
    void DrawDragLine(int x);
    void ApplyWidth(int index, int width);   // later columns and the total follow
    RECT CaptionRect(const Column& column, bool first) const;
    // Whether the caption, in the font selected into `dc`, fits the room.
    static bool CaptionFits(HDC dc, const Column& column, const RECT& room);
    void DrawColumn(HDC dc, const Column& column, bool first) const;
    void Repaint();
    void FreeRecords();
    bool Grow();

    DWORD style_ = 0;
    DWORD dragState_ = 0;             // kDragging, kHovering
    HDC dc_ = nullptr;                // the window's own DC
    HFONT font_ = nullptr;            // null: the DC's font
    const DHeaderNotify* notify_ = nullptr;
    HWND previousCapture_ = nullptr;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int totalWidth_ = 0;              // sum of the widths
    int scrollPos_ = 0;               // x of the left edge in column coordinates
    int captionY_ = 1;
    int textHeight_ = 0;              // tmHeight of the font
    int activeColumn_ = -1;           // being resized or hovered
    int dragX_ = 0;                   // x of the drag line (client coordinates)
    HCURSOR previousCursor_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    HBRUSH backBrush_ = nullptr;      // own solid brush, COLOR_BTNFACE at creation
    Column* columns_ = nullptr;
};
