// DHeader: creation, registration, column bookkeeping, mouse and painting.
#include "ui/header.h"

#include "foundation/globals.h"
#include "ui/gdi.h"
#include "ui/handler_table.h"
#include "ui/window_create.h"

#include <wchar.h>

namespace {

struct HeaderClass {
    LOGFONTW defaultFont;
    bool fontSet;
    HCURSOR resizeCursor;
    bool cursorOwned;   // loaded from our resources (ours to destroy), not a shared system cursor
} gHeader;

ControlClass gHeaderClass = {DHeader::kClassName, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE,
                             nullptr};

}  // namespace

DHeader::~DHeader()
{
    if (hwnd)
        DestroyWindow(hwnd);
    DeleteAllColumns();
    FreeRecords();
    if (columns_)
        HeapFree(GetProcessHeap(), 0, columns_);
    columns_ = nullptr;
    capacity_ = 0;
}

// ---- class --------------------------------------------------------------------

void DHeader::SetDefaultFont(const LOGFONTW& font)
{
    gHeader.defaultFont = font;
    gHeader.fontSet = true;
}

bool DHeader::GetDefaultFont(LOGFONTW* font)
{
    if (!gHeader.fontSet || !font)
        return false;
    *font = gHeader.defaultFont;
    return true;
}

HCURSOR DHeader::ResizeCursor()
{
    return gHeader.resizeCursor;
}

