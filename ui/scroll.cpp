// DScroll: values, presses, creation and registration.
#include "ui/scroll.h"

#include "foundation/globals.h"
#include "ui/handler_table.h"
#include "ui/window_create.h"

#include <limits.h>

namespace {

ControlClass gScrollClass = {DScroll::kClassName, CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_NOCLOSE, nullptr};

int ClampToInt(long long v)
{
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The position kept within minimum .. maximum - page (minimum when the page
// is larger than the range).
int ClampPosition(long long position, int minimum, int maximum, int page)
{
    if (position + page > maximum)
        position = static_cast<long long>(maximum) - page;
    if (position < minimum)
        position = minimum;
    return static_cast<int>(position);
}

}  // namespace

DScroll::~DScroll()
{
    if (hwnd)
        DestroyWindow(hwnd);   // WM_DESTROY frees what the window owned
    FreeRecords();
}

int DScroll::Thickness()
{
    return GetSystemMetrics(SM_CXVSCROLL);
}

// ---- creation ---------------------------------------------------------------

bool DScroll::Create(const DScrollDesc* desc)
{
    if (!desc || hwnd || created_)
        return false;
    int minimum = MaskedValue(desc->mask, DScrollMask::kMin, desc->minimum, 0);
    int maximum = MaskedValue(desc->mask, DScrollMask::kMax, desc->maximum, 0);
    int position = MaskedValue(desc->mask, DScrollMask::kPos, desc->position, 0);
    int page = MaskedValue(desc->mask, DScrollMask::kPage, desc->page, 0);
    if (maximum < minimum)
        return false;
    if (page < 0)
        page = 0;
    style_ = desc->style;
    // A copy of no record is a zeroed one.
    if (!HoldRecords(desc->input, (style_ & DScrollStyle::kCopyInput) != 0, notify_, desc->notify,
                     (style_ & DScrollStyle::kCopyNotify) != 0))
        return false;
    minimum_ = minimum;
    maximum_ = maximum;
    page_ = page;
    position_ = ClampPosition(position, minimum, maximum, page);
    pressPart_ = kNone;
    state_ = kEnabled;
    cookie_ = desc->cookie;
    clientWidth_ = clientHeight_ = 0;
    thumbOffset_ = thumbLength_ = trackLength_ = buttonLength_ = 0;
    created_ = true;
    if (style_ & DScrollStyle::kNoWindow)
        return true;
    if (!CreateWindowNow(desc->parent, desc->instance, desc->x, desc->y, desc->width, desc->height)) {
        FreeRecords();
        created_ = false;
        return false;
    }
    return true;
}

bool DScroll::CreateDeferred(HWND parent, HINSTANCE instance, int x, int y, int width, int height)
{
    if (!created_ || hwnd || !(style_ & DScrollStyle::kNoWindow))
        return false;
    style_ &= ~DScrollStyle::kNoWindow;
    if (!CreateWindowNow(parent, instance, x, y, width, height)) {
        style_ |= DScrollStyle::kNoWindow;
        return false;
    }
    return true;
}

bool DScroll::CreateWindowNow(HWND parent, HINSTANCE instance, int x, int y, int width, int height)
{
    DWORD visible = (style_ & DScrollStyle::kVisible) ? WS_VISIBLE : 0;
    if (!CreateControlWindow(WS_EX_NOPARENTNOTIFY, kClassName, visible, x, y, width, height, parent, instance, this,
                             nullptr))
        return false;
    // Created visible: no WM_SHOWWINDOW comes, so the state starts from the style.
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE)
        state_ |= kShown;
    return true;
}

void DScroll::Clear()
{
    if (hwnd)
        DestroyWindow(hwnd);
    FreeRecords();
    created_ = false;
}

void DScroll::FreeRecords()
{
    ReleaseInput();
    ReleaseRecord(notify_, (style_ & DScrollStyle::kCopyNotify) != 0);
}

bool DScroll::RegisterClass()
{
    // One line per concern; double-clicks, the right and the middle button
    // only report to the owner.
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &DScroll::OnCreate>(), OnMessage<WM_DESTROY, &DScroll::OnDestroy>(),
        OnMessage<WM_PAINT, &DScroll::OnPaint>(),
        OnMessage<WM_SIZE, &DScroll::OnSize>(), OnMessage<WM_WINDOWPOSCHANGING, &DScroll::OnWindowPosChanging>(),
        OnMessage<WM_ENABLE, &DScroll::OnEnable>(), OnMessage<WM_SHOWWINDOW, &DScroll::OnShowWindow>(),
        OnMessage<WM_MOUSEMOVE, &DScroll::OnMouseMove>(), OnMessage<WM_CAPTURECHANGED, &DScroll::OnCaptureChanged>(),
        OnMessage<WM_LBUTTONDOWN, &DScroll::OnLButtonDown>(), OnMessage<WM_LBUTTONUP, &DScroll::OnLButtonUp>(),
        OnMessage<WM_TIMER, &DScroll::OnTimer>(),
    };
    return RegisterControl(gScrollClass, handlers, ReportInput::kMouse);
}

