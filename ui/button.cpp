// DButton: creation, registration, settings, caption and layout.
#include "ui/button.h"

#include "foundation/globals.h"
#include "foundation/registry.h"
#include "ui/control_input.h"
#include "ui/handler_table.h"
#include "ui/tooltip.h"
#include "ui/window_create.h"

#include <wchar.h>

namespace {

// Process-wide settings of every button (written on the main thread before
// the buttons that use them are created).
struct ButtonSettings {
    LOGFONTW defaultFont;     // for new buttons, when fontSet
    bool fontSet;
    int borderWidth = 1;
    COLORREF faceColor = GetSysColor(COLOR_BTNFACE);
    COLORREF disabledFaceColor = GetSysColor(COLOR_BTNFACE);
} gSettings;

bool gRegistered;

}  // namespace

HandlerTable gButtonHandlers;

DButton::~DButton()
{
    if (hwnd)
        DestroyWindow(hwnd);   // WM_DESTROY frees what the window owned
    FreeRecords();
    FreeText();
}

bool DButton::Create(const DButtonDesc* desc)
{
    if (hwnd || !desc || desc->size != sizeof(DButtonDesc) || !desc->notify)
        return false;
    style_ = desc->style;
    cookie_ = desc->cookie;
    icon_ = desc->icon;
    iconWidth_ = icon_ ? desc->iconWidth : 0;
    iconHeight_ = icon_ ? desc->iconHeight : 0;
    state_ = 0;
    FreeText();
    borderWidth_ = gSettings.borderWidth;   // WM_NCCALCSIZE comes before WM_CREATE

    // Records: the caller's, or copies the button keeps.
    if (!HoldRecord(notify_, desc->notify, (style_ & DButtonStyle::kCopyNotify) != 0))
        return false;
    // Without a record there is nothing to copy: the button has no input callbacks.
    if (!HoldRecord(input_, desc->input, (style_ & DButtonStyle::kCopyInput) && desc->input)) {
        FreeRecords();
        return false;
    }
    if (desc->caption && desc->caption[0])
        StoreText(desc->caption, static_cast<int>(wcslen(desc->caption)));

    DWindowDesc wd = {this,    &hwnd,   WndProc,     WS_EX_NOPARENTNOTIFY, kClassName,   nullptr,        WS_CHILD,
                      desc->x, desc->y, desc->width, desc->height,         desc->parent, nullptr,        desc->instance,
                      nullptr};
    HWND created;
    try {
        created = CreateWindowFromDesc(&wd);
    } catch (...) {
        FreeRecords();
        FreeText();
        throw;
    }
    if (!created) {
        FreeRecords();
        FreeText();
        return false;
    }
    if (style_ & DButtonStyle::kShowAtCreation)
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW |
                         SWP_NOOWNERZORDER);
    if (!hwnd)
        return false;
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    clientWidth_ = rc.right;
    clientHeight_ = rc.bottom;
    Layout();
    return true;
}

void DButton::FreeRecords()
{
    ReleaseRecord(notify_, (style_ & DButtonStyle::kCopyNotify) != 0);
    ReleaseRecord(input_, (style_ & DButtonStyle::kCopyInput) != 0);
}

LRESULT CALLBACK DButton::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<DButton, gButtonHandlers>(hwnd, message, wParam, lParam);
}