bool DHeader::RegisterClass()
{
    if (gHeaderClass.registered)
        return false;
    // Our own copy of the cursor resource is ours to destroy; the system's
    // size cursor, taken when the resource is missing, is shared and is not.
    gHeader.resizeCursor = static_cast<HCURSOR>(
        LoadImageW(hInstance, MAKEINTRESOURCEW(kResizeCursorId), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    gHeader.cursorOwned = gHeader.resizeCursor != nullptr;
    if (!gHeader.resizeCursor)
        gHeader.resizeCursor = LoadCursorW(nullptr, IDC_SIZEWE);

    // One line per concern; the right and middle buttons' releases and
    // double-clicks only report to the owner.
    static const HandlerEntry handlers[] = {
        OnMessage<WM_NCCREATE, &DHeader::OnNcCreate>(), OnMessage<WM_DESTROY, &DHeader::OnDestroy>(),
        OnMessage<WM_PAINT, &DHeader::OnPaint>(), OnMessage<WM_ERASEBKGND, &DHeader::OnEraseBkgnd>(),
        OnMessage<WM_NCCALCSIZE, &DHeader::OnNcCalcSize>(), OnMessage<WM_NCPAINT, &DHeader::OnNcPaint>(),
        OnMessage<WM_SIZE, &DHeader::OnSize>(), OnMessage<WM_WINDOWPOSCHANGING, &DHeader::OnWindowPosChanging>(),
        OnMessage<WM_MOUSEMOVE, &DHeader::OnMouseMove>(), OnMessage<WM_CAPTURECHANGED, &DHeader::OnCaptureChanged>(),
        OnMessage<WM_LBUTTONDOWN, &DHeader::OnLButtonDown>(), OnMessage<WM_LBUTTONUP, &DHeader::OnLButtonUp>(),
        OnMessage<WM_LBUTTONDBLCLK, &DHeader::OnLButtonDblClk>(),
        OnMessage<WM_RBUTTONDOWN, &DHeader::OnRButtonDown>(), OnMessage<WM_MBUTTONDOWN, &DHeader::OnMButtonDown>(),
    };
    if (!RegisterControl(gHeaderClass, handlers, ReportInput::kMouse)) {
        if (gHeader.cursorOwned)
            DestroyCursor(gHeader.resizeCursor);
        gHeader.resizeCursor = nullptr;
        return false;
    }
    return true;
}

void DHeader::UnregisterClass()
{
    if (!UnregisterControl(gHeaderClass))
        return;
    if (gHeader.resizeCursor && GetCursor() == gHeader.resizeCursor)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (gHeader.cursorOwned)
        DestroyCursor(gHeader.resizeCursor);
    gHeader.resizeCursor = nullptr;
    gHeader.cursorOwned = false;
}

// ---- creation -------------------------------------------------------------------

bool DHeader::Create(const DHeaderDesc* desc)
{
    // An input copy needs the caller's record; a notification copy of none is zeroed.
    if (!desc || hwnd || ((desc->style & DHeaderStyle::kCopyInput) && !desc->input))
        return false;
    style_ = desc->style;
    cookie_ = desc->cookie;
    if (!HoldRecords(desc->input, (style_ & DHeaderStyle::kCopyInput) != 0, notify_, desc->notify,
                     (style_ & DHeaderStyle::kCopyNotify) != 0))
        return false;
    DWORD visible = (style_ & DHeaderStyle::kVisible) ? WS_VISIBLE : 0;
    if (!CreateControlWindow(WS_EX_NOPARENTNOTIFY, kClassName, visible, desc->x, desc->y, desc->width, desc->height,
                             desc->parent, desc->instance, nullptr, &DHeader::FreeRecords))
        return false;
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    clientWidth_ = rc.right;
    clientHeight_ = rc.bottom;
    return true;
}

void DHeader::FreeRecords()
{
    ReleaseInput();
    ReleaseRecord(notify_, (style_ & DHeaderStyle::kCopyNotify) != 0);
}

LRESULT DHeader::OnNcCreate(HWND, LPARAM createStruct)
{
    CREATESTRUCTW* cs = reinterpret_cast<CREATESTRUCTW*>(createStruct);
    font_ = gHeader.fontSet ? CreateFontIndirectW(&gHeader.defaultFont) : nullptr;
    dc_ = ::GetDC(hwnd);
    if (font_)
        SelectObject(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc_, &tm);
    textHeight_ = tm.tmHeight;
    if ((style_ & DHeaderStyle::kAutoHeight) && cs->cy != textHeight_ + 4) {
        cs->cy = textHeight_ + 4;
        SetWindowPos(hwnd, nullptr, 0, 0, cs->cx, cs->cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    }
    dragState_ = 0;
    activeColumn_ = -1;
    scrollPos_ = 0;
    backBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    return TRUE;
}

void DHeader::OnDestroy()
{
    if (dragState_)
        EndTracking();
    DeleteAllColumns();
    FreeRecords();
    if (dc_) {
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        ::ReleaseDC(hwnd, dc_);
    }
    dc_ = nullptr;
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
    if (backBrush_)
        DeleteObject(backBrush_);
    backBrush_ = nullptr;
    clientWidth_ = clientHeight_ = 0;
}

void DHeader::OnWindowPosChanging(LPARAM pos)
{
    WINDOWPOS* wp = reinterpret_cast<WINDOWPOS*>(pos);
    if ((style_ & DHeaderStyle::kAutoHeight) && !(wp->flags & SWP_NOSIZE))
        wp->cy = textHeight_ + 4;
}

void DHeader::OnSize(int width, int height, WPARAM)
{
    captionY_ = (height - textHeight_) / 2;
    if (captionY_ < 1)
        captionY_ = 1;
    // Growing past the end of the columns brings them back to the right edge.
    if (width > clientWidth_ && totalWidth_ - scrollPos_ < width) {
        scrollPos_ -= width - (totalWidth_ - scrollPos_);
        if (scrollPos_ < 0)
            scrollPos_ = 0;
    }
    clientWidth_ = width;
    clientHeight_ = height;
}

LRESULT DHeader::OnNcCalcSize(WPARAM, LPARAM)
{
    return 0;   // no non-client border
}

// ---- columns ------------------------------------------------------------------------

bool DHeader::Grow()
{
    if (count_ < capacity_)
        return true;
    int capacity = capacity_ ? capacity_ * 2 : 8;
    HANDLE heap = GetProcessHeap();
    void* grown = columns_ ? HeapReAlloc(heap, HEAP_ZERO_MEMORY, columns_, capacity * sizeof(Column))
                           : HeapAlloc(heap, HEAP_ZERO_MEMORY, capacity * sizeof(Column));
    if (!grown)
        return false;
    columns_ = static_cast<Column*>(grown);
    capacity_ = capacity;
    return true;
}

bool DHeader::InsertColumn(const DHeaderItem& item)
{
    int index = item.index == -1 ? count_ : item.index;
    if (index < 0 || index > count_ || !Grow())
        return false;
    Column column = {};
    column.flags = item.flags;
    column.width = item.width < 0 ? 0 : item.width > kMaxWidth ? kMaxWidth : item.width;
    if ((item.flags & DHeaderFlags::kHasCaption) && item.caption) {
        column.length = static_cast<int>(wcslen(item.caption));
        if (column.length > 2) {
            column.text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, column.length * sizeof(wchar_t)));
            if (!column.text)
                return false;
            wmemcpy(column.text, item.caption, column.length);
        } else {
            wmemcpy(column.inlineText, item.caption, column.length);
        }
    }
    if (item.flags & DHeaderFlags::kHasData)
        column.data = item.data;
    column.x = index == 0 ? 0 : columns_[index - 1].x + columns_[index - 1].width;
    for (int i = count_; i > index; --i) {
        columns_[i] = columns_[i - 1];
        columns_[i].x += column.width;
    }
    columns_[index] = column;
    totalWidth_ += column.width;
    ++count_;
    if (hwnd) {
        RECT dirty = {column.x - scrollPos_, 0, clientWidth_, clientHeight_};
        if (dirty.left < 0)
            dirty.left = 0;
        InvalidateRect(hwnd, &dirty, FALSE);
    }
    return true;
}

bool DHeader::DeleteColumn(int index)
{
    if (index < 0 || index >= count_)
        return false;
    // A drag or hover names its column by index: it ends with the columns it names.
    if (dragState_)
        EndTracking();
    Column& gone = columns_[index];
    int visibleX = gone.x - scrollPos_;
    int x = gone.x;
    if (gone.length > 2 && gone.text)
        HeapFree(GetProcessHeap(), 0, gone.text);
    totalWidth_ -= gone.width;
    for (int i = index; i + 1 < count_; ++i) {
        columns_[i] = columns_[i + 1];
        columns_[i].x = x;
        x += columns_[i].width;
    }
    --count_;
    columns_[count_] = Column{};
    // A column scrolled off to the left moves everything after it: repaint
    // from the left edge then.
    if (hwnd && visibleX < clientWidth_) {
        RECT dirty = {visibleX < 0 ? 0 : visibleX, 0, clientWidth_, clientHeight_};
        InvalidateRect(hwnd, &dirty, FALSE);
    }
    return true;
}

void DHeader::DeleteAllColumns()
{
    if (dragState_)
        EndTracking();
    for (int i = 0; i < count_; ++i)
        if (columns_[i].length > 2 && columns_[i].text)
            HeapFree(GetProcessHeap(), 0, columns_[i].text);
    if (columns_)
        ZeroMemory(columns_, capacity_ * sizeof(Column));
    count_ = 0;
    totalWidth_ = 0;
    scrollPos_ = 0;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void DHeader::ApplyWidth(int index, int width)
{
    if (width < 0)
        width = 0;
    if (width > kMaxWidth)
        width = kMaxWidth;
    int delta = width - columns_[index].width;
    columns_[index].width = width;
    for (int i = index + 1; i < count_; ++i)
        columns_[i].x += delta;
    totalWidth_ += delta;
}

bool DHeader::SetColumnWidth(int index, int width)
{
    if (index < 0 || index >= count_)
        return false;
    ApplyWidth(index, width);
    if (notify_ && notify_->widthChanged)
        notify_->widthChanged(cookie_, this, index, columns_[index].width);
    Repaint();
    return true;
}

int DHeader::GetColumnWidth(int index) const
{
    return index >= 0 && index < count_ ? columns_[index].width : -1;
}

int DHeader::GetColumnX(int index) const
{
    return index >= 0 && index < count_ ? columns_[index].x : -1;
}

LONG_PTR DHeader::GetColumnData(int index) const
{
    return index >= 0 && index < count_ ? columns_[index].data : 0;
}

const wchar_t* DHeader::GetColumnText(int index, int* length) const
{
    if (index < 0 || index >= count_ || columns_[index].length == 0) {
        if (length)
            *length = 0;
        return nullptr;
    }
    if (length)
        *length = columns_[index].length;
    return columns_[index].Text();
}

void DHeader::SetScrollPos(int x)
{
    if (x == scrollPos_)
        return;
    if (dragState_)
        EndTracking();
    scrollPos_ = x;
    if (hwnd) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
}

void DHeader::SetBackColor(COLORREF color, bool repaint)
{
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush)
        return;
    if (backBrush_)
        DeleteObject(backBrush_);
    backBrush_ = brush;
    if (repaint)
        Repaint();
}

bool DHeader::SetColumnPressed(int index, bool pressed)
{
    if (index < 0 || index >= count_)
        return false;
    DWORD state = pressed ? 1 : 0;
    if ((columns_[index].state & 1) != state) {
        columns_[index].state = (columns_[index].state & ~1u) | state;
        Repaint();
    }
    return true;
}

bool DHeader::IsColumnPressed(int index) const
{
    return index >= 0 && index < count_ && (columns_[index].state & 1);
}

void DHeader::Repaint()
{
    if (hwnd) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
}

// ---- painting -------------------------------------------------------------------

void DHeader::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Paint(dc);
    EndPaint(hwnd, &ps);
    if (dragState_ & kDragging)
        DrawDragLine(dragX_);   // the line is inverted over what was painted
}