void DScroll::UnregisterClass()
{
    UnregisterControl(gScrollClass);
}

// ---- window messages --------------------------------------------------------

LRESULT DScroll::OnCreate(HWND, LPARAM createStruct)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    int x = cs->x, y = cs->y, width = cs->cx, height = cs->cy;
    bool system = (style_ & DScrollStyle::kSystemThickness) != 0;
    if (IsVertical()) {
        if (system || width == CW_USEDEFAULT)
            width = Thickness();
    } else if (system || height == CW_USEDEFAULT) {
        height = Thickness();
    }
    AnchorToParent(style_, GetParent(hwnd), width, height, &x, &y);
    dc_ = ::GetDC(hwnd);
    if (x != cs->x || y != cs->y || width != cs->cx || height != cs->cy)
        SetWindowPos(hwnd, nullptr, x, y, width, height,
                     SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    arrowPen_ = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
    arrowBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNTEXT));
    trackBrush_ = GetSysColorBrush(COLOR_SCROLLBAR);
    faceBrush_ = GetSysColorBrush(COLOR_BTNFACE);
    return 0;
}

void DScroll::OnDestroy()
{
    if (timer_)
        KillTimer(hwnd, timer_);
    timer_ = 0;
    pressPart_ = kNone;
    FreeRecords();
    created_ = false;
    if (dc_)
        ::ReleaseDC(hwnd, dc_);
    dc_ = nullptr;
    if (arrowPen_)
        DeleteObject(arrowPen_);
    if (arrowBrush_)
        DeleteObject(arrowBrush_);
    arrowPen_ = nullptr;
    arrowBrush_ = nullptr;
    state_ = 0;
}

void DScroll::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
    Recalc();
}

void DScroll::OnEnable(WPARAM enabled)
{
    if (enabled)
        state_ |= kEnabled;
    else
        state_ &= ~kEnabled;
}

void DScroll::OnShowWindow(WPARAM shown, LPARAM status)
{
    if (status != 0)
        return;   // the parent is being shown or hidden: our own flag is unchanged
    if (shown)
        state_ |= kShown;
    else
        state_ &= ~kShown;
}

// Keeps the system thickness and the pinned edges whatever size or place the
// owner asks for (the list view moves its bars with a width or height of 0).
void DScroll::OnWindowPosChanging(LPARAM pos)
{
    WINDOWPOS* wp = reinterpret_cast<WINDOWPOS*>(pos);
    if (!(wp->flags & SWP_NOSIZE) && (style_ & DScrollStyle::kSystemThickness)) {
        if (IsVertical())
            wp->cx = Thickness();
        else
            wp->cy = Thickness();
    }
    if (!(wp->flags & SWP_NOMOVE) && (style_ & DScrollStyle::kAnchorMask)) {
        RECT wr;
        ::GetWindowRect(hwnd, &wr);
        int width = (wp->flags & SWP_NOSIZE) ? wr.right - wr.left : wp->cx;
        int height = (wp->flags & SWP_NOSIZE) ? wr.bottom - wr.top : wp->cy;
        AnchorToParent(style_, GetParent(hwnd), width, height, &wp->x, &wp->y);
    }
}

// ---- values -------------------------------------------------------------------

// Recomputes the metrics and redraws when the thumb or the arrows moved
// (owners change the maximum on every row they add).
void DScroll::RecalcAndRedraw()
{
    int offset = thumbOffset_, thumb = thumbLength_, track = trackLength_, button = buttonLength_;
    Recalc();
    if (offset != thumbOffset_ || thumb != thumbLength_ || track != trackLength_ || button != buttonLength_)
        Redraw();
}

void DScroll::Recalc()
{
    int length = Length();
    int system = Thickness();
    buttonLength_ = system < length / 2 ? system : length / 2;
    if (buttonLength_ < 0)
        buttonLength_ = 0;
    trackLength_ = length - 2 * buttonLength_;
    if (trackLength_ < 0)
        trackLength_ = 0;
    long long range = static_cast<long long>(maximum_) - minimum_;
    if (range == 0) {
        thumbLength_ = trackLength_;
        thumbOffset_ = 0;
        return;
    }
    long long thumb = static_cast<long long>(trackLength_) * page_ / range;
    if (thumb < kMinThumb)
        thumb = kMinThumb < trackLength_ ? kMinThumb : trackLength_;
    if (thumb > trackLength_)
        thumb = trackLength_;
    thumbLength_ = static_cast<int>(thumb);
    thumbOffset_ = thumbLength_ == 0 ? 0 : OffsetFor(position_);
}

