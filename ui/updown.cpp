// DUpDown: creation, values, mouse and painting.
#include "ui/updown.h"

#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "ui/control_font.h"
#include "ui/gdi.h"
#include "ui/handler_table.h"
#include "ui/window_create.h"

namespace {

ControlClass gUpDownClass = {DUpDown::kClassName, CS_OWNDC | CS_NOCLOSE,
                             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))};

bool Consistent(int minimum, int maximum, int value, int defaultValue)
{
    return minimum <= maximum && minimum <= value && value <= maximum && minimum <= defaultValue &&
           defaultValue <= maximum;
}

// Our own copy of a cursor resource (ours to destroy), or the shared system
// cursor when the resource is missing (never destroyed).
HCURSOR LoadOwnCursor(UINT id, bool* owned)
{
    HCURSOR c = static_cast<HCURSOR>(LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    *owned = c != nullptr;
    return c ? c : LoadCursorW(nullptr, IDC_SIZENS);
}

}  // namespace

DUpDown::~DUpDown()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool DUpDown::RegisterClass()
{
    // One line per concern; double-clicks, the right button's release, the
    // middle button and the keys (the image panel takes them as its own) only
    // report to the owner.
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &DUpDown::OnCreate>(), OnMessage<WM_DESTROY, &DUpDown::OnDestroy>(),
        OnMessage<WM_PAINT, &DUpDown::OnPaint>(), OnMessage<WM_SIZE, &DUpDown::OnSize>(),
        OnMessage<WM_MOUSEMOVE, &DUpDown::OnMouseMove>(), OnMessage<WM_CAPTURECHANGED, &DUpDown::OnCaptureChanged>(),
        OnMessage<WM_LBUTTONDOWN, &DUpDown::OnLButtonDown>(), OnMessage<WM_LBUTTONUP, &DUpDown::OnLButtonUp>(),
        OnMessage<WM_RBUTTONDOWN, &DUpDown::OnRButtonDown>(),
    };
    return RegisterControl(gUpDownClass, handlers, ReportInput::kMouse | ReportInput::kKeys);
}

void DUpDown::UnregisterClass()
{
    UnregisterControl(gUpDownClass);
}

// ---- creation and values ------------------------------------------------------

bool DUpDown::Create(const DUpDownDesc* desc)
{
    if (!desc || hwnd || !desc->input || !desc->notify)
        return false;
    int minimum = MaskedValue(desc->mask, DUpDownMask::kMin, desc->minimum, 0);
    int maximum = MaskedValue(desc->mask, DUpDownMask::kMax, desc->maximum, 0);
    int value = MaskedValue(desc->mask, DUpDownMask::kValue, desc->value, 0);
    int defaultValue = MaskedValue(desc->mask, DUpDownMask::kDefault, desc->defaultValue, 0);
    if (!Consistent(minimum, maximum, value, defaultValue))
        return false;
    style_ = desc->style;
    // A copy left from an earlier window is freed.
    if (!HoldInput(desc->input, (style_ & DUpDownStyle::kCopyInput) != 0))
        return false;
    notify_ = *desc->notify;
    icon_ = (style_ & DUpDownStyle::kIcon) ? desc->icon : nullptr;
    iconWidth_ = icon_ ? desc->iconWidth : 0;
    iconHeight_ = icon_ ? desc->iconHeight : 0;
    minimum_ = minimum;
    maximum_ = maximum;
    value_ = value;
    defaultValue_ = defaultValue;
    step_ = MaskedValue(desc->mask, DUpDownMask::kStep, desc->step, 1);
    cookie_ = desc->cookie;
    press_ = 0;
    DWORD visible = (style_ & DUpDownStyle::kVisible) ? WS_VISIBLE : 0;
    if (!CreateControlWindow(WS_EX_NOPARENTNOTIFY, kClassName, visible, desc->x, desc->y, desc->width, desc->height,
                             desc->parent, hInstance, nullptr, &DUpDown::ReleaseInput))
        return false;
    FormatValue();
    return true;
}

bool DUpDown::SetInfo(const DUpDownInfo* info)
{
    if (!info)
        return false;
    int minimum = MaskedValue(info->mask, DUpDownMask::kMin, info->minimum, minimum_);
    int maximum = MaskedValue(info->mask, DUpDownMask::kMax, info->maximum, maximum_);
    int value = MaskedValue(info->mask, DUpDownMask::kValue, info->value, value_);
    int defaultValue = MaskedValue(info->mask, DUpDownMask::kDefault, info->defaultValue, defaultValue_);
    if (!Consistent(minimum, maximum, value, defaultValue))
        return false;
    minimum_ = minimum;
    maximum_ = maximum;
    value_ = value;
    defaultValue_ = defaultValue;
    RedrawValue();
    if (info->mask & DUpDownMask::kStep)
        step_ = info->step;
    return true;
}