LRESULT DHeader::OnEraseBkgnd(WPARAM)
{
    return 1;   // Paint fills everything
}

void DHeader::OnNcPaint(WPARAM)
{
    DrawWindowFrame(hwnd, GetStockObject(WHITE_PEN), GetStockObject(BLACK_PEN));
}

// The caption's room: inside the column's frame, from left + 2 to right - 2
// (right - 1 in the first column), in client coordinates.
RECT DHeader::CaptionRect(const Column& column, bool first) const
{
    const int left = column.x - scrollPos_;
    const int right = left + column.width - 1;
    return RECT{left + 2, captionY_, first ? right - 1 : right - 2, clientHeight_ - 1};
}

bool DHeader::CaptionFits(HDC dc, const Column& column, const RECT& room)
{
    SIZE size = {};
    return !GetTextExtentPoint32W(dc, column.Text(), column.length, &size) || size.cx <= room.right - room.left;
}

void DHeader::DrawColumn(HDC dc, const Column& column, bool first) const
{
    int left = column.x - scrollPos_;
    int right = left + column.width - 1;
    if (left > clientWidth_ || right < 0)
        return;
    int h = clientHeight_;
    if (column.length > 0) {
        static const UINT kAlign[4] = {DT_LEFT, DT_CENTER, DT_RIGHT, DT_LEFT};
        RECT text = CaptionRect(column, first);
        // A caption wider than its room, centred or right-aligned, would lose
        // its first letters too: it starts at the left edge instead, and an
        // ellipsis at its end says that it goes on.
        const UINT align = CaptionFits(dc, column, text) ? kAlign[column.flags & DHeaderFlags::kAlignMask]
                                                          : DT_LEFT | DT_END_ELLIPSIS;
        DrawTextW(dc, column.Text(), column.length, &text, DT_SINGLELINE | DT_NOPREFIX | align);
    }
    if (right > clientWidth_)
        right = clientWidth_;
    bool pressed = (column.state & 1) != 0;
    HGDIOBJ white = GetStockObject(WHITE_PEN), black = GetStockObject(BLACK_PEN);
    ScopedSelect keep(dc, pressed ? black : white);
    MoveToEx(dc, left, h - 1, nullptr);
    LineTo(dc, left, 0);
    LineTo(dc, right, 0);
    SelectObject(dc, pressed ? white : black);
    LineTo(dc, right, h - 1);
    LineTo(dc, left, h - 1);
}

