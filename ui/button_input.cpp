// DButton: mouse, keyboard, focus, hover time-out and the tip; window size
// and position messages.
#include "ui/button.h"

#include "ui/tooltip.h"
#include "ui/window_create.h"

#include <new>

using namespace DButtonState;

// ---- callbacks ------------------------------------------------------------

bool DButton::Notify(DButtonEvent DButtonNotify::*which)
{
    HWND window = hwnd;
    DButtonEvent callback = notify_ ? notify_->*which : nullptr;
    if (callback)
        callback(cookie_, this);
    return StillOwns(window);
}

// ---- presses --------------------------------------------------------------

bool DButton::Press(DWORD bit)
{
    state_ |= bit;
    CancelHover();
    ::SetCapture(hwnd);
    DrawBorder();
    return Notify(&DButtonNotify::pressed);
}

bool DButton::Release(DWORD bit)
{
    state_ &= ~bit;
    if (GetCapture() == hwnd) {
        releasingCapture_ = true;
        ReleaseCapture();
        releasingCapture_ = false;
    }
    DrawBorder();
    return Notify(&DButtonNotify::released);
}

void DButton::ButtonDown(DWORD enabledBy, DWORD bit, DButtonMouseEvent DButtonInput::*callback, int x, int y,
                         WPARAM keys)
{
    if (!Report(callback, keys, x, y))
        return;
    if (bit == kLeftPressed) {
        Press(bit);   // CancelHover comes with the press
        return;
    }
    CancelHover();
    if (style_ & enabledBy)
        Press(bit);
}

void DButton::ButtonUp(DWORD enabledBy, DWORD bit, DButtonMouseEvent DButtonInput::*callback,
                       DButtonEvent DButtonNotify::*clickKind, int x, int y, WPARAM keys)
{
    if (!Report(callback, keys, x, y))
        return;
    if ((enabledBy == 0 || (style_ & enabledBy)) && (state_ & bit)) {
        if (Release(bit))
            Notify(clickKind);
    }
}

void DButton::OnLButtonDown(int x, int y, WPARAM keys)
{
    ButtonDown(0, kLeftPressed, &DButtonInput::leftDown, x, y, keys);
}

void DButton::OnLButtonUp(int x, int y, WPARAM keys)
{
    ButtonUp(0, kLeftPressed, &DButtonInput::leftUp, &DButtonNotify::clicked, x, y, keys);
}

void DButton::OnRButtonDown(int x, int y, WPARAM keys)
{
    ButtonDown(DButtonStyle::kRightButton, kRightPressed, &DButtonInput::rightDown, x, y, keys);
}

void DButton::OnRButtonUp(int x, int y, WPARAM keys)
{
    ButtonUp(DButtonStyle::kRightButton, kRightPressed, &DButtonInput::rightUp, &DButtonNotify::rightClicked, x, y,
             keys);
}

void DButton::OnMButtonDown(int x, int y, WPARAM keys)
{
    ButtonDown(DButtonStyle::kMiddleButton, kMiddlePressed, &DButtonInput::middleDown, x, y, keys);
}

void DButton::OnMButtonUp(int x, int y, WPARAM keys)
{
    ButtonUp(DButtonStyle::kMiddleButton, kMiddlePressed, &DButtonInput::middleUp, &DButtonNotify::middleClicked, x,
             y, keys);
}

void DButton::OnMouseMove(int x, int y, WPARAM keys)
{
    HWND window = hwnd;
    if ((style_ & DButtonStyle::kHoverTimeout) && !(state_ & (kHoverTimer | kTipShown)))
        StartHoverTimer();
    if (!(style_ & DButtonStyle::kStayPressed) && (x < 0 || y < 0 || x > clientWidth_ || y > clientHeight_)) {
        // Left the button while pressing: the press ends without a click.
        const DWORD mouse = kLeftPressed | kRightPressed | kMiddlePressed;
        if (state_ & mouse)
            Release(mouse);
        return;
    }
    bool alive = true;
    if ((keys & MK_LBUTTON) && !(state_ & kLeftPressed))
        alive = Press(kLeftPressed);
    else if ((keys & MK_RBUTTON) && (style_ & DButtonStyle::kRightButton) && !(state_ & kRightPressed))
        alive = Press(kRightPressed);
    else if ((keys & MK_MBUTTON) && (style_ & DButtonStyle::kMiddleButton) && !(state_ & kMiddlePressed))
        alive = Press(kMiddlePressed);
    if (alive && StillOwns(window))
        Report(&DButtonInput::mouseMove, keys, x, y);
}

