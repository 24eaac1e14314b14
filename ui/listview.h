// DListView: the program's grid of rows and columns.
//
// An owner-drawn child window of the class "Quil ListView" with an optional
// DHeader across the top and two optional DScroll bars (horizontal along the
// bottom, vertical along the right edge). The patient list, the journal
// viewer and the record lists of the described forms show their rows in it.
// It never sends WM_COMMAND or WM_NOTIFY; it calls its owner through two
// callback records, each callback getting the owner's cookie and the list.
// It does not sort: rows stay where the owner inserts them.
//
// STORAGE. Every cell of every row is kept in fixed-size rows packed into
// blocks of the system's allocation granularity (VirtualAlloc, zero-filled):
//     block = {previous block, next block, rows...}
//     rows per block = (granularity - 11) / row size
//     row r lives in block r / rowsPerBlock, slot r % rowsPerBlock.
// A row is the cells of all columns in column order; a cell is a 20-byte head
// {state, text length, text width, data, image} followed, in a text column, by
// room for the column's maximum text length (never terminated). The state of
// the row's first cell is the row's state (bits 0-1: selected). The blocks
// form a doubly linked chain; a block is found by walking from the nearer of
// the first block, the last block and the last block found (FindBlock), so
// sequential access costs O(1) per row. Inserting a column copies every row
// into a new chain (undone whole on failure); deleting one compacts the rows
// in place and frees the blocks no longer needed.
//
// SELECTION. One selected row (or -1). It follows its record: inserting or
// deleting a row before it moves the index with the row and reports the new
// index (InsertItem, DeleteItem); deleting the selected row clears it with a
// report. DeleteAllItems and Reset clear it without one.
//
// SCROLLING. The vertical bar's position is the first visible row (outside
// window mode); the horizontal bar's position is the horizontal offset in
// pixels. Both bars report to the list (OnVScroll, OnHScroll), which moves
// the pixels already drawn and repaints only the uncovered strip. A row that
// SelectItem selects off screen is scrolled in as the last visible row when
// it lies below the view and as the first when above; the keys put the
// selection where their own rules say (OnKeyDown).
//
// EMBEDDED CONTROLS. The header and the bars get the list as their cookie and
// static records (header: width changed, optimal width; bars: settled and
// tracking positions). Their mouse events reach the owner's input record as
// events of the list: the owner's cookie, the list, and the point in the
// list's client coordinates.
//
// Painting: one routine (Paint) draws the rows area into any DC through an
// off-screen buffer; WM_PAINT and the tests use it.
#pragma once

#include "ui/control_input.h"
#include "ui/control_base.h"
#include "ui/header.h"
#include "ui/scroll.h"

class DListView;

typedef DInputRecord<DListView> DListViewInput;

struct DListViewNotify {
    void (*selectionChanged)(void* cookie, DListView* list, int row);    // 0: new selected row or -1
    void* unused1;
    void (*scrollRequest)(void* cookie, DListView* list, int firstRow);  // 2: window mode only
    void* unused3;
    void* unused4;
};
static_assert(sizeof(DListViewNotify) == 20, "five slots");

struct DListViewDesc {
    DWORD style;   // DListViewStyle
    void* cookie;
    HWND parent;
    int x;
    int y;
    int width;
    int height;
    HINSTANCE instance;
    const DListViewInput* input;     // may be null unless kCopyInput
    const DListViewNotify* notify;   // may be null
};
static_assert(sizeof(DListViewDesc) == 40, "ten 32-bit words");

namespace DListViewStyle {
using ControlStyle::kVisible;
using ControlStyle::kCopyInput;
constexpr DWORD kMultiSelect = 0x80;
constexpr DWORD kWindowMode = 0x40;
constexpr DWORD kVScrollAuto = 0x20;      // taken with kVScroll: the bar shows only when needed, as it always does
constexpr DWORD kHScrollAuto = 0x10;      // taken with kHScroll, likewise
constexpr DWORD kVScroll = 0x08;
constexpr DWORD kHScroll = 0x04;
constexpr DWORD kHeader = 0x02;
constexpr DWORD kCopyNotify = 0x01;
// What every window of the program passes: visible, a header and both bars.
constexpr DWORD kStandard = kVisible | kVScrollAuto | kHScrollAuto | kVScroll | kHScroll | kHeader;
}  // namespace DListViewStyle