bool DButton::RegisterClass()
{
    if (gRegistered)
        return false;
    // No CS_DBLCLKS: Windows sends no double-click messages to buttons.
    if (!RegisterObjectClass(kClassName, CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_NOCLOSE, hInstance))
        return false;
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &DButton::OnCreate>(),
        OnMessage<WM_DESTROY, &DButton::OnDestroy>(),
        OnMessage<WM_PAINT, &DButton::OnPaint>(),
        OnMessage<WM_NCPAINT, &DButton::OnNcPaint>(),
        OnMessage<WM_ERASEBKGND, &DButton::OnEraseBkgnd>(),
        OnMessage<WM_SIZE, &DButton::OnSize>(),
        OnMessage<WM_SHOWWINDOW, &DButton::OnShowWindow>(),
        OnMessage<WM_NCCALCSIZE, &DButton::OnNcCalcSize>(),
        OnMessage<WM_WINDOWPOSCHANGING, &DButton::OnWindowPosChanging>(),
        OnMessage<WM_WINDOWPOSCHANGED, &DButton::OnWindowPosChanged>(),
        OnMessage<WM_ENABLE, &DButton::OnEnable>(),
        OnMessage<WM_MOUSEACTIVATE, &DButton::OnMouseActivate>(),
        OnMessage<WM_MOUSEMOVE, &DButton::OnMouseMove>(),
        OnMessage<WM_LBUTTONDOWN, &DButton::OnLButtonDown>(),
        OnMessage<WM_LBUTTONUP, &DButton::OnLButtonUp>(),
        OnMessage<WM_LBUTTONDBLCLK, &DButton::OnLButtonDblClk>(),
        OnMessage<WM_RBUTTONDOWN, &DButton::OnRButtonDown>(),
        OnMessage<WM_RBUTTONUP, &DButton::OnRButtonUp>(),
        OnMessage<WM_RBUTTONDBLCLK, &DButton::OnRButtonDblClk>(),
        OnMessage<WM_MBUTTONDOWN, &DButton::OnMButtonDown>(),
        OnMessage<WM_MBUTTONUP, &DButton::OnMButtonUp>(),
        OnMessage<WM_MBUTTONDBLCLK, &DButton::OnMButtonDblClk>(),
        OnMessage<WM_KEYDOWN, &DButton::OnKeyDown>(),
        OnMessage<WM_KEYUP, &DButton::OnKeyUp>(),
        OnMessage<WM_CHAR, &DButton::OnChar>(),
        OnMessage<WM_SETFOCUS, &DButton::OnSetFocus>(),
        OnMessage<WM_KILLFOCUS, &DButton::OnKillFocus>(),
        OnMessage<WM_TIMER, &DButton::OnTimer>(),
        OnMessage<WM_CAPTURECHANGED, &DButton::OnCaptureChanged>(),
        OnMessage<WM_MOUSELEAVE, &DButton::OnMouseLeave>(),
    };
    static_assert(sizeof(handlers) / sizeof(handlers[0]) == 30, "the button handles thirty messages");
    gButtonHandlers.Fill(handlers, sizeof(handlers) / sizeof(handlers[0]));
    gRegistered = true;
    return true;
}

void DButton::UnregisterClass()
{
    if (!gRegistered)
        return;
    ::UnregisterClassW(kClassName, hInstance);
    gRegistered = false;
}

