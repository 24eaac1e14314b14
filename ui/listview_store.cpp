// DListView: the row blocks, columns and items.
#include "ui/listview.h"

#include <string.h>
#include <wchar.h>

namespace {

int gGranularity;   // read once at registration

int UsableBlockSize()
{
    return DListView::Granularity() - 11;
}

}  // namespace

int DListView::Granularity()
{
    if (!gGranularity) {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        gGranularity = static_cast<int>(si.dwAllocationGranularity);
    }
    return gGranularity;
}

// ---- blocks -------------------------------------------------------------------

DListView::Block* DListView::NewBlock()
{
    return static_cast<Block*>(VirtualAlloc(nullptr, Granularity(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void DListView::FreeChain(Block* first)
{
    while (first) {
        Block* next = first->next;
        VirtualFree(first, 0, MEM_RELEASE);
        first = next;
    }
}

void DListView::FreeRows()
{
    FreeChain(firstBlock_);
    firstBlock_ = lastBlock_ = nullptr;
    blockCount_ = 0;
    cachedBlock_ = nullptr;
    cachedIndex_ = -1;
}

// Walks to block `index` from the nearest of the first block, the last block
// and the block found last time.
DListView::Block* DListView::FindBlock(int index) const
{
    if (index < 0 || index >= blockCount_)
        return nullptr;
    Block* b;
    int at, fromFirst = index, fromLast = blockCount_ - 1 - index;
    int fromCache = cachedIndex_ >= 0 ? (index > cachedIndex_ ? index - cachedIndex_ : cachedIndex_ - index) : blockCount_;
    if (fromCache <= fromFirst && fromCache <= fromLast) {
        b = cachedBlock_;
        at = cachedIndex_;
    } else if (fromFirst <= fromLast) {
        b = firstBlock_;
        at = 0;
    } else {
        b = lastBlock_;
        at = blockCount_ - 1;
    }
    while (at < index) {
        b = b->next;
        ++at;
    }
    while (at > index) {
        b = b->previous;
        --at;
    }
    cachedBlock_ = b;
    cachedIndex_ = index;
    return b;
}

BYTE* DListView::RowAt(int row) const
{
    if (rowsPerBlock_ <= 0)
        return nullptr;
    Block* b = FindBlock(row / rowsPerBlock_);
    return b ? Slot(b, row % rowsPerBlock_, rowSize_) : nullptr;
}

// Moves rows row .. count - 1 one slot later (the blocks already have room
// for row `count`), the last row of a full block going to slot 0 of the next.
void DListView::MakeRoomAt(int row, int count)
{
    if (row >= count)
        return;
    int rpb = rowsPerBlock_;
    int firstIndex = row / rpb, lastIndex = count / rpb;
    Block* b = FindBlock(lastIndex);
    for (int bi = lastIndex; bi >= firstIndex; --bi, b = b->previous) {
        int base = bi * rpb;
        int start = bi == firstIndex ? row - base : 0;
        int existing = count - base < rpb ? count - base : rpb;
        if (existing <= 0)
            continue;
        if (existing == rpb) {
            memcpy(Slot(b->next, 0, rowSize_), Slot(b, rpb - 1, rowSize_), rowSize_);
            --existing;
        }
        if (existing > start)
            memmove(Slot(b, start + 1, rowSize_), Slot(b, start, rowSize_), (existing - start) * rowSize_);
    }
}

// Moves rows row + 1 .. count - 1 one slot earlier, the first row of each
// later block going to the last slot of the block before it.
void DListView::CloseGapAt(int row, int count)
{
    int rpb = rowsPerBlock_;
    int firstIndex = row / rpb, lastIndex = (count - 1) / rpb;
    Block* b = FindBlock(firstIndex);
    for (int bi = firstIndex; bi <= lastIndex; ++bi, b = b->next) {
        int base = bi * rpb;
        int start = bi == firstIndex ? row - base : 0;
        int existing = count - base < rpb ? count - base : rpb;
        if (existing - start - 1 > 0)
            memmove(Slot(b, start, rowSize_), Slot(b, start + 1, rowSize_), (existing - start - 1) * rowSize_);
        if (existing == rpb && base + rpb < count)
            memcpy(Slot(b, rpb - 1, rowSize_), Slot(b->next, 0, rowSize_), rowSize_);
    }
    if (BYTE* vacated = RowAt(count - 1))
        memset(vacated, 0, rowSize_);
}

// ---- columns --------------------------------------------------------------------

bool DListView::InsertColumn(const DListColumn* c)
{
    if (!c || columnCount_ >= kMaxColumns)
        return false;
    int index = c->index == -1 ? columnCount_ : c->index;
    if (index < 0 || index > columnCount_)
        return false;
    int usable = UsableBlockSize();
    int cellSize = kCellHead;
    int maxLength = 0;
    if (c->headerFlags & DListColumnFlags::kCaption) {
        if (c->maxLength < 0 || c->maxLength > (Granularity() - kCellHead) / 2)
            return false;
        maxLength = c->maxLength;
        cellSize = maxLength < 3 ? 24 : 2 * maxLength + kCellHead;
    }
    int newRowSize = rowSize_ + cellSize;
    if (newRowSize > usable)
        return false;
    int newRpb = usable / newRowSize;
    int width = c->width < 0 ? 0 : c->width > DHeader::kMaxWidth ? DHeader::kMaxWidth : c->width;

    bool withHeader = (style_ & DListViewStyle::kHeader) && header_.GetHwnd();
    if (withHeader) {
        static const DWORD kHeaderAlign[4] = {DHeaderFlags::kAlignLeft, DHeaderFlags::kAlignRight,
                                              DHeaderFlags::kAlignCenter, DHeaderFlags::kAlignLeft};
        DHeaderItem item = {kHeaderAlign[c->headerFlags & 3], index, 0, width, nullptr};
        if ((c->headerFlags & DListColumnFlags::kCaption) && c->caption) {
            item.flags |= DHeaderFlags::kHasCaption;
            item.caption = c->caption;
        }
        if (c->headerFlags & DListColumnFlags::kHeaderImage) {
            item.flags |= DHeaderFlags::kHasData;
            item.data = c->headerImage;
        }
        if (!header_.InsertColumn(item))
            return false;
    }

    int offset = index == 0 ? 0 : columns_[index - 1].offset + columns_[index - 1].size;
    int rows = GetRowCount();
    if (rows > 0) {
        // Copy every row into a new chain with room for the new cell.
        int needed = (rows + newRpb - 1) / newRpb;
        Block* first = nullptr;
        Block* last = nullptr;
        for (int i = 0; i < needed; ++i) {
            Block* b = NewBlock();
            if (!b) {
                FreeChain(first);
                if (withHeader)
                    header_.DeleteColumn(index);
                return false;
            }
            b->previous = last;
            if (last)
                last->next = b;
            else
                first = b;
            last = b;
        }
        Block* src = firstBlock_;
        Block* dst = first;
        int srcSlot = 0, dstSlot = 0;
        for (int r = 0; r < rows; ++r) {
            BYTE* from = Slot(src, srcSlot, rowSize_);
            BYTE* to = Slot(dst, dstSlot, newRowSize);
            memcpy(to, from, offset);
            memcpy(to + offset + cellSize, from + offset, rowSize_ - offset);
            if (++srcSlot == rowsPerBlock_) {
                src = src->next;
                srcSlot = 0;
            }
            if (++dstSlot == newRpb) {
                dst = dst->next;
                dstSlot = 0;
            }
        }
        FreeRows();
        firstBlock_ = first;
        lastBlock_ = last;
        blockCount_ = needed;
    }

    for (int i = columnCount_; i > index; --i) {
        columns_[i] = columns_[i - 1];
        columns_[i].offset += cellSize;
        columns_[i].x += width;
    }
    int x = index == 0 ? 0 : columns_[index - 1].x + columns_[index - 1].width;
    columns_[index] = Column{c->headerFlags, c->cellKind, maxLength, offset, x, width, cellSize};
    ++columnCount_;
    totalWidth_ += width;
    rowSize_ = newRowSize;
    rowsPerBlock_ = newRpb;
    hbar_.SetMax(totalWidth_);
    Layout();
    InvalidateRows(0);
    if (hwnd)
        UpdateWindow(hwnd);
    return true;
}

bool DListView::DeleteColumn(int index)
{
    if (index < 0 || index >= columnCount_)
        return false;
    if (columnCount_ == 1) {
        Reset();
        return true;
    }
    if ((style_ & DListViewStyle::kHeader) && header_.GetHwnd())
        header_.DeleteColumn(index);
    const Column gone = columns_[index];
    int newRowSize = rowSize_ - gone.size;
    int newRpb = UsableBlockSize() / newRowSize;
    int rows = GetRowCount();
    if (rows > 0) {
        // In place, in ascending order: a row never moves past one not yet moved.
        for (int r = 0; r < rows; ++r) {
            BYTE* from = RowAt(r);
            Block* db = FindBlock(r / newRpb);
            BYTE* to = Slot(db, r % newRpb, newRowSize);
            memmove(to, from, gone.offset);
            memmove(to + gone.offset, from + gone.offset + gone.size, rowSize_ - gone.offset - gone.size);
        }
        int needed = (rows + newRpb - 1) / newRpb;
        Block* keep = FindBlock(needed - 1);
        FreeChain(keep->next);
        keep->next = nullptr;
        lastBlock_ = keep;
        blockCount_ = needed;
        cachedBlock_ = nullptr;
        cachedIndex_ = -1;
    }
    for (int i = index; i + 1 < columnCount_; ++i) {
        columns_[i] = columns_[i + 1];
        columns_[i].offset -= gone.size;
        columns_[i].x -= gone.width;
    }
    --columnCount_;
    columns_[columnCount_] = Column{};
    totalWidth_ -= gone.width;
    rowSize_ = newRowSize;
    rowsPerBlock_ = newRpb;
    hbar_.SetMax(totalWidth_);
    Layout();
    InvalidateRows(0);
    if (hwnd)
        UpdateWindow(hwnd);
    return true;
}

void DListView::Reset()
{
    if (columnCount_ == 0)
        return;
    if ((style_ & DListViewStyle::kHeader) && header_.GetHwnd())
        header_.DeleteAllColumns();
    FreeRows();
    firstRow_ = 0;
    rowsPerBlock_ = rowSize_ = rowCount_ = heldRows_ = totalCount_ = visibleRows_ = totalHeight_ = 0;
    columnCount_ = totalWidth_ = 0;
    selected_ = -1;
    vbar_.SetMax(0);
    hbar_.SetMax(0);
    Layout();
    InvalidateRows(0);
    if (hwnd)
        UpdateWindow(hwnd);
}

int DListView::GetColumnWidth(int index) const
{
    return index >= 0 && index < columnCount_ ? columns_[index].width : -1;
}

void DListView::ApplyColumnWidth(int column, int width)
{
    // As the header keeps them: 32 columns of the widest stay far from the int range.
    if (width < 0)
        width = 0;
    if (width > DHeader::kMaxWidth)
        width = DHeader::kMaxWidth;
    int delta = columns_[column].width - width;
    totalWidth_ -= delta;
    columns_[column].width = width;
    for (int i = column + 1; i < columnCount_; ++i)
        columns_[i].x -= delta;
    hbar_.SetMax(totalWidth_);
    Layout();
    InvalidateRows(0);
    if (hwnd)
        UpdateWindow(hwnd);
}

bool DListView::SetColumnWidth(int index, int width)
{
    if (index < 0 || index >= columnCount_)
        return false;
    ApplyColumnWidth(index, width);
    if ((style_ & DListViewStyle::kHeader) && header_.GetHwnd())
        header_.SetColumnWidth(index, columns_[index].width);   // reports back the same width: no change
    return true;
}

void DListView::OnColumnWidthChanged(int column, int width)
{
    if (column >= 0 && column < columnCount_ && columns_[column].width != width)
        ApplyColumnWidth(column, width);
}

int DListView::GetOptimalColumnWidth(int column) const
{
    if (column < 0 || column >= columnCount_ || !(columns_[column].headerFlags & DListColumnFlags::kCaption))
        return -1;
    int widest = 0;
    int rows = GetRowCount();
    for (int r = 0; r < rows; ++r) {
        const CellHead* cell = Cell(RowAt(r), column);
        if (cell->width > widest)
            widest = cell->width;
    }
    return widest + 6;
}

// ---- items ------------------------------------------------------------------------

// The length of the item's text for a text column: 0 without text; *ok false
// when it is negative (other than -1) or above the column's maximum.
int DListView::TextLength(const DListItem* item, int column, bool* ok) const
{
    *ok = true;
    if (!(columns_[column].headerFlags & DListColumnFlags::kCaption) || !(item->mask & DListItemMask::kText) ||
        !item->text)
        return 0;
    int length = item->length == -1 ? static_cast<int>(wcslen(item->text)) : item->length;
    if (length < 0 || length > columns_[column].maxLength)
        *ok = false;
    return length;
}

void DListView::StoreText(CellHead* cell, const wchar_t* text, int length)
{
    cell->length = length;
    cell->width = 0;
    if (length <= 0)
        return;
    wchar_t* room = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(cell) + kCellHead);
    memcpy(room, text, length * sizeof(wchar_t));
    SIZE size = {};
    if (dc_ && GetTextExtentPoint32W(dc_, room, length, &size))
        cell->width = size.cx;
}

bool DListView::InsertItem(const DListItem* item)
{
    if (!item || columnCount_ == 0)
        return false;
    bool windowMode = (style_ & DListViewStyle::kWindowMode) != 0;
    int n = GetRowCount();
    int row = item->row == -1 ? n : item->row;
    if (row < 0 || row > n)
        return false;
    if (windowMode && (n == visibleRows_ || n == totalCount_))
        return false;
    int column = item->column == -1 ? columnCount_ - 1 : item->column;
    if (column < 0 || column >= columnCount_)
        return false;
    bool ok;
    int length = TextLength(item, column, &ok);
    if (!ok)
        return false;
    int needed = (n + 1 + rowsPerBlock_ - 1) / rowsPerBlock_;
    if (blockCount_ < needed) {
        Block* b = NewBlock();
        if (!b)
            return false;
        b->previous = lastBlock_;
        b->next = nullptr;
        if (lastBlock_)
            lastBlock_->next = b;
        else
            firstBlock_ = b;
        lastBlock_ = b;
        ++blockCount_;
    }
    MakeRoomAt(row, n);
    BYTE* bytes = RowAt(row);
    memset(bytes, 0, rowSize_);
    CellHead* cell = Cell(bytes, column);
    if (length > 0)
        StoreText(cell, item->text, length);
    if ((item->mask & DListItemMask::kImage) && (columns_[column].cellKind & DListColumnFlags::kImageCells))
        cell->image = item->image;
    if (item->mask & DListItemMask::kData)
        cell->data = item->data;

    totalHeight_ += rowHeight_;
    if (windowMode) {
        ++heldRows_;
    } else {
        ++rowCount_;
        vbar_.SetMax(rowCount_);
    }
    // The selection stays on its record.
    if (selected_ >= row) {
        ++selected_;
        NotifySelection();
    }
    if (item->mask & DListItemMask::kState) {
        if (style_ & DListViewStyle::kMultiSelect) {
            if (item->state & 2)
                SelectItem(row);
        } else if (item->state & 3) {
            SelectItem(row);
        }
    }
    Layout();
    if (row < n)
        InvalidateRows(row);
    else
        InvalidateRow(row);
    return true;
}

bool DListView::SetItem(const DListItem* item)
{
    if (!item)
        return false;
    int n = GetRowCount();
    int row = item->row == -1 ? n - 1 : item->row;
    if (row < 0 || row >= n || item->column < 0 || item->column >= columnCount_)
        return false;
    int column = item->column;
    bool ok;
    int length = TextLength(item, column, &ok);
    if (!ok)
        return false;
    CellHead* cell = Cell(RowAt(row), column);
    if (columns_[column].headerFlags & DListColumnFlags::kCaption)
        StoreText(cell, item->text, length);
    if (columns_[column].cellKind & DListColumnFlags::kImageCells)
        cell->image = (item->mask & DListItemMask::kImage) ? item->image : 0;
    if (item->mask & DListItemMask::kData)
        cell->data = item->data;
    if (item->mask & DListItemMask::kState)
        SetItemState(row, item->state);
    InvalidateRow(row);
    return true;
}

bool DListView::GetItem(DListItem* item) const
{
    if (!item || item->column < 0 || item->column >= columnCount_ || item->row < 0 || item->row >= GetRowCount())
        return false;
    const CellHead* cell = Cell(RowAt(item->row), item->column);
    if ((item->mask & DListItemMask::kText) && (columns_[item->column].headerFlags & DListColumnFlags::kCaption)) {
        if (!item->text || cell->length >= item->length)
            return false;
        memcpy(item->text, reinterpret_cast<const BYTE*>(cell) + kCellHead, cell->length * sizeof(wchar_t));
        item->text[cell->length] = 0;
    }
    if ((item->mask & DListItemMask::kImage) && (columns_[item->column].cellKind & DListColumnFlags::kImageCells))
        item->image = cell->image;
    if (item->mask & DListItemMask::kState)
        item->state = Cell(RowAt(item->row), 0)->state;
    if (item->mask & DListItemMask::kData)
        item->data = cell->data;
    return true;
}

bool DListView::GetItemData(int column, int row, LONG_PTR* data) const
{
    if (column < 0 || column >= columnCount_ || row < 0 || row >= GetRowCount() || !data)
        return false;
    *data = Cell(RowAt(row), column)->data;
    return true;
}

DWORD DListView::GetRowState(int row) const
{
    if (row < 0 || row >= GetRowCount() || columnCount_ == 0)
        return 0;
    return Cell(RowAt(row), 0)->state;
}

bool DListView::DeleteItem(int row)
{
    int n = GetRowCount();
    if (row < 0 || row >= n)
        return false;
    if (n == 1) {
        int was = selected_;
        DeleteAllItems();
        if (was >= 0)
            NotifySelection();
        return true;
    }
    CloseGapAt(row, n);
    if (style_ & DListViewStyle::kWindowMode) {
        --heldRows_;
    } else {
        --rowCount_;
    }
    totalHeight_ -= rowHeight_;
    // The selection stays on its record; the deleted record's selection goes.
    if (selected_ == row) {
        selected_ = -1;
        NotifySelection();
    } else if (selected_ > row) {
        --selected_;
        NotifySelection();
    }
    if (!(style_ & DListViewStyle::kWindowMode))
        vbar_.SetMax(rowCount_);
    Layout();
    InvalidateRows(row);
    return true;
}

void DListView::DeleteAllItems()
{
    if (GetRowCount() == 0)
        return;
    FreeRows();
    firstRow_ = visibleRows_ = rowCount_ = heldRows_ = totalHeight_ = 0;
    selected_ = -1;
    vbar_.SetMax(0);
    Layout();
    InvalidateRows(0);
    if (hwnd)
        UpdateWindow(hwnd);
}

bool DListView::SetItemCount(int count)
{
    if (!(style_ & DListViewStyle::kWindowMode) || count < 0)
        return false;
    DeleteAllItems();
    totalCount_ = count;
    if (count > 0)
        vbar_.SetMax(count);
    return true;
}

// ---- selection ----------------------------------------------------------------------

void DListView::NotifySelection()
{
    if (notify_ && notify_->selectionChanged)
        notify_->selectionChanged(cookie_, this, selected_);
}

bool DListView::SelectItem(int row)
{
    return SelectRow(row, true);
}

bool DListView::SelectRow(int row, bool scrollIntoView)
{
    if (row == selected_ || (row < 0 && selected_ < 0))
        return true;
    if (row >= GetRowCount())
        return false;
    bool multi = (style_ & DListViewStyle::kMultiSelect) != 0;
    if (selected_ >= 0) {
        CellHead* cell = Cell(RowAt(selected_), 0);
        cell->state = multi ? 0 : cell->state & ~3u;
        InvalidateRow(selected_);
    }
    if (row < 0) {
        selected_ = -1;
    } else {
        selected_ = row;
        CellHead* cell = Cell(RowAt(row), 0);
        cell->state |= multi ? 2u : 3u;
        // A row outside the view is scrolled to the top of it; the keys place
        // the rows they reach themselves.
        if (scrollIntoView && OffScreen(row) && !(style_ & DListViewStyle::kWindowMode))
            vbar_.SetPos(row);
        InvalidateRow(row);
    }
    NotifySelection();
    return true;
}

bool DListView::SetItemState(int row, DWORD state)
{
    if (style_ & DListViewStyle::kMultiSelect)
        return false;
    SelectItem(state ? row : -1);
    return true;
}

bool DListView::EnsureRowAtTop(int row)
{
    if (row < 0 || row >= GetRowCount())
        return false;
    vbar_.SetPos(row);
    return true;
}
