// DListView: layout, scrolling and painting.
#include "ui/listview.h"

#include "ui/gdi.h"

#include <stdlib.h>

// Places the header and the bars and works out the rows area. A bar is shown
// only when its content does not fit; showing the vertical bar can make the
// horizontal one needed.
void DListView::Layout()
{
    int oldViewWidth = viewWidth_;
    viewWidth_ = clientWidth_;
    if (clientWidth_ <= 0 || clientHeight_ <= 0)
        return;
    bool withHeader = (style_ & DListViewStyle::kHeader) && header_.GetHwnd();
    rowsTop_ = withHeader ? header_.GetHeight() : 0;
    viewHeight_ = clientHeight_ - rowsTop_;
    int thickness = DScroll::Thickness();
    bool needH = false, needV = false;
    if ((style_ & DListViewStyle::kHScroll) && viewWidth_ < totalWidth_) {
        needH = true;
        viewHeight_ -= thickness;
    }
    if ((style_ & DListViewStyle::kVScroll) && viewHeight_ < totalHeight_) {
        needV = true;
        viewWidth_ -= thickness;
        if ((style_ & DListViewStyle::kHScroll) && !needH && viewWidth_ < totalWidth_) {
            needH = true;
            viewHeight_ -= thickness;
        }
    }
    if (vbarAt_ != clientWidth_) {
        vbarAt_ = clientWidth_;
        vbarLength_ = -1;   // pinned to the right edge: place it again
    }
    if (withHeader && viewWidth_ != oldViewWidth)
        header_.Move(0, 0, viewWidth_, 0, TRUE);
    if (viewHeight_ < 0)
        viewHeight_ = 0;
    visibleRows_ = rowHeight_ > 0 ? viewHeight_ / rowHeight_ : 0;
    // The bars are moved only when their length changes: the owner adds rows
    // one by one, and every move is a round trip to the window system.
    if (vbar_.GetHwnd()) {
        if (vbarLength_ != rowsTop_ + viewHeight_) {
            vbarLength_ = rowsTop_ + viewHeight_;
            vbar_.Move(0, 0, 0, vbarLength_, TRUE);
        }
        vbar_.Show(needV);
    }
    if (!(style_ & DListViewStyle::kWindowMode))
        vbar_.SetPage(visibleRows_);
    if (hbar_.GetHwnd()) {
        if (hbarLength_ != viewWidth_ || hbarAt_ != clientHeight_) {
            hbarLength_ = viewWidth_;
            hbarAt_ = clientHeight_;
            hbar_.Move(0, 0, viewWidth_, 0, TRUE);
        }
        hbar_.Show(needH);
    }
    hbar_.SetPage(viewWidth_ - 1);
}

bool DListView::OffScreen(int row) const
{
    return visibleRows_ > 0 && (row < firstRow_ || row >= firstRow_ + visibleRows_);
}

void DListView::ScrollTo(int first)
{
    vbar_.SetPos(first);
}

void DListView::InvalidateRow(int row)
{
    if (!hwnd || row < firstRow_ || row >= firstRow_ + visibleRows_ + 1)
        return;
    int y = rowsTop_ + (row - firstRow_) * rowHeight_;
    RECT r = {0, y, viewWidth_, y + rowHeight_};
    InvalidateRect(hwnd, &r, FALSE);
}

void DListView::InvalidateRows(int fromRow)
{
    if (!hwnd)
        return;
    int y = rowsTop_ + (fromRow - firstRow_) * rowHeight_;
    if (y < rowsTop_)
        y = rowsTop_;
    RECT r = {0, y, viewWidth_, rowsTop_ + viewHeight_};
    if (r.bottom > r.top)
        InvalidateRect(hwnd, &r, FALSE);
}

void DListView::OnVScroll(int position)
{
    if (style_ & DListViewStyle::kWindowMode) {
        if (notify_ && notify_->scrollRequest)
            notify_->scrollRequest(cookie_, this, position);
        return;
    }
    int dy = (position - firstRow_) * rowHeight_;
    if (dy == 0)
        return;
    firstRow_ = position;
    if (!hwnd)
        return;
    int shown = visibleRows_ * rowHeight_;
    RECT area = {0, rowsTop_, viewWidth_, rowsTop_ + shown};
    if (abs(dy) < shown) {
        ScrollWindowEx(hwnd, 0, -dy, &area, &area, nullptr, nullptr, SW_INVALIDATE);
    } else {
        RECT all = {0, rowsTop_, viewWidth_, rowsTop_ + viewHeight_};
        InvalidateRect(hwnd, &all, FALSE);
    }
    UpdateWindow(hwnd);
}

void DListView::OnHScroll(int position)
{
    int delta = position - horizontalOffset_;
    horizontalOffset_ = position;
    if (delta == 0)
        return;
    if ((style_ & DListViewStyle::kHeader) && header_.GetHwnd())
        header_.SetScrollPos(position);
    if (!hwnd)
        return;
    if (GetRowCount() > 0) {
        RECT area = {0, rowsTop_, viewWidth_, rowsTop_ + viewHeight_};
        if (abs(delta) < viewWidth_)
            ScrollWindowEx(hwnd, -delta, 0, &area, &area, nullptr, nullptr, SW_INVALIDATE);
        else
            InvalidateRect(hwnd, &area, FALSE);
    }
    UpdateWindow(hwnd);
}