bool DHeader::ColumnTextFits(int index) const
{
    if (index < 0 || index >= count_ || columns_[index].length <= 0 || !dc_)
        return true;
    const Column& column = columns_[index];
    ScopedSelect font(dc_, font_ ? static_cast<HGDIOBJ>(font_) : GetCurrentObject(dc_, OBJ_FONT));
    return CaptionFits(dc_, column, CaptionRect(column, index == 0));
}

void DHeader::Paint(HDC dc)
{
    if (clientWidth_ <= 0 || clientHeight_ <= 0 || !dc)
        return;
    DBufferDC buffer(dc, clientWidth_, clientHeight_);
    HDC t = buffer ? buffer.Get() : dc;
    RECT all = {0, 0, clientWidth_, clientHeight_};
    FillRect(t, &all, backBrush_ ? backBrush_ : GetSysColorBrush(COLOR_BTNFACE));
    {
        ScopedSelect font(t, font_ ? static_cast<HGDIOBJ>(font_) : (dc_ ? GetCurrentObject(dc_, OBJ_FONT) : nullptr));
        int oldMode = SetBkMode(t, TRANSPARENT);
        COLORREF oldColor = SetTextColor(t, GetSysColor(COLOR_BTNTEXT));
        for (int i = 0; i < count_; ++i)
            DrawColumn(t, columns_[i], i == 0);
        SetTextColor(t, oldColor);
        SetBkMode(t, oldMode);
    }
    // Right of the last column the background shows, with the top highlight.
    int end = totalWidth_ - scrollPos_;
    if (end < clientWidth_) {
        ScopedSelect pen(t, GetStockObject(WHITE_PEN));
        MoveToEx(t, end < 0 ? 0 : end, 0, nullptr);
        LineTo(t, clientWidth_, 0);
    }
    if (buffer)
        buffer.CopyTo(dc, 0, 0);
}