// ---- keyboard and focus ---------------------------------------------------

void DButton::OnKeyDown(WPARAM key, LPARAM data)
{
    HWND window = hwnd;
    CancelHover();
    if (key == VK_SPACE && !(state_ & kSpaceHeld)) {
        state_ |= kSpaceHeld;
        DrawBorder();
        if (!Notify(&DButtonNotify::pressed))
            return;
    }
    if (StillOwns(window))
        Report(&DButtonInput::keyDown, key, data);
}

void DButton::OnKeyUp(WPARAM key, LPARAM data)
{
    HWND window = hwnd;
    CancelHover();
    // A space released without its press here (pressed in another window) is no click.
    if (key == VK_SPACE && (state_ & kSpaceHeld)) {
        state_ &= ~kSpaceHeld;
        DrawBorder();
        if (!Notify(&DButtonNotify::released) || !Notify(&DButtonNotify::clicked))
            return;
    }
    if (StillOwns(window))
        Report(&DButtonInput::keyUp, key, data);
}

void DButton::OnSetFocus(WPARAM)
{
    state_ |= kFocused;
    RepaintFace();
    Report(&DButtonInput::focusGained);
}

void DButton::OnKillFocus(WPARAM)
{
    state_ &= ~kFocused;
    if (state_ & kSpaceHeld) {
        state_ &= ~kSpaceHeld;
        DrawBorder();
        if (!Notify(&DButtonNotify::released))
            return;
    }
    RepaintFace();
    Report(&DButtonInput::focusLost);
}

LRESULT DButton::OnMouseActivate(WPARAM, int, int)
{
    if (!(style_ & DButtonStyle::kNoFocusOnClick))
        DWnd::SetFocus();
    return MA_ACTIVATE;
}

// Another window took the mouse (a menu or a dialog that a callback opened):
// no button-up will reach us, so the press ends here, released but not clicked.
void DButton::OnCaptureChanged(LPARAM newCapture)
{
    const DWORD mouse = kLeftPressed | kRightPressed | kMiddlePressed;
    if (releasingCapture_ || reinterpret_cast<HWND>(newCapture) == hwnd || !(state_ & mouse))
        return;
    state_ &= ~mouse;
    DrawBorder();
    Notify(&DButtonNotify::released);
}

// ---- hover and tip --------------------------------------------------------

void DButton::StartHoverTimer()
{
    hoverTimer_ = SetTimer(hwnd, kHoverTimerId, kHoverDelay, nullptr);
    if (hoverTimer_)
        state_ |= kHoverTimer;
}

void DButton::KillHoverTimer()
{
    if (hoverTimer_ && hwnd)
        KillTimer(hwnd, hoverTimer_);
    hoverTimer_ = 0;
}

namespace {
bool CursorInside(HWND hwnd, int width, int height)
{
    POINT p;
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd, &p))
        return false;
    return p.x >= 0 && p.y >= 0 && p.x < width && p.y < height && IsWindowVisible(hwnd);
}
}  // namespace

void DButton::OnTimer(WPARAM id, LPARAM)
{
    if (!hoverTimer_ || id != hoverTimer_)
        return;
    if (state_ & kHoverTimer) {
        state_ &= ~kHoverTimer;
        KillHoverTimer();
        if (CursorInside(hwnd, clientWidth_, clientHeight_))
            Notify(&DButtonNotify::hoverTimeout);
        return;
    }
    if ((state_ & kTipShown) && CursorInside(hwnd, clientWidth_, clientHeight_))
        return;
    KillHoverTimer();
    if (tip_)
        CancelHover();
}