bool DUpDown::GetInfo(DUpDownInfo* info) const
{
    if (!info)
        return false;
    PutMasked(info->mask, DUpDownMask::kMin, info->minimum, minimum_);
    PutMasked(info->mask, DUpDownMask::kMax, info->maximum, maximum_);
    PutMasked(info->mask, DUpDownMask::kValue, info->value, value_);
    PutMasked(info->mask, DUpDownMask::kDefault, info->defaultValue, defaultValue_);
    PutMasked(info->mask, DUpDownMask::kStep, info->step, step_);
    return true;
}

int DUpDown::Clamp(long long value) const
{
    return value < minimum_ ? minimum_ : value > maximum_ ? maximum_ : static_cast<int>(value);
}

// One step per two pixels up from where the drag started (towards zero).
int DUpDown::DragValue(int y) const
{
    long long pixels = static_cast<long long>(dragStartY_) - y;
    return Clamp(dragStartValue_ + pixels / 2 * static_cast<long long>(step_));
}

void DUpDown::FormatValue()
{
    textLength_ = IntToText(text_, value_);
}

// ---- window messages ------------------------------------------------------------

LRESULT DUpDown::OnCreate(HWND, LPARAM)
{
    press_ = 0;
    dc_ = ::GetDC(hwnd);
    if (ControlFont)
        SelectObject(dc_, ControlFont);
    SetBkMode(dc_, TRANSPARENT);
    SelectObject(dc_, GetStockObject(BLACK_BRUSH));
    dragCursor_ = LoadOwnCursor(kDragCursorId, &cursorsOwned_[0]);
    hoverCursor_ = LoadOwnCursor(kHoverCursorId, &cursorsOwned_[1]);
    textBrush_ = GetSysColorBrush(COLOR_MENU);
    return 0;
}

void DUpDown::OnDestroy()
{
    if (press_ & (kHovering | kDragging))
        SetCursor(restoreCursor_ ? restoreCursor_ : LoadCursorW(nullptr, IDC_ARROW));
    press_ = 0;
    ReleaseInput();
    if (cursorsOwned_[0])
        DestroyCursor(dragCursor_);
    if (cursorsOwned_[1])
        DestroyCursor(hoverCursor_);
    dragCursor_ = hoverCursor_ = nullptr;
    cursorsOwned_[0] = cursorsOwned_[1] = false;
    if (dc_) {
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        ::ReleaseDC(hwnd, dc_);
    }
    dc_ = nullptr;
}

void DUpDown::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
    int g = height < 32 ? 4 : 6;
    press_ &= ~kIconHidden;
    if (width < height) {
        columnWidth_ = width - 2;
        if (icon_)
            press_ |= kIconHidden;
    } else {
        columnWidth_ = height - 2;
        if (icon_) {
            iconX_ = (width - columnWidth_ - iconWidth_) / 2;
            if (iconX_ < 1) {
                columnWidth_ = width - 2;
                press_ |= kIconHidden;
            } else {
                iconY_ = (height - iconHeight_) / 2;
            }
        }
    }
    columnX_ = width - columnWidth_ - 2;
    upTop_ = 1;
    upHeight_ = (height - g - 3) / 2;
    stripTop_ = upHeight_ + 2;
    stripHeight_ = g;
    downTop_ = stripTop_ + 1 + g;
    downHeight_ = height - downTop_ - 2;
}

void DUpDown::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Paint(dc);
    EndPaint(hwnd, &ps);
}

// ---- painting ----------------------------------------------------------------------

namespace {

void Frame(HDC dc, int left, int top, int right, int bottom, bool sunken)
{
    if (right <= left || bottom <= top)
        return;
    HGDIOBJ white = GetStockObject(WHITE_PEN), black = GetStockObject(BLACK_PEN);
    ScopedSelect keep(dc, sunken ? black : white);
    MoveToEx(dc, left, bottom - 1, nullptr);
    LineTo(dc, left, top);
    LineTo(dc, right - 1, top);
    SelectObject(dc, sunken ? white : black);
    LineTo(dc, right - 1, bottom - 1);
    LineTo(dc, left, bottom - 1);
}

}  // namespace