// ---- mouse ------------------------------------------------------------------------

// The divider zone of a column spans from its visible right edge - 3
// (exclusive) to that value + 5, and counts only right of its left edge.
bool DHeader::InZone(int column, int x) const
{
    if (column < 0 || column >= count_)
        return false;
    const Column& c = columns_[column];
    int edge = c.x + c.width - scrollPos_ - 3;
    return x > edge && x <= edge + 5 && x + scrollPos_ >= c.x;
}

int DHeader::HitDivider(int x) const
{
    for (int i = 0; i < count_; ++i)
        if (InZone(i, x))
            return i;
    return -1;
}

void DHeader::BeginTracking(int column)
{
    if (!(dragState_ & (kDragging | kHovering))) {
        HWND previous = ::SetCapture(hwnd);
        previousCapture_ = previous == hwnd ? nullptr : previous;
        previousCursor_ = SetCursor(gHeader.resizeCursor);
    }
    activeColumn_ = column;
}

void DHeader::EndTracking()
{
    DWORD was = dragState_;
    dragState_ = 0;   // first: handing the capture back sends WM_CAPTURECHANGED
    if (was & kDragging)
        DrawDragLine(dragX_);   // erase
    HWND previous = previousCapture_;
    previousCapture_ = nullptr;
    if (GetCapture() == hwnd) {
        if (previous && IsWindow(previous))
            ::SetCapture(previous);
        else
            ReleaseCapture();
    }
    if (was)
        SetCursor(previousCursor_ ? previousCursor_ : LoadCursorW(nullptr, IDC_ARROW));
    previousCursor_ = nullptr;
}

