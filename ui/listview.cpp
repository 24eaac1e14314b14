// DListView: creation, registration, the embedded controls, keyboard and mouse.
#include "ui/listview.h"

#include "foundation/globals.h"
#include "ui/handler_table.h"
#include "ui/window_create.h"

namespace {

struct ListClass {
    LOGFONTW defaultFont;
    bool fontSet;
} gList;

ControlClass gListClass = {DListView::kClassName, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE,
                           nullptr};

DListView* ListOf(void* cookie)
{
    return static_cast<DListView*>(cookie);
}

// The mouse events of the header and the bars, handed on as the list's own.
template <DListViewInput::MouseEvent DListViewInput::*Slot, class Child>
void ForwardMouse(void* cookie, Child* child, WPARAM keys, int x, int y)
{
    ListOf(cookie)->ForwardChildMouse(Slot, child->GetHwnd(), keys, x, y);
}

template <class Child>
DInputRecord<Child> ChildInputRecord()
{
    using L = DListViewInput;
    DInputRecord<Child> r = {};
    r.mouseMove = ForwardMouse<&L::mouseMove, Child>;
    r.leftDown = ForwardMouse<&L::leftDown, Child>;
    r.leftUp = ForwardMouse<&L::leftUp, Child>;
    r.leftDoubleClick = ForwardMouse<&L::leftDoubleClick, Child>;
    r.rightDown = ForwardMouse<&L::rightDown, Child>;
    r.rightUp = ForwardMouse<&L::rightUp, Child>;
    r.rightDoubleClick = ForwardMouse<&L::rightDoubleClick, Child>;
    r.middleDown = ForwardMouse<&L::middleDown, Child>;
    r.middleUp = ForwardMouse<&L::middleUp, Child>;
    r.middleDoubleClick = ForwardMouse<&L::middleDoubleClick, Child>;
    return r;
}

// The static records the list gives its header and bars (the list is their cookie).
const DHeaderInput kHeaderInput = ChildInputRecord<DHeader>();
const DScrollInput kScrollInput = ChildInputRecord<DScroll>();

const DHeaderNotify kHeaderNotify = {
    [](void* c, DHeader*, int column, int width) { ListOf(c)->OnColumnWidthChanged(column, width); },
    [](void* c, DHeader*, int column, int) { return ListOf(c)->GetOptimalColumnWidth(column); },
    nullptr,
    nullptr,
    nullptr,
};
const DScrollNotify kVerticalNotify = {
    [](void* c, DScroll*, int p) { ListOf(c)->OnVScroll(p); },
    [](void* c, DScroll*, int p) { ListOf(c)->OnVScroll(p); },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};
const DScrollNotify kHorizontalNotify = {
    [](void* c, DScroll*, int p) { ListOf(c)->OnHScroll(p); },
    [](void* c, DScroll*, int p) { ListOf(c)->OnHScroll(p); },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

DListView::~DListView()
{
    if (hwnd)
        DestroyWindow(hwnd);   // WM_DESTROY empties the list and destroys the children
    FreeRows();
    FreeRecords();
}

void DListView::SetDefaultFont(const LOGFONTW& font)
{
    gList.defaultFont = font;
    gList.fontSet = true;
}

bool DListView::GetDefaultFont(LOGFONTW* font)
{
    if (!gList.fontSet || !font)
        return false;
    *font = gList.defaultFont;
    return true;
}

bool DListView::RegisterClass()
{
    // One line per concern; focus, key releases, characters and the mouse
    // apart from the left button's press only report to the owner.
    static const HandlerEntry handlers[] = {
        OnMessage<WM_NCCREATE, &DListView::OnNcCreate>(), OnMessage<WM_CREATE, &DListView::OnCreate>(),
        OnMessage<WM_DESTROY, &DListView::OnDestroy>(), OnMessage<WM_NCDESTROY, &DListView::OnNcDestroy>(),
        OnMessage<WM_PAINT, &DListView::OnPaint>(), OnMessage<WM_ERASEBKGND, &DListView::OnEraseBkgnd>(),
        OnMessage<WM_NCCALCSIZE, &DListView::OnNcCalcSize>(), OnMessage<WM_NCPAINT, &DListView::OnNcPaint>(),
        OnMessage<WM_SIZE, &DListView::OnSize>(),
        OnMessage<WM_MOUSEACTIVATE, &DListView::OnMouseActivate>(),
        OnMessage<WM_LBUTTONDOWN, &DListView::OnLButtonDown>(), OnMessage<WM_KEYDOWN, &DListView::OnKeyDown>(),
    };
    if (!RegisterControl(gListClass, handlers, ReportInput::kMouse | ReportInput::kKeys | ReportInput::kFocus))
        return false;
    Granularity();
    return true;
}

void DListView::UnregisterClass()
{
    UnregisterControl(gListClass);
}

// ---- creation -------------------------------------------------------------------

void DListView::FreeRecords()
{
    ReleaseInput();
    ReleaseRecord(notify_, (style_ & DListViewStyle::kCopyNotify) != 0);
}

bool DListView::Create(const DListViewDesc* desc)
{
    // An input copy needs the caller's record; a notification copy of none is zeroed.
    if (!desc || hwnd || ((desc->style & DListViewStyle::kCopyInput) && !desc->input))
        return false;
    style_ = desc->style;
    cookie_ = desc->cookie;
    if (!HoldRecords(desc->input, (style_ & DListViewStyle::kCopyInput) != 0, notify_, desc->notify,
                     (style_ & DListViewStyle::kCopyNotify) != 0))
        return false;
    FreeRows();
    columnCount_ = rowCount_ = heldRows_ = totalCount_ = rowSize_ = rowsPerBlock_ = 0;
    totalWidth_ = totalHeight_ = visibleRows_ = firstRow_ = horizontalOffset_ = 0;
    clientWidth_ = clientHeight_ = viewWidth_ = viewHeight_ = rowsTop_ = 0;
    vbarLength_ = vbarAt_ = hbarLength_ = hbarAt_ = -1;
    selected_ = -1;

    // The children are clipped out of the list's painting.
    DWORD style = WS_CLIPCHILDREN | ((style_ & DListViewStyle::kVisible) ? WS_VISIBLE : 0);
    return CreateControlWindow(WS_EX_NOPARENTNOTIFY, kClassName, style, desc->x, desc->y, desc->width, desc->height,
                               desc->parent, hInstance, const_cast<DListViewDesc*>(desc), &DListView::FreeRecords);
}

LRESULT DListView::OnNcCreate(HWND, LPARAM)
{
    dc_ = ::GetDC(hwnd);
    font_ = gList.fontSet ? CreateFontIndirectW(&gList.defaultFont) : nullptr;
    if (font_)
        SelectObject(dc_, font_);
    horizontalOffset_ = 0;
    rowsTop_ = 0;
    selectBrush_ = CreateSolidBrush(RGB(0, 0, 255));
    backBrush_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    SetBkMode(dc_, TRANSPARENT);
    return TRUE;
}

LRESULT DListView::OnCreate(HWND, LPARAM createStruct)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    const DListViewDesc* desc = static_cast<const DListViewDesc*>(cs->lpCreateParams);
    HINSTANCE instance = desc ? desc->instance : hInstance;
    if (style_ & DListViewStyle::kHeader) {
        DHeaderDesc hd = {DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight, this, hwnd, 0, 0, 0, 0, instance,
                          &kHeaderInput, &kHeaderNotify};
        if (!header_.Create(&hd))
            return -1;
    }
    using namespace DScrollStyle;
    DScrollDesc bar = {kVisible | kAnchorLeft | kAnchorBottom | kSystemThickness,
                       this, hwnd, 0, 0, 0, 0, instance, 0, 0, 0, 0, 0, &kScrollInput, &kHorizontalNotify};
    if (!(style_ & DListViewStyle::kHScroll))
        bar.style |= kNoWindow;
    if (!hbar_.Create(&bar))
        return -1;
    bar.style = kVisible | kAnchorRight | kAnchorTop | kSystemThickness | kVertical;
    bar.notify = &kVerticalNotify;
    if (!(style_ & DListViewStyle::kVScroll))
        bar.style |= kNoWindow;
    if (!vbar_.Create(&bar))
        return -1;
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc_, &tm);
    rowHeight_ = tm.tmHeight + tm.tmExternalLeading;
    if (rowHeight_ < 1)
        rowHeight_ = 1;
    return 0;
}