void DUpDown::DrawValue(HDC dc)
{
    if (!(style_ & DUpDownStyle::kText) || clientWidth_ <= 0)
        return;
    RECT area = {1, 1, clientWidth_ - columnWidth_ - 2, clientHeight_ - 1};
    if (area.right <= area.left || area.bottom <= area.top)
        return;
    FillRect(dc, &area, textBrush_ ? textBrush_ : GetSysColorBrush(COLOR_MENU));
    ScopedSelect font(dc, ControlFont);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    DrawTextW(dc, text_, textLength_, &area, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

void DUpDown::RedrawValue()
{
    FormatValue();
    if (dc_)
        DrawValue(dc_);
}

void DUpDown::Redraw()
{
    if (dc_)
        Paint(dc_);
}

void DUpDown::Paint(HDC dc)
{
    if (!dc || clientWidth_ <= 0 || clientHeight_ <= 0)
        return;
    DBufferDC buffer(dc, clientWidth_, clientHeight_);
    HDC t = buffer ? buffer.Get() : dc;
    RECT all = {0, 0, clientWidth_, clientHeight_};
    FillRect(t, &all, textBrush_ ? textBrush_ : GetSysColorBrush(COLOR_MENU));
    DrawValue(t);
    if ((style_ & DUpDownStyle::kIcon) && icon_ && !(press_ & kIconHidden))
        DrawIconEx(t, iconX_, iconY_, icon_, iconWidth_, iconHeight_, 0, nullptr, DI_NORMAL);
    int right = columnX_ + columnWidth_;
    Frame(t, columnX_, upTop_, right, upTop_ + upHeight_, (press_ & kUpPressed) != 0);
    Frame(t, columnX_, stripTop_, right, stripTop_ + stripHeight_, (press_ & kDragging) != 0);
    Frame(t, columnX_, downTop_, right, downTop_ + downHeight_, (press_ & kDownPressed) != 0);
    {
        ScopedSelect brush(t, GetStockObject(BLACK_BRUSH));
        ScopedSelect pen(t, GetStockObject(BLACK_PEN));
        int apexX = columnX_ + (clientWidth_ - columnX_) / 2;
        if (upHeight_ > 6) {
            POINT up[3] = {{columnX_ + 3, upTop_ + upHeight_ - 3}, {apexX, upTop_ + 3}, {clientWidth_ - 3, upTop_ + upHeight_ - 3}};
            Polygon(t, up, 3);
        }
        if (downHeight_ > 6) {
            POINT down[3] = {{columnX_ + 3, downTop_ + 3}, {apexX, downTop_ + downHeight_ - 3}, {clientWidth_ - 3, downTop_ + 3}};
            Polygon(t, down, 3);
        }
    }
    Frame(t, 0, 0, clientWidth_, clientHeight_, false);
    if (buffer)
        buffer.CopyTo(dc, 0, 0);
}

// ---- mouse --------------------------------------------------------------------------

void DUpDown::Notify(DUpDownEvent DUpDownNotify::*slot)
{
    if (notify_.*slot)
        (notify_.*slot)(cookie_, this, value_);
}

void DUpDown::TakeCapture()
{
    HWND previous = ::SetCapture(hwnd);
    previousCapture_ = previous == hwnd ? nullptr : previous;
}

void DUpDown::GiveBackCapture()
{
    HWND previous = previousCapture_;
    previousCapture_ = nullptr;
    if (GetCapture() == hwnd) {
        if (previous && IsWindow(previous))
            ::SetCapture(previous);
        else
            ReleaseCapture();
    }
}

void DUpDown::EndHover()
{
    if (!(press_ & kHovering))
        return;
    press_ &= ~kHovering;   // first: releasing the capture sends WM_CAPTURECHANGED
    GiveBackCapture();
    SetCursor(restoreCursor_ ? restoreCursor_ : LoadCursorW(nullptr, IDC_ARROW));
    restoreCursor_ = nullptr;
}

void DUpDown::EndPress()
{
    bool dragging = (press_ & kDragging) != 0;
    press_ &= ~(kUpPressed | kDownPressed | kDragging);
    GiveBackCapture();
    if (dragging) {
        SetCursor(restoreCursor_ ? restoreCursor_ : LoadCursorW(nullptr, IDC_ARROW));
        restoreCursor_ = nullptr;
    }
    Redraw();
}

void DUpDown::OnLButtonDown(int x, int y, WPARAM keys)
{
    if (x > columnX_ && !(press_ & (kUpPressed | kDownPressed | kDragging))) {
        if (y < stripTop_) {
            EndHover();
            press_ |= kUpPressed;
        } else if (y < downTop_) {
            HCURSOR before = (press_ & kHovering) ? restoreCursor_ : nullptr;
            EndHover();
            press_ |= kDragging;
            dragStartValue_ = value_;
            dragStartY_ = y;
            HCURSOR current = SetCursor(dragCursor_);
            restoreCursor_ = before ? before : current;
        } else {
            EndHover();
            press_ |= kDownPressed;
        }
        TakeCapture();
        Redraw();
    }
    Report(&DUpDownInput::leftDown, keys, x, y);
}

void DUpDown::OnMouseMove(int x, int y, WPARAM keys)
{
    if (!(press_ & (kUpPressed | kDownPressed | kDragging))) {
        bool inStrip = x > columnX_ && x < clientWidth_ && y > stripTop_ && y < stripTop_ + stripHeight_;
        bool outStrip = x < columnX_ || x > clientWidth_ || y < stripTop_ || y > stripTop_ + stripHeight_;
        if (!(press_ & kHovering) && inStrip) {
            press_ |= kHovering;
            restoreCursor_ = SetCursor(hoverCursor_);
            TakeCapture();
        } else if ((press_ & kHovering) && outStrip) {
            EndHover();
        }
    } else if (press_ & (kUpPressed | kDownPressed)) {
        int top = (press_ & kUpPressed) ? upTop_ : downTop_;
        int height = (press_ & kUpPressed) ? upHeight_ : downHeight_;
        if (x < columnX_ || x > clientWidth_ || y < top || y > top + height)
            EndPress();   // dropped without a change
    } else {
        int value = DragValue(y);
        if (value != value_) {
            value_ = value;
            RedrawValue();
            Notify(&DUpDownNotify::valueChanging);
        }
    }
    Report(&DUpDownInput::mouseMove, keys, x, y);
}

void DUpDown::OnLButtonUp(int x, int y, WPARAM keys)
{
    DWORD pressed = press_ & (kUpPressed | kDownPressed | kDragging);
    if (pressed) {
        HWND self = hwnd;
        EndPress();
        if (pressed & kDragging) {
            int value = DragValue(y);
            if (value == value_) {
                if (value_ != dragStartValue_)
                    Notify(&DUpDownNotify::valueSet);
            } else {
                value_ = value;
                RedrawValue();
                Notify(&DUpDownNotify::valueChanging);
                if (hwnd == self)
                    Notify(&DUpDownNotify::valueSet);
            }
        } else if (x >= columnX_ && x <= clientWidth_ && y >= 0 && y <= clientHeight_) {
            long long value = value_;
            if ((pressed & kUpPressed) && y < stripTop_)
                value += step_;
            else if ((pressed & kDownPressed) && y >= downTop_)
                value -= step_;
            int clamped = Clamp(value);
            if (clamped != value_) {
                value_ = clamped;
                RedrawValue();
                Notify(&DUpDownNotify::valueSet);
            }
        }
        if (hwnd != self)
            return;
    }
    Report(&DUpDownInput::leftUp, keys, x, y);
}

void DUpDown::OnRButtonDown(int x, int y, WPARAM keys)
{
    HWND self = hwnd;
    if (!(press_ & kDragging)) {
        if (value_ != defaultValue_ && notify_.valueSet) {
            value_ = defaultValue_;
            RedrawValue();
            Notify(&DUpDownNotify::valueSet);
        }
    } else {
        EndPress();
        if (notify_.valueSet) {
            value_ = dragStartValue_;
            RedrawValue();
            Notify(&DUpDownNotify::valueSet);
        }
    }
    if (hwnd == self)
        Report(&DUpDownInput::rightDown, keys, x, y);
}

// Another window took the capture: a hover ends, a drag goes back to where it started.
void DUpDown::OnCaptureChanged(LPARAM newCapture)
{
    if (reinterpret_cast<HWND>(newCapture) == hwnd)
        return;
    previousCapture_ = nullptr;
    if (press_ & kHovering) {
        press_ &= ~kHovering;
        SetCursor(restoreCursor_ ? restoreCursor_ : LoadCursorW(nullptr, IDC_ARROW));
        restoreCursor_ = nullptr;
    }
    if (press_ & kDragging) {
        EndPress();
        if (value_ != dragStartValue_) {
            value_ = dragStartValue_;
            RedrawValue();
            Notify(&DUpDownNotify::valueSet);
        }
    } else if (press_ & (kUpPressed | kDownPressed)) {
        EndPress();
    }
}