void DHeader::DrawDragLine(int x)
{
    if (!dc_)
        return;
    int old = SetROP2(dc_, R2_NOT);
    MoveToEx(dc_, x, 1, nullptr);
    LineTo(dc_, x, clientHeight_ - 1);
    SetROP2(dc_, old);
}

void DHeader::OnCaptureChanged(LPARAM newCapture)
{
    if (dragState_ && reinterpret_cast<HWND>(newCapture) != hwnd) {
        previousCapture_ = nullptr;
        EndTracking();
    }
}

void DHeader::OnMouseMove(int x, int y, WPARAM keys)
{
    if (dragState_ && (activeColumn_ < 0 || activeColumn_ >= count_))
        EndTracking();
    if (dragState_ & kDragging) {
        int minimum = columns_[activeColumn_].x - scrollPos_;
        int nx = x < minimum ? minimum : x;
        if (nx != dragX_) {
            DrawDragLine(dragX_);
            DrawDragLine(nx);
            dragX_ = nx;
        }
    } else if (!(style_ & DHeaderStyle::kNoResize)) {
        if ((dragState_ & kHovering) && (!InZone(activeColumn_, x) || y < 0 || y > clientHeight_))
            EndTracking();
        if (!(dragState_ & kHovering) && y >= 0 && y <= clientHeight_) {
            int hit = HitDivider(x);
            if (hit >= 0) {
                BeginTracking(hit);
                dragState_ |= kHovering;
            }
        }
    }
    Report(&DHeaderInput::mouseMove, keys, x, y);
}

void DHeader::OnLButtonDown(int x, int y, WPARAM keys)
{
    if (!(style_ & DHeaderStyle::kNoResize) && !(dragState_ & kDragging)) {
        int hit = HitDivider(x);
        if (hit >= 0) {
            BeginTracking(hit);
            dragState_ = kDragging;
            int minimum = columns_[hit].x - scrollPos_;
            dragX_ = x < minimum ? minimum : x;
            DrawDragLine(dragX_);
        }
    }
    Report(&DHeaderInput::leftDown, keys, x, y);
}

void DHeader::OnLButtonUp(int x, int y, WPARAM keys)
{
    if ((dragState_ & kDragging) && (activeColumn_ < 0 || activeColumn_ >= count_))
        EndTracking();
    if (dragState_ & kDragging) {
        int column = activeColumn_;
        int width = dragX_ + scrollPos_ - columns_[column].x;
        EndTracking();
        ApplyWidth(column, width);
        if (notify_ && notify_->widthChanged)
            notify_->widthChanged(cookie_, this, column, columns_[column].width);
        Repaint();
    }
    Report(&DHeaderInput::leftUp, keys, x, y);
}

void DHeader::OnLButtonDblClk(int x, int y, WPARAM keys)
{
    int hit = HitDivider(x);
    if (hit >= 0) {
        if (dragState_)
            EndTracking();
        if (notify_ && notify_->optimalWidth) {
            int width = notify_->optimalWidth(cookie_, this, hit, columns_[hit].width);
            if (hwnd && hit < count_ && width >= 0 && width != columns_[hit].width) {
                ApplyWidth(hit, width);
                if (notify_->widthChanged)
                    notify_->widthChanged(cookie_, this, hit, columns_[hit].width);
                Repaint();
            }
        }
    }
    Report(&DHeaderInput::leftDoubleClick, keys, x, y);
}

void DHeader::OnRButtonDown(int x, int y, WPARAM keys)
{
    for (int i = 0; i < count_; ++i)
        if (InZone(i, x) && notify_ && notify_->dividerButton)
            notify_->dividerButton(cookie_, this, i, 2);
    Report(&DHeaderInput::rightDown, keys, x, y);
}

void DHeader::OnMButtonDown(int x, int y, WPARAM keys)
{
    for (int i = 0; i < count_; ++i)
        if (InZone(i, x) && notify_ && notify_->dividerButton)
            notify_->dividerButton(cookie_, this, i, 3);
    Report(&DHeaderInput::middleDown, keys, x, y);
}