// The thumb offset of a position: (track - thumb) x (position - minimum) / (range - page).
int DScroll::OffsetFor(int position) const
{
    long long free = static_cast<long long>(maximum_) - minimum_ - page_;
    if (free < 1)
        return 0;
    long long offset = static_cast<long long>(trackLength_ - thumbLength_) * (static_cast<long long>(position) - minimum_) / free;
    return static_cast<int>(offset);
}

void DScroll::ReportPosition(int position)
{
    if (!notify_)
        return;
    DScrollEvent slot = pressPart_ != kNone ? notify_->tracking : notify_->settled;
    if (slot)
        slot(cookie_, this, position);
}

void DScroll::SetPos(int position)
{
    int n = ClampPosition(position, minimum_, maximum_, page_);
    if (n == position_)
        return;
    position_ = n;
    if (!(style_ & DScrollStyle::kNoWindow)) {
        int offset = OffsetFor(position_);
        if (offset != thumbOffset_ && thumbLength_ > 0) {
            thumbOffset_ = offset;
            Redraw();
        }
    }
    ReportPosition(position_);
}

bool DScroll::SetInfo(const DScrollInfo* info)
{
    if (!info)
        return false;
    int minimum = MaskedValue(info->mask, DScrollMask::kMin, info->minimum, minimum_);
    int maximum = MaskedValue(info->mask, DScrollMask::kMax, info->maximum, maximum_);
    int position = MaskedValue(info->mask, DScrollMask::kPos, info->position, position_);
    if (maximum < minimum)
        return false;
    if (info->mask & DScrollMask::kPage)
        page_ = info->page < 0 ? 0 : info->page;
    minimum_ = minimum;
    maximum_ = maximum;
    int clamped = ClampPosition(position, minimum_, maximum_, page_);
    position_ = clamped;
    RecalcAndRedraw();
    // The caller's own change is not reported back; only a clamp is.
    if (clamped != position && notify_ && notify_->settled)
        notify_->settled(cookie_, this, clamped);
    return true;
}

bool DScroll::GetInfo(DScrollInfo* info) const
{
    if (!info)
        return false;
    PutMasked(info->mask, DScrollMask::kMin, info->minimum, minimum_);
    PutMasked(info->mask, DScrollMask::kMax, info->maximum, maximum_);
    PutMasked(info->mask, DScrollMask::kPos, info->position, position_);
    PutMasked(info->mask, DScrollMask::kPage, info->page, page_);
    return true;
}

void DScroll::SetPage(int page)
{
    if (page < 0)
        page = 0;
    if (page == page_)
        return;
    page_ = page;
    int n = ClampPosition(position_, minimum_, maximum_, page_);
    bool moved = n != position_;
    position_ = n;
    RecalcAndRedraw();
    if (moved && notify_ && notify_->settled)
        notify_->settled(cookie_, this, position_);
}

bool DScroll::SetMax(int maximum)
{
    if (maximum == maximum_)
        return true;
    if (maximum < minimum_)
        return false;
    maximum_ = maximum;
    long long top = static_cast<long long>(maximum) - page_;
    if (top < position_)
        SetPos(top > minimum_ ? static_cast<int>(top) : minimum_);
    RecalcAndRedraw();
    return true;
}

bool DScroll::SetMin(int minimum)
{
    if (minimum == minimum_)
        return true;
    if (minimum > maximum_)
        return false;
    minimum_ = minimum;
    if (position_ < minimum)
        SetPos(minimum);
    RecalcAndRedraw();
    return true;
}

// One step: the owner's callback may decide the new position; without one (or
// when it returns 0) the position moves by `delta`.
void DScroll::Step(DScrollStep DScrollNotify::*slot, long long delta)
{
    int n = position_;
    int decided = 0;
    if (notify_ && notify_->*slot)
        decided = (notify_->*slot)(cookie_, this, &n);
    if (!decided)
        n = ClampToInt(static_cast<long long>(position_) + delta);
    else if (n == position_)
        return;
    SetPos(n);
}

void DScroll::LineUp() { Step(&DScrollNotify::lineUp, -1); }
void DScroll::LineDown() { Step(&DScrollNotify::lineDown, 1); }
void DScroll::PageUp() { Step(&DScrollNotify::pageUp, -static_cast<long long>(page_)); }
void DScroll::PageDown() { Step(&DScrollNotify::pageDown, page_); }

bool DScroll::Enable(bool enable)
{
    if (!hwnd)
        return false;
    if (IsEnabled() != enable)
        EnableWindow(hwnd, enable);
    return true;
}

bool DScroll::Show(bool show)
{
    if (!hwnd)
        return false;
    if (IsVisible() != show)
        ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
    return true;
}