bool DButton::SetToolTip(UINT placement, const wchar_t* text, int length)
{
    if (!hwnd || tip_)
        return false;
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    DToolTipDesc desc = {};
    switch (placement & 3) {
    case 1:
        desc.x = wr.left;
        desc.flags = TipAlign::kEndAtX;
        break;
    case 2:
        desc.x = wr.right;
        desc.flags = TipAlign::kStartAtX;
        break;
    default:
        desc.x = (wr.left + wr.right) / 2;
        desc.flags = TipAlign::kCentreX;
    }
    switch (placement & 0xC) {
    case 4:
        desc.y = wr.top;
        desc.flags |= TipAlign::kEndAtY;
        break;
    case 8:
        desc.y = wr.bottom;
        desc.flags |= TipAlign::kStartAtY;
        break;
    default:
        desc.y = (wr.top + wr.bottom) / 2;
        desc.flags |= TipAlign::kCentreY;
    }
    desc.parent = hwnd;
    desc.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    desc.requester = this;
    desc.text = text;
    desc.length = length;
    DToolTip* tip = new (std::nothrow) DToolTip;
    if (!tip)
        return false;
    if (!tip->Create(&desc)) {
        delete tip;
        return false;
    }
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd, 0};
    if (!TrackMouseEvent(&track)) {
        delete tip;   // destroys its window
        return false;
    }
    tip_ = tip;
    state_ |= kTipShown;
    state_ &= ~kHoverTimer;
    KillHoverTimer();
    return true;
}

void DButton::CancelHover()
{
    if (!(state_ & (kHoverTimer | kTipShown)))
        return;
    state_ &= ~(kHoverTimer | kTipShown);
    KillHoverTimer();
    delete tip_;
    tip_ = nullptr;
}

void DButton::OnMouseLeave()
{
    if (tip_)
        CancelHover();
}

// ---- size, position, visibility -------------------------------------------

LRESULT DButton::OnNcCalcSize(WPARAM, LPARAM params)
{
    // Both forms of the message start with the proposed window rectangle.
    RECT* r = reinterpret_cast<RECT*>(params);
    r->left += borderWidth_;
    r->top += borderWidth_;
    r->right -= borderWidth_;
    r->bottom -= borderWidth_;
    if (r->left > r->right)
        r->left = r->right = (r->left + r->right) / 2;
    if (r->top > r->bottom)
        r->top = r->bottom = (r->top + r->bottom) / 2;
    return 0;
}

void DButton::OnWindowPosChanging(LPARAM lParam)
{
    if (!(style_ & DButtonStyle::kAnchorMask))
        return;
    WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    int width = (pos->flags & SWP_NOSIZE) ? wr.right - wr.left : pos->cx;
    int height = (pos->flags & SWP_NOSIZE) ? wr.bottom - wr.top : pos->cy;
    int x = pos->x, y = pos->y;
    if (pos->flags & SWP_NOMOVE) {
        // The anchored edge decides the position even when the caller only
        // resizes: start from where the button is now.
        POINT now = {wr.left, wr.top};
        ScreenToClient(GetParent(hwnd), &now);
        x = now.x;
        y = now.y;
    }
    AnchorToParent(style_, GetParent(hwnd), width, height, &x, &y);
    pos->x = x;
    pos->y = y;
    pos->flags &= ~SWP_NOMOVE;
}

void DButton::OnWindowPosChanged(LPARAM lParam)
{
    const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos->flags & SWP_HIDEWINDOW)
        CancelHover();
    DefWindowProcW(hwnd, WM_WINDOWPOSCHANGED, 0, lParam);   // WM_SIZE and WM_MOVE follow
}

void DButton::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
    Layout();
}

void DButton::OnShowWindow(WPARAM shown, LPARAM)
{
    if (!shown)
        CancelHover();
}

void DButton::OnEnable(WPARAM enabled)
{
    if (!enabled)
        CancelHover();
    RepaintFace();
}
