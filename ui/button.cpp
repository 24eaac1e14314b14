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

// No CS_DBLCLKS: Windows sends no double-click messages to buttons.
ControlClass gButtonClass = {DButton::kClassName, CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_NOCLOSE, nullptr};

}  // namespace

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
    // Without an input record there is nothing to copy: the button has no input callbacks.
    if (!HoldRecords(desc->input, (style_ & DButtonStyle::kCopyInput) && desc->input, notify_, desc->notify,
                     (style_ & DButtonStyle::kCopyNotify) != 0))
        return false;
    if (desc->caption && desc->caption[0])
        StoreText(desc->caption, static_cast<int>(wcslen(desc->caption)));

    if (!CreateControlWindow(WS_EX_NOPARENTNOTIFY, kClassName, 0, desc->x, desc->y, desc->width, desc->height,
                             desc->parent, desc->instance, nullptr, &DButton::FreeCreation))
        return false;
    if (style_ & DButtonStyle::kVisible)
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
    ReleaseInput();
}

void DButton::FreeCreation()
{
    FreeRecords();
    FreeText();
}

bool DButton::RegisterClass()
{
    // One line per concern; the double-clicks and characters only report to the owner.
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &DButton::OnCreate>(), OnMessage<WM_DESTROY, &DButton::OnDestroy>(),
        OnMessage<WM_PAINT, &DButton::OnPaint>(), OnMessage<WM_ERASEBKGND, &DButton::OnEraseBkgnd>(),
        OnMessage<WM_NCCALCSIZE, &DButton::OnNcCalcSize>(), OnMessage<WM_NCPAINT, &DButton::OnNcPaint>(),
        OnMessage<WM_SIZE, &DButton::OnSize>(), OnMessage<WM_SHOWWINDOW, &DButton::OnShowWindow>(),
        OnMessage<WM_WINDOWPOSCHANGING, &DButton::OnWindowPosChanging>(),
        OnMessage<WM_WINDOWPOSCHANGED, &DButton::OnWindowPosChanged>(), OnMessage<WM_ENABLE, &DButton::OnEnable>(),
        OnMessage<WM_MOUSEACTIVATE, &DButton::OnMouseActivate>(), OnMessage<WM_MOUSEMOVE, &DButton::OnMouseMove>(),
        OnMessage<WM_LBUTTONDOWN, &DButton::OnLButtonDown>(), OnMessage<WM_LBUTTONUP, &DButton::OnLButtonUp>(),
        OnMessage<WM_RBUTTONDOWN, &DButton::OnRButtonDown>(), OnMessage<WM_RBUTTONUP, &DButton::OnRButtonUp>(),
        OnMessage<WM_MBUTTONDOWN, &DButton::OnMButtonDown>(), OnMessage<WM_MBUTTONUP, &DButton::OnMButtonUp>(),
        OnMessage<WM_KEYDOWN, &DButton::OnKeyDown>(), OnMessage<WM_KEYUP, &DButton::OnKeyUp>(),
        OnMessage<WM_SETFOCUS, &DButton::OnSetFocus>(), OnMessage<WM_KILLFOCUS, &DButton::OnKillFocus>(),
        OnMessage<WM_TIMER, &DButton::OnTimer>(), OnMessage<WM_MOUSELEAVE, &DButton::OnMouseLeave>(),
        OnMessage<WM_CAPTURECHANGED, &DButton::OnCaptureChanged>(),
    };
    return RegisterControl(gButtonClass, handlers, ReportInput::kMouse | ReportInput::kKeys);
}

void DButton::UnregisterClass()
{
    UnregisterControl(gButtonClass);
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
        AnchorToParent(style_, GetParent(hwnd), cs->cx, cs->cy, &x, &y);
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

namespace {

enum class Align { kStart, kEnd, kCentre };
enum class Order { kCaptionFirst, kIconFirst, kCentred };

// Places the caption-and-icon block along one axis of `span` pixels: the
// block starts by `align`, and its two parts follow each other by `order` or
// are both centred in it. Divisions round toward zero.
void PlaceAlong(int span, Align align, Order order, int captionLength, int iconLength, int* caption, int* icon)
{
    const int block = captionLength + iconLength;
    const int start = align == Align::kStart ? 0 : align == Align::kEnd ? span - block : (span - block) / 2;
    switch (order) {
    case Order::kCaptionFirst:
        *caption = start;
        *icon = start + captionLength;
        break;
    case Order::kIconFirst:
        *icon = start;
        *caption = start + iconLength;
        break;
    case Order::kCentred:
        *caption = start + (block - captionLength) / 2;
        *icon = start + (block - iconLength) / 2;
    }
}

}  // namespace

void DButton::Layout()
{
    using namespace DButtonStyle;
    const int captionHeight = caption_ ? lineCount_ * lineHeight_ : 0;
    const int captionWidth = caption_ ? captionWidth_ : 0;

    const DWORD alignV = style_ & kAlignVMask, arrangeV = style_ & kArrangeVMask;
    PlaceAlong(clientHeight_, alignV == kAlignTop ? Align::kStart : alignV == kAlignBottom ? Align::kEnd : Align::kCentre,
               arrangeV == kSideBySide         ? Order::kCentred
               : arrangeV == kCaptionAboveIcon ? Order::kCaptionFirst
                                               : Order::kIconFirst,
               captionHeight, iconHeight_, &captionY_, &iconY_);

    const DWORD alignH = style_ & kAlignHMask, arrangeH = style_ & kArrangeHMask;
    PlaceAlong(clientWidth_, alignH == kAlignLeft ? Align::kStart : alignH == kAlignRight ? Align::kEnd : Align::kCentre,
               arrangeH == kCaptionThenIcon   ? Order::kCaptionFirst
               : arrangeH == kIconThenCaption ? Order::kIconFirst
                                              : Order::kCentred,
               captionWidth, iconWidth_, &captionX_, &iconX_);
}

bool DButton::ContentFits() const
{
    // A line's cell is a little higher than its letters: an eighth of it, at
    // most, may fall outside above and below without cutting a letter.
    auto inside = [this](int x, int y, int w, int h, int slack) {
        return w <= 0 || h <= 0 ||
               (x >= 0 && y >= -slack && x + w <= clientWidth_ && y + h <= clientHeight_ + slack);
    };
    return inside(iconX_, iconY_, icon_ ? iconWidth_ : 0, iconHeight_, 0) &&
           inside(captionX_, captionY_, caption_ ? captionWidth_ : 0, lineCount_ * lineHeight_, lineHeight_ / 16);
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