// ---- presses ------------------------------------------------------------------

bool DScroll::InsideAcross(int x, int y) const
{
    int across = IsVertical() ? x : y;
    return across >= 0 && across < Across();
}

void DScroll::StartPress(Part part)
{
    pressPart_ = part;
    HWND previous = ::SetCapture(hwnd);
    previousCapture_ = previous == hwnd ? nullptr : previous;
    if (part != kThumb)
        timer_ = SetTimer(hwnd, kRepeatTimerId, kRepeatDelay, nullptr);
}

// Ends any press: timer and capture go, and the owner hears once where the
// position settled when the press moved it.
void DScroll::EndPress()
{
    if (pressPart_ == kNone)
        return;
    Part was = pressPart_;
    pressPart_ = kNone;   // before the capture moves: WM_CAPTURECHANGED then finds no press
    if (timer_)
        KillTimer(hwnd, timer_);
    timer_ = 0;
    HWND previous = previousCapture_;
    previousCapture_ = nullptr;
    if (GetCapture() == hwnd) {
        if (previous && IsWindow(previous))
            ::SetCapture(previous);
        else
            ReleaseCapture();
    }
    if (was == kFirstArrow || was == kSecondArrow)
        Redraw();
    if (position_ != pressStartPosition_ && notify_ && notify_->settled)
        notify_->settled(cookie_, this, position_);
}

void DScroll::OnLButtonDown(int x, int y, WPARAM keys)
{
    if (pressPart_ != kNone)
        EndPress();
    int c = Along(x, y), length = Length(), b = buttonLength_;
    pressStartPosition_ = position_;
    if (c < b + thumbOffset_ && c < b) {
        StartPress(kFirstArrow);
        LineUp();
        Redraw();
    } else if (c < b + thumbOffset_) {
        StartPress(kTrackBefore);
        pressOffset_ = c - b;
        PageUp();
    } else if (c < length - b && c > b + thumbOffset_ + thumbLength_) {
        StartPress(kTrackAfter);
        pressOffset_ = c - b;
        PageDown();
    } else if (c < length - b) {
        StartPress(kThumb);
        pressOffset_ = thumbOffset_;
        dragStart_ = c;
    } else {
        StartPress(kSecondArrow);
        LineDown();
        Redraw();
    }
    Report(&DScrollInput::leftDown, keys, x, y);
}

void DScroll::OnTimer(WPARAM id, LPARAM)
{
    if (id != kRepeatTimerId)
        return;
    switch (pressPart_) {
    case kFirstArrow:
        LineUp();
        break;
    case kSecondArrow:
        LineDown();
        break;
    case kTrackBefore:
        if (pressOffset_ < thumbOffset_)
            PageUp();
        else
            EndPress();   // the thumb has reached the pointer
        break;
    case kTrackAfter:
        if (pressOffset_ > thumbOffset_ + thumbLength_)
            PageDown();
        else
            EndPress();
        break;
    default:
        if (timer_)
            KillTimer(hwnd, timer_);
        timer_ = 0;
        break;
    }
}

void DScroll::OnMouseMove(int x, int y, WPARAM keys)
{
    int c = Along(x, y), length = Length(), b = buttonLength_;
    bool across = InsideAcross(x, y);
    switch (pressPart_) {
    case kFirstArrow:
        if (!(across && c >= 0 && c < b))
            EndPress();
        break;
    case kSecondArrow:
        if (!(across && c >= length - b && c < length))
            EndPress();
        break;
    case kTrackBefore:
        if (!(across && c >= b && c < b + thumbOffset_))
            EndPress();
        break;
    case kTrackAfter:
        if (!(across && c >= b + thumbOffset_ + thumbLength_ && c < length - b))
            EndPress();
        break;
    case kThumb: {
        int free = trackLength_ - thumbLength_;
        long long offset = static_cast<long long>(c) - dragStart_ + pressOffset_;
        if (offset < 0)
            offset = 0;
        if (offset > free)
            offset = free;
        if (offset != thumbOffset_ && free > 0) {
            long long span = static_cast<long long>(maximum_) - minimum_ - page_;
            SetPos(ClampToInt(minimum_ + span * offset / free));
        }
        break;
    }
    default:
        break;
    }
    Report(&DScrollInput::mouseMove, keys, x, y);
}

void DScroll::OnLButtonUp(int x, int y, WPARAM keys)
{
    EndPress();
    Report(&DScrollInput::leftUp, keys, x, y);
}

// Another window took the capture (a dialog, a menu): the press is over.
void DScroll::OnCaptureChanged(LPARAM newCapture)
{
    if (pressPart_ != kNone && reinterpret_cast<HWND>(newCapture) != hwnd) {
        previousCapture_ = nullptr;
        EndPress();
    }
}