void DListView::OnDestroy()
{
    // Emptied without repainting: the window is going.
    FreeRows();
    columnCount_ = rowCount_ = heldRows_ = totalCount_ = rowSize_ = rowsPerBlock_ = 0;
    totalWidth_ = totalHeight_ = visibleRows_ = firstRow_ = horizontalOffset_ = 0;
    selected_ = -1;
    if (header_.GetHwnd())
        DestroyWindow(header_.GetHwnd());
    hbar_.Clear();
    vbar_.Clear();
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
    if (selectBrush_)
        DeleteObject(selectBrush_);
    backBrush_ = selectBrush_ = nullptr;
}

void DListView::OnNcDestroy()
{
    FreeRecords();
}

void DListView::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
    Layout();
}

LRESULT DListView::OnNcCalcSize(WPARAM, LPARAM params)
{
    RECT* r = reinterpret_cast<RECT*>(params);
    InflateRect(r, -1, -1);
    if (r->right < r->left)
        r->right = r->left;
    if (r->bottom < r->top)
        r->bottom = r->top;
    return 0;
}

LRESULT DListView::OnMouseActivate(WPARAM, int, int)
{
    ::SetFocus(hwnd);
    return MA_ACTIVATE;
}

// ---- callbacks --------------------------------------------------------------------