// Column descriptor of InsertColumn.
struct DListColumn {
    DWORD headerFlags;       // bits 0-1 caption alignment (1 right, 2 centre); 4 caption and maximum given; 8 image given
    DWORD cellKind;          // bits 0-1 cell alignment (0 left, 1 right, 2 centre); 4 text cells; 8 image cells
    int index;               // 0 .. column count; -1 appends
    int width;
    int maxLength;           // UTF-16 units; read with header flag 4; negative is refused
    const wchar_t* caption;
    LONG_PTR headerImage;
};

namespace DListColumnFlags {
constexpr DWORD kCaption = 0x4, kHeaderImage = 0x8;        // header flags
constexpr DWORD kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2, kAlignMask = 0x3;   // cell kind
constexpr DWORD kTextCells = 0x4, kImageCells = 0x8;       // cell kind
}  // namespace DListColumnFlags

// Item record of InsertItem, SetItem and GetItem.
struct DListItem {
    DWORD mask;        // DListItemMask
    DWORD state;       // bits 0-1: selected
    int column;        // -1 in InsertItem: the last column
    int row;           // -1: append (InsertItem), the last row (SetItem)
    wchar_t* text;     // GetItem: the caller's buffer
    int length;        // -1: up to the terminator; GetItem: the buffer's capacity
    LONG_PTR image;
    LONG_PTR data;     // the owner's key of the row
};

namespace DListItemMask {
constexpr DWORD kText = 1, kImage = 2, kState = 4, kData = 8;
}

class DListView : public DControlWindow<DListView, DListViewInput> {
public:
    static constexpr const wchar_t* kClassName = L"Quil ListView";
    static constexpr int kMaxColumns = 32;
    static constexpr int kCellHead = 20;   // bytes of a cell without text

    DListView() = default;
    ~DListView();

    bool Create(const DListViewDesc* desc);

    bool InsertColumn(const DListColumn* column);
    bool DeleteColumn(int index);
    void Reset();
    int GetColumnWidth(int index) const;
    bool SetColumnWidth(int index, int width);

    bool InsertItem(const DListItem* item);
    bool SetItem(const DListItem* item);
    bool GetItem(DListItem* item) const;
    bool GetItemData(int column, int row, LONG_PTR* data) const;
    bool DeleteItem(int row);
    void DeleteAllItems();

    bool SelectItem(int row);
    bool SetItemState(int row, DWORD state);
    bool SetItemCount(int count);
    // Scrolls so that the row is the first visible one (as far as the rows allow).
    bool EnsureRowAtTop(int row);

    // The widest stored text of the column plus 6 pixels; -1 for a column
    // without text (a double-click on its divider changes nothing).
    int GetOptimalColumnWidth(int column) const;

    // Paints the rows area (and the corner between the bars) into `dc`, in the
    // list's client coordinates; `dirty` limits what is copied to `dc`.
    void Paint(HDC dc, const RECT& dirty);

    int GetSelectedRow() const { return selected_; }
    int GetRowCount() const { return (style_ & DListViewStyle::kWindowMode) ? heldRows_ : rowCount_; }
    int GetColumnCount() const { return columnCount_; }
    int GetFirstVisibleRow() const { return firstRow_; }
    int GetVisibleRows() const { return visibleRows_; }
    int GetRowHeight() const { return rowHeight_; }
    int GetRowsTop() const { return rowsTop_; }
    int GetViewWidth() const { return viewWidth_; }
    int GetViewHeight() const { return viewHeight_; }
    int GetHorizontalOffset() const { return horizontalOffset_; }
    int GetTotalWidth() const { return totalWidth_; }
    int GetBlockCount() const { return blockCount_; }
    int GetRowsPerBlock() const { return rowsPerBlock_; }
    int GetRowSize() const { return rowSize_; }
    DWORD GetRowState(int row) const;
    DHeader& Header() { return header_; }
    DScroll& HorizontalBar() { return hbar_; }
    DScroll& VerticalBar() { return vbar_; }

    static void SetDefaultFont(const LOGFONTW& font);
    static bool GetDefaultFont(LOGFONTW* font);
    // The initialization-table row "Register DListView".
    static bool RegisterClass();
    static void UnregisterClass();
    static int Granularity();