void DButton::LoadSettings(HKEY settingsKey)
{
    gSettings.faceColor = GetSysColor(COLOR_BTNFACE);
    gSettings.disabledFaceColor = GetSysColor(COLOR_BTNFACE);
    HKEY key = nullptr;
    if (RegOpenKeyExW(settingsKey, L"Button", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    LOGFONTW font;
    if (RegReadLogFont(font, key, L"Font"))
        SetDefaultFont(font);
    DWORD border = 0, type = 0, size = sizeof(border);
    if (RegQueryValueExW(key, L"Border", nullptr, &type, reinterpret_cast<BYTE*>(&border), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(border))
        gSettings.borderWidth = border > static_cast<DWORD>(kMaxBorder) ? kMaxBorder : static_cast<int>(border);
    RegCloseKey(key);
}

void DButton::SetDefaultFont(const LOGFONTW& font)
{
    gSettings.defaultFont = font;
    gSettings.fontSet = true;
}

int DButton::BorderWidthSetting()
{
    return gSettings.borderWidth;
}

// ---- creation and destruction ---------------------------------------------

LRESULT DButton::OnCreate(HWND, LPARAM createStruct)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    dc_ = ::GetDC(hwnd);
    font_ = gSettings.fontSet ? CreateFontIndirectW(&gSettings.defaultFont) : nullptr;
    if (font_)
        SelectObject(dc_, font_);
    borderWidth_ = gSettings.borderWidth;
    state_ = 0;
    hoverTimer_ = 0;
    tip_ = nullptr;
    arrowColor_ = 0x0000FF;
    lightPen_ = CreatePen(PS_SOLID, 1, 0xEFEFEF);
    darkPen_ = CreatePen(PS_SOLID, 1, 0x000000);
    checkedPen_ = CreatePen(PS_SOLID, 1, 0x808080);
    if (style_ & DButtonStyle::kAnchorMask) {
        int x = cs->x, y = cs->y;
        AnchorPosition(cs->cx, cs->cy, &x, &y);
        SetWindowPos(hwnd, nullptr, x, y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    }
    faceColor_ = gSettings.faceColor;
    disabledFaceColor_ = gSettings.disabledFaceColor;
    SetBkMode(dc_, TRANSPARENT);
    captionColor_ = GetSysColor(COLOR_BTNTEXT);
    shadowColor_ = GetSysColor(COLOR_GRAYTEXT);
    shadowOffset_ = 0;
    SIZE x = {};
    GetTextExtentPoint32W(dc_, L"X", 1, &x);
    lineHeight_ = x.cy;
    captionWidth_ = 0;
    if (caption_)
        MeasureText();
    return 0;
}

void DButton::OnDestroy()
{
    FreeRecords();
    delete tip_;
    tip_ = nullptr;
    KillHoverTimer();
    state_ = 0;
    FreeText();
    if (dc_) {
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        SelectObject(dc_, GetStockObject(BLACK_PEN));
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        ::ReleaseDC(hwnd, dc_);
        dc_ = nullptr;
    }
    for (HPEN* pen : {&lightPen_, &darkPen_, &checkedPen_}) {
        if (*pen)
            DeleteObject(*pen);
        *pen = nullptr;
    }
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
    if (icon_ && (style_ & DButtonStyle::kOwnsIcon))
        DestroyIcon(icon_);
    icon_ = nullptr;
    hwnd = nullptr;
}

// ---- caption and layout ---------------------------------------------------

void DButton::FreeText()
{
    HANDLE heap = GetProcessHeap();
    if (caption_)
        HeapFree(heap, 0, caption_);
    if (lines_)
        HeapFree(heap, 0, lines_);
    caption_ = nullptr;
    lines_ = nullptr;
    captionLength_ = 0;
    lineCount_ = 0;
    captionWidth_ = 0;
}

void DButton::StoreText(const wchar_t* text, int length)
{
    FreeText();
    if (!text || length <= 0)
        return;
    HANDLE heap = GetProcessHeap();
    caption_ = static_cast<wchar_t*>(HeapAlloc(heap, 0, length * sizeof(wchar_t)));
    if (!caption_)
        return;
    wmemcpy(caption_, text, length);
    captionLength_ = length;
    if (!(style_ & DButtonStyle::kMultiLine)) {
        lineCount_ = 1;
    } else {
        lines_ = static_cast<Line*>(HeapAlloc(heap, 0, kMaxLines * sizeof(Line)));
        if (!lines_) {
            FreeText();
            return;
        }
        // Lines end at line feeds, which belong to no line; a trailing empty
        // line is dropped; lines past the 32nd are not shown.
        int start = 0;
        for (int i = 0; i <= length && lineCount_ < kMaxLines; ++i) {
            if (i == length || caption_[i] == L'\n') {
                if (i == length && start == length)
                    break;
                lines_[lineCount_++] = Line{start, i - start, 0};
                start = i + 1;
            }
        }
    }
    MeasureText();
    Layout();
}

void DButton::MeasureText()
{
    captionWidth_ = 0;
    if (!dc_ || !caption_)
        return;
    SIZE size = {};
    if (!(style_ & DButtonStyle::kMultiLine)) {
        GetTextExtentPoint32W(dc_, caption_, captionLength_, &size);
        captionWidth_ = size.cx;
        return;
    }
    for (int i = 0; i < lineCount_; ++i) {
        size.cx = 0;
        if (lines_[i].length > 0)
            GetTextExtentPoint32W(dc_, caption_ + lines_[i].start, lines_[i].length, &size);
        lines_[i].width = size.cx;
        if (size.cx > captionWidth_)
            captionWidth_ = size.cx;
    }
}

void DButton::Layout()
{
    int captionHeight = caption_ ? lineCount_ * lineHeight_ : 0;
    int captionWidth = caption_ ? captionWidth_ : 0;
    int blockHeight = iconHeight_ + captionHeight;
    int blockWidth = iconWidth_ + captionWidth;

    int top;
    switch (style_ & DButtonStyle::kAlignVMask) {
    case DButtonStyle::kAlignTop:
        top = 0;
        break;
    case DButtonStyle::kAlignBottom:
        top = clientHeight_ - blockHeight;
        break;
    default:
        top = (clientHeight_ - blockHeight) / 2;
    }
    switch (style_ & DButtonStyle::kArrangeVMask) {
    case DButtonStyle::kSideBySide:
        captionY_ = top + (blockHeight - captionHeight) / 2;
        iconY_ = top + (blockHeight - iconHeight_) / 2;
        break;
    case DButtonStyle::kCaptionAboveIcon:
        captionY_ = top;
        iconY_ = captionY_ + captionHeight;
        break;
    default:
        iconY_ = top;
        captionY_ = top + iconHeight_;
    }

    int left;
    switch (style_ & DButtonStyle::kAlignHMask) {
    case DButtonStyle::kAlignLeft:
        left = 0;
        break;
    case DButtonStyle::kAlignRight:
        left = clientWidth_ - blockWidth;
        break;
    default:
        left = (clientWidth_ - blockWidth) / 2;
    }
    switch (style_ & DButtonStyle::kArrangeHMask) {
    case DButtonStyle::kCaptionThenIcon:
        captionX_ = left;
        iconX_ = captionX_ + captionWidth;
        break;
    case DButtonStyle::kIconThenCaption:
        iconX_ = left;
        captionX_ = iconX_ + iconWidth_;
        break;
    default:
        captionX_ = left + (blockWidth - captionWidth) / 2;
        iconX_ = left + (blockWidth - iconWidth_) / 2;
    }
}

int DButton::CalcHeight() const
{
    int captionPart = caption_ ? lineCount_ * lineHeight_ + shadowOffset_ + 3 * lineHeight_ / 2 : 0;
    int iconPart = icon_ ? iconHeight_ : 0;
    int height;
    switch (style_ & DButtonStyle::kArrangeVMask) {
    case DButtonStyle::kSideBySide:
        height = captionPart > iconPart ? captionPart : iconPart;
        break;
    case DButtonStyle::kArrangeVMask:
        height = 0;
        break;
    default:
        height = captionPart + iconPart;
    }
    if (height == 0)
        height = lineHeight_;
    return height + borderWidth_;
}

void DButton::AnchorPosition(int width, int height, int* x, int* y) const
{
    RECT parent = {};
    ::GetClientRect(GetParent(hwnd), &parent);
    if (style_ & DButtonStyle::kAnchorLeft)
        *x = 0;
    else if (style_ & DButtonStyle::kAnchorRight)
        *x = parent.right - width;
    if (style_ & DButtonStyle::kAnchorTop)
        *y = 0;
    else if (style_ & DButtonStyle::kAnchorBottom)
        *y = parent.bottom - height;
}

// ---- setters --------------------------------------------------------------

int DButton::SetText(const wchar_t* text, int length)
{
    if (text && length < 0)
        length = static_cast<int>(wcslen(text));
    StoreText(text, text ? length : 0);
    if (!caption_)
        Layout();
    RepaintFace();
    return 0;
}

bool DButton::GetText(wchar_t* buffer, int capacity) const
{
    if (!buffer || capacity < captionLength_ + 1)
        return false;
    if (captionLength_)
        wmemcpy(buffer, caption_, captionLength_);
    buffer[captionLength_] = 0;
    return true;
}

void DButton::SetIcon(HICON icon, int width, int height)
{
    // The same handle again is no replacement: destroying it would leave the
    // button drawing a dead icon.
    if (icon_ && icon_ != icon && (style_ & DButtonStyle::kOwnsIcon))
        DestroyIcon(icon_);
    icon_ = icon;
    iconWidth_ = icon ? width : 0;
    iconHeight_ = icon ? height : 0;
    Layout();
    RepaintFace();
}

bool DButton::SetCheck(bool checked)
{
    if (!(style_ & DButtonStyle::kCheck))
        return false;
    if (checked == GetCheck())
        return true;
    if (checked)
        state_ |= DButtonState::kChecked;
    else
        state_ &= ~DButtonState::kChecked;
    DrawBorder();
    return true;
}

bool DButton::SetFont(const LOGFONTW& logFont)
{
    if (!hwnd)
        return false;
    HFONT font = CreateFontIndirectW(&logFont);
    if (!font)
        return false;
    SelectObject(dc_, font);
    if (font_)
        DeleteObject(font_);
    font_ = font;
    SIZE x = {};
    GetTextExtentPoint32W(dc_, L"X", 1, &x);
    lineHeight_ = x.cy + shadowOffset_;
    MeasureText();
    Layout();
    RepaintFace();
    return true;
}

void DButton::SetFaceColor(COLORREF color)
{
    state_ |= DButtonState::kFaceColorSet;
    faceColor_ = color;
    RepaintFace();
}

void DButton::SetArrowColor(COLORREF color)
{
    arrowColor_ = color;
    RepaintFace();
}

void DButton::SetTextColor(COLORREF color)
{
    captionColor_ = color;
    if (dc_)
        ::SetTextColor(dc_, color);
    RepaintFace();
}

namespace {
void ReplacePen(HPEN& pen, COLORREF color)
{
    HPEN fresh = CreatePen(PS_SOLID, 1, color);
    if (!fresh)
        return;
    if (pen)
        DeleteObject(pen);
    pen = fresh;
}
}  // namespace

void DButton::SetLightPen(COLORREF color)
{
    ReplacePen(lightPen_, color);
    DrawBorder();
}

void DButton::SetDarkPen(COLORREF color)
{
    ReplacePen(darkPen_, color);
    DrawBorder();
}

void DButton::SetCheckedPen(COLORREF color)
{
    ReplacePen(checkedPen_, color);
    DrawBorder();
}

void DButton::SetShadowOffset(int pixels)
{
    lineHeight_ += pixels - shadowOffset_;
    shadowOffset_ = pixels;
    Layout();
    RepaintFace();
}

void DButton::RepaintFace()
{
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}