void DListView::ForwardChildMouse(DListViewInput::MouseEvent DListViewInput::*slot, HWND child, WPARAM keys, int x,
                                  int y)
{
    POINT p = {x, y};
    if (child && hwnd)
        MapWindowPoints(child, hwnd, &p, 1);
    Report(slot, keys, p.x, p.y);
}


// ---- keyboard ------------------------------------------------------------------------

// The keys move the selection and scroll by their own rules: a selection
// above the view becomes the first visible row, one below it the last.
void DListView::OnKeyDown(WPARAM key, LPARAM data)
{
    int n = GetRowCount();
    if (n > 0) {
        bool scrollLock = (GetKeyState(VK_SCROLL) & 0x8000) != 0;
        int last = n - 1;
        switch (key) {
        case VK_PRIOR:
            if (scrollLock) {
                vbar_.PageUp();
            } else {
                int target = selected_ - visibleRows_;
                if (target < 0)
                    target = 0;
                if (target != selected_) {
                    SelectRow(target, false);
                    if (OffScreen(selected_))
                        ScrollTo(selected_);
                }
            }
            break;
        case VK_NEXT:
            if (scrollLock) {
                vbar_.PageDown();
            } else {
                int target = selected_ + visibleRows_;
                if (target > last)
                    target = last;
                if (target != selected_) {
                    SelectRow(target, false);
                    if (OffScreen(selected_))
                        ScrollTo(selected_ - visibleRows_ + 1);
                }
            }
            break;
        case VK_HOME:
            if (!scrollLock)
                SelectRow(0, false);
            ScrollTo(0);
            break;
        case VK_END:
            if (!scrollLock)
                SelectRow(last, false);
            ScrollTo(n > visibleRows_ ? n - visibleRows_ : 0);
            break;
        case VK_UP:
            if (selected_ < 0)
                SelectRow(0, false);
            else if (selected_ > 0)
                SelectRow(selected_ - 1, false);
            if (OffScreen(selected_))
                ScrollTo(selected_);
            break;
        case VK_DOWN:
            if (selected_ < 0)
                SelectRow(0, false);
            else if (selected_ < last)
                SelectRow(selected_ + 1, false);
            if (OffScreen(selected_))
                ScrollTo(selected_ - visibleRows_ + 1);
            break;
        default:
            break;
        }
    }
    Report(&DListViewInput::keyDown, key, data);
}

// ---- mouse -----------------------------------------------------------------------------

void DListView::OnLButtonDown(int x, int y, WPARAM keys)
{
    if (y >= rowsTop_ && rowHeight_ > 0)
        SelectItem((y - rowsTop_) / rowHeight_ + firstRow_);
    Report(&DListViewInput::leftDown, keys, x, y);
}