// ---- painting ------------------------------------------------------------------------

void DListView::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Paint(dc, ps.rcPaint);
    EndPaint(hwnd, &ps);
}

LRESULT DListView::OnEraseBkgnd(WPARAM)
{
    return 1;   // Paint fills the rows area itself
}

void DListView::OnNcPaint(WPARAM)
{
    DrawWindowFrame(hwnd, GetStockObject(BLACK_PEN), GetStockObject(WHITE_PEN));
}

void DListView::DrawRow(HDC dc, BYTE* row, int y) const
{
    bool selected = (reinterpret_cast<const CellHead*>(row)->state & 3) != 0;
    if (selected) {
        RECT r = {0, y, viewWidth_, y + rowHeight_};
        FillRect(dc, &r, selectBrush_ ? selectBrush_ : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    for (int i = 0; i < columnCount_; ++i) {
        const Column& c = columns_[i];
        int left = c.x - horizontalOffset_ + 3;
        int right = c.x - horizontalOffset_ - 3 + c.width;
        if (right < 0)
            continue;
        if (left > viewWidth_)
            break;
        if (right > viewWidth_)
            right = viewWidth_;
        if (!(c.headerFlags & DListColumnFlags::kCaption))
            continue;
        const CellHead* cell = reinterpret_cast<const CellHead*>(row + c.offset);
        if (cell->length <= 0)
            continue;
        // A text wider than its cell starts at the cell's left edge whatever
        // its alignment, so that it is cut at its end, never at its start.
        const DWORD align = cell->width > right - left ? DListColumnFlags::kAlignLeft
                                                       : c.cellKind & DListColumnFlags::kAlignMask;
        int x;
        switch (align) {
        case DListColumnFlags::kAlignRight:
            x = right - cell->width;
            break;
        case DListColumnFlags::kAlignCenter:
            x = left + (right - left - cell->width) / 2;
            break;
        default:
            x = left;
            break;
        }
        RECT clip = {left, y, right, y + rowHeight_};
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, reinterpret_cast<const wchar_t*>(row + c.offset + kCellHead),
                    cell->length, nullptr);
    }
    SetTextColor(dc, RGB(0, 0, 0));
}

void DListView::Paint(HDC dc, const RECT& dirty)
{
    if (!dc || clientWidth_ <= 0 || clientHeight_ <= 0)
        return;
    RECT rows = {0, rowsTop_, viewWidth_, rowsTop_ + viewHeight_};
    RECT corner = {0, 0, 0, 0};
    if (hbar_.GetHwnd() && vbar_.GetHwnd() && hbar_.IsVisible() && vbar_.IsVisible())
        corner = RECT{viewWidth_, rowsTop_ + viewHeight_, clientWidth_, clientHeight_};
    RECT rowsPart, cornerPart;
    bool paintRows = IntersectRect(&rowsPart, &rows, &dirty) != FALSE;
    bool paintCorner = IntersectRect(&cornerPart, &corner, &dirty) != FALSE;
    if (!paintRows && !paintCorner)
        return;

    DBufferDC buffer(dc, clientWidth_, clientHeight_);
    HDC t = buffer ? buffer.Get() : dc;
    FillRect(t, &rows, backBrush_ ? backBrush_ : GetSysColorBrush(COLOR_WINDOW));
    if (paintCorner)
        FillRect(t, &corner, GetSysColorBrush(COLOR_BTNFACE));
    int n = GetRowCount();
    int first = (style_ & DListViewStyle::kWindowMode) ? 0 : firstRow_;
    if (n > first && columnCount_ > 0 && rowHeight_ > 0) {
        ScopedSelect font(t, font_ ? static_cast<HGDIOBJ>(font_) : (dc_ ? GetCurrentObject(dc_, OBJ_FONT) : nullptr));
        int oldMode = SetBkMode(t, TRANSPARENT);
        COLORREF oldColor = GetTextColor(t);
        // Walk the chain directly from the first visible row.
        Block* b = FindBlock(first / rowsPerBlock_);
        int slot = first % rowsPerBlock_;
        int bottom = rowsTop_ + viewHeight_;
        for (int r = first, y = rowsTop_; r < n && y + rowHeight_ <= bottom && b; ++r, y += rowHeight_) {
            DrawRow(t, Slot(b, slot, rowSize_), y);
            if (++slot == rowsPerBlock_) {
                b = b->next;
                slot = 0;
            }
        }
        SetTextColor(t, oldColor);
        SetBkMode(t, oldMode);
    }
    if (buffer) {
        if (paintRows)
            BitBlt(dc, rowsPart.left, rowsPart.top, rowsPart.right - rowsPart.left, rowsPart.bottom - rowsPart.top, t,
                   rowsPart.left, rowsPart.top, SRCCOPY);
        if (paintCorner)
            BitBlt(dc, cornerPart.left, cornerPart.top, cornerPart.right - cornerPart.left,
                   cornerPart.bottom - cornerPart.top, t, cornerPart.left, cornerPart.top, SRCCOPY);
    }
}