    // Used by the static records of the embedded controls.
    void OnColumnWidthChanged(int column, int width);
    void OnVScroll(int position);
    void OnHScroll(int position);
    void ForwardChildMouse(DListViewInput::MouseEvent DListViewInput::*slot, HWND child, WPARAM keys, int x, int y);

private:
    struct Column {
        DWORD headerFlags;
        DWORD cellKind;
        int maxLength;
        int offset;      // bytes from the start of the row
        int x;           // left edge in content coordinates
        int width;
        int size;        // bytes of the cell
    };
    struct CellHead {
        DWORD state;
        int length;      // UTF-16 units
        int width;       // pixels, measured when the text is stored
        LONG_PTR data;
        LONG_PTR image;
    };
    static_assert(sizeof(CellHead) == kCellHead, "a cell head is five words");
    struct Block {
        Block* previous;
        Block* next;
    };
    static constexpr int kBlockHead = sizeof(Block);

    friend class DControlWindow<DListView, DListViewInput>;

    LRESULT OnNcCreate(HWND hwnd, LPARAM createStruct);
    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnNcDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    LRESULT OnEraseBkgnd(WPARAM dc);
    LRESULT OnMouseActivate(WPARAM topLevel, int hitTest, int message);
    LRESULT OnNcCalcSize(WPARAM calcValid, LPARAM params);
    void OnNcPaint(WPARAM region);
    void OnKeyDown(WPARAM key, LPARAM data);
    void OnLButtonDown(int x, int y, WPARAM keys);

    void NotifySelection();
    void FreeRecords();

    // Storage (listview_store.cpp).
    Block* NewBlock();
    static void FreeChain(Block* first);
    Block* FindBlock(int index) const;
    BYTE* RowAt(int row) const;
    static BYTE* Slot(Block* block, int slot, int rowSize) { return reinterpret_cast<BYTE*>(block) + kBlockHead + slot * rowSize; }
    CellHead* Cell(BYTE* row, int column) const { return reinterpret_cast<CellHead*>(row + columns_[column].offset); }
    void MakeRoomAt(int row, int count);      // moves rows row..count-1 one slot later
    void CloseGapAt(int row, int count);      // moves rows row+1..count-1 one slot earlier
    void StoreText(CellHead* cell, const wchar_t* text, int length);
    int TextLength(const DListItem* item, int column, bool* ok) const;
    void FreeRows();

    bool SelectRow(int row, bool scrollIntoView);
    void ApplyColumnWidth(int column, int width);
    // Layout and painting (listview_paint.cpp).
    void Layout();
    void InvalidateRow(int row);
    void InvalidateRows(int fromRow);
    void DrawRow(HDC dc, BYTE* row, int y) const;
    bool OffScreen(int row) const;
    void ScrollTo(int firstRow);

    DWORD style_ = 0;
    HFONT font_ = nullptr;            // own font, null when no default font was set
    HDC dc_ = nullptr;                // the window's own DC, held for its life
    const DListViewNotify* notify_ = nullptr;
    DHeader header_;
    DScroll hbar_;
    DScroll vbar_;
    HBRUSH backBrush_ = nullptr;      // COLOR_WINDOW
    HBRUSH selectBrush_ = nullptr;    // pure blue
    int horizontalOffset_ = 0;        // pixels scrolled
    int rowsTop_ = 0;                 // the header's height, 0 without header
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int viewWidth_ = 0;
    int viewHeight_ = 0;              // height of the rows area
    int totalWidth_ = 0;              // sum of the column widths
    int totalHeight_ = 0;             // rows x row height
    int columnCount_ = 0;
    int rowCount_ = 0;
    int heldRows_ = 0;                // window mode
    int totalCount_ = 0;              // window mode: the virtual count
    int visibleRows_ = 0;             // whole rows that fit the view height
    int rowHeight_ = 0;
    int rowSize_ = 0;                 // bytes
    int rowsPerBlock_ = 0;
    int selected_ = -1;
    int firstRow_ = 0;                // first visible row
    int blockCount_ = 0;
    int vbarLength_ = -1;             // the bars' last placement (-1: place again)
    int vbarAt_ = -1;
    int hbarLength_ = -1;
    int hbarAt_ = -1;
    Column columns_[kMaxColumns] = {};
    Block* firstBlock_ = nullptr;
    Block* lastBlock_ = nullptr;
    mutable Block* cachedBlock_ = nullptr;   // the block FindBlock found last
    mutable int cachedIndex_ = -1;
};
