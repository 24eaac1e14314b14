// Windowless widgets: label, group frame, progress bar and scrolling text panel.
#include "ui/widgets.h"

#include "ui/gdi.h"

#include <limits.h>
#include <string.h>
#include <wchar.h>

namespace {

// The given DC, or the parent's for the life of the scope.
class TargetDC {
public:
    TargetDC(HWND parent, HDC given) : parent_(parent), dc_(given)
    {
        if (!dc_ && parent_) {
            dc_ = ::GetDC(parent_);
            owned_ = true;
        }
    }
    ~TargetDC()
    {
        if (owned_)
            ::ReleaseDC(parent_, dc_);
    }
    TargetDC(const TargetDC&) = delete;
    TargetDC& operator=(const TargetDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND parent_;
    HDC dc_;
    bool owned_ = false;
};

wchar_t* HeapCopy(const wchar_t* text, int length, bool terminate)
{
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + (terminate ? 1 : 0)) * sizeof(wchar_t)));
    if (!copy)
        return nullptr;
    memcpy(copy, text, length * sizeof(wchar_t));
    if (terminate)
        copy[length] = 0;
    return copy;
}

}  // namespace

void DrawEtchedFrame(HDC dc, const RECT& r, int gapStart, int gapWidth, HPEN shadow, HPEN highlight)
{
    int gapEnd = gapStart + gapWidth;
    ScopedSelect keep(dc, highlight);
    MoveToEx(dc, gapEnd, r.top + 1, nullptr);
    LineTo(dc, r.right - 1, r.top + 1);
    MoveToEx(dc, r.right, r.top, nullptr);
    LineTo(dc, r.right, r.bottom);
    LineTo(dc, r.left - 1, r.bottom);
    MoveToEx(dc, r.left + 1, r.bottom - 1, nullptr);
    LineTo(dc, r.left + 1, r.top + 1);
    LineTo(dc, gapStart, r.top + 1);
    SelectObject(dc, shadow);
    MoveToEx(dc, gapEnd, r.top, nullptr);
    LineTo(dc, r.right - 1, r.top);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left, r.bottom - 1);
    LineTo(dc, r.left, r.top);
    LineTo(dc, gapStart, r.top);
}

// ---- DrawnLabel ---------------------------------------------------------------

void DrawnLabel::Init(HWND parent, HFONT font)
{
    parent_ = parent;
    font_ = font;
}

void DrawnLabel::SetRect(int left, int top, int right, int bottom)
{
    rect_ = RECT{left, top, right, bottom};
}

void DrawnLabel::SetText(const wchar_t* text, int length)
{
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    length_ = 0;
    textWidth_ = textHeight_ = 0;
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    text_ = HeapCopy(text, length, true);
    if (!text_)
        return;
    length_ = length;
    if (font_ && parent_) {
        TargetDC dc(parent_, nullptr);
        ScopedSelect font(dc.Get(), font_);
        SIZE size = {};
        if (GetTextExtentPoint32W(dc.Get(), text_, length_, &size)) {
            textWidth_ = size.cx;
            textHeight_ = size.cy;
        }
    }
}

void DrawnLabel::Draw(HDC given)
{
    if (!text_)
        return;
    TargetDC dc(parent_, given);
    if (!dc.Get())
        return;
    ScopedSelect font(dc.Get(), font_);
    int oldMode = SetBkMode(dc.Get(), TRANSPARENT);
    RECT r = rect_;
    DrawTextW(dc.Get(), text_, length_, &r, format_);
    SetBkMode(dc.Get(), oldMode);
}

void DrawnLabel::Clear()
{
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    length_ = 0;
    parent_ = nullptr;
    font_ = nullptr;
}

// ---- DrawnGroupFrame --------------------------------------------------------------

DrawnGroupFrame::~DrawnGroupFrame()
{
    parent_ = nullptr;
    font_ = nullptr;
    caption_[0] = 0;
}

void DrawnGroupFrame::Init(HWND parent, HFONT font)
{
    parent_ = parent;
    font_ = font;
}

void DrawnGroupFrame::SetRect(int left, int top, int right, int bottom, const wchar_t* caption)
{
    rect_ = RECT{left, top, right, bottom};
    caption_[0] = 0;
    if (caption) {
        int n = 0;
        while (n < kCaptionChars - 1 && caption[n]) {
            caption_[n] = caption[n];
            ++n;
        }
        caption_[n] = 0;
    }
}

void DrawnGroupFrame::Draw(HDC given)
{
    TargetDC dc(parent_, given);
    if (!dc.Get())
        return;
    SIZE caption = {};
    int length = static_cast<int>(wcslen(caption_));
    ScopedSelect font(dc.Get(), font_);
    if (font_ && length)
        GetTextExtentPoint32W(dc.Get(), caption_, length, &caption);
    DGdiObject<HPEN> shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    DGdiObject<HPEN> highlight(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    DrawEtchedFrame(dc.Get(), rect_, rect_.left + 15, caption.cx + 10, shadow.Get(), highlight.Get());
    if (font_ && length) {
        int oldMode = SetBkMode(dc.Get(), TRANSPARENT);
        TextOutW(dc.Get(), rect_.left + 20, rect_.top - caption.cy / 2, caption_, length);
        SetBkMode(dc.Get(), oldMode);
    }
}

// ---- DrawnProgressBar ---------------------------------------------------------------

void DrawnProgressBar::Init(HWND parent, int)
{
    parent_ = parent;
    outer_ = RECT{};
    innerLeft_ = innerTop_ = innerWidth_ = innerBottom_ = stepWidth_ = barWidth_ = 0;
    SetTotal(0);
    position_ = 0;
    background_ = kBackground;
    FreeBrush();
    barBrush_ = CreateSolidBrush(kBarColor);
}

void DrawnProgressBar::SetRect(int left, int top, int right, int bottom, int steps)
{
    outer_ = RECT{left, top, right, bottom};
    innerLeft_ = left + 4;
    innerTop_ = top + 4;
    innerBottom_ = bottom - 4;
    innerWidth_ = right - 4 - innerLeft_;
    if (innerWidth_ < 0)
        innerWidth_ = 0;
    stepWidth_ = innerWidth_ / (steps > 0 ? steps : 10);
}

void DrawnProgressBar::ClearInside(HDC dc)
{
    RECT inside = {outer_.left + 2, outer_.top + 2, outer_.right - 2, outer_.bottom - 2};
    FillSolidRect(dc, &inside, background_);
}

void DrawnProgressBar::SetPos(LONGLONG position)
{
    LONGLONG total = GetTotal();
    if (total <= 0)
        return;
    if (position <= 0) {
        // Back to the start: the next position draws from an empty bar.
        position_ = 0;
        barWidth_ = 0;
        TargetDC dc(parent_, nullptr);
        if (dc.Get())
            ClearInside(dc.Get());
        return;
    }
    if (position > total)
        position = total;
    position_ = position;
    // innerWidth x position / total, exact while the product fits in 64 bits.
    int w;
    if (innerWidth_ == 0 || position <= LLONG_MAX / innerWidth_)
        w = static_cast<int>(innerWidth_ * position / total);
    else
        w = static_cast<int>(static_cast<long double>(innerWidth_) * position / total);
    if (!stepWidth_) {
        barWidth_ = w;
    } else if (w == innerWidth_) {
        barWidth_ = innerWidth_;
    } else if (w < barWidth_ + stepWidth_) {
        return;
    } else {
        barWidth_ = w / stepWidth_ * stepWidth_;
    }
    if (barWidth_) {
        TargetDC dc(parent_, nullptr);
        if (dc.Get())
            DrawBar(dc.Get());
    }
}

void DrawnProgressBar::Reset()
{
    barWidth_ = 0;
    SetTotal(0);
    position_ = 0;
    TargetDC dc(parent_, nullptr);
    if (dc.Get())
        ClearInside(dc.Get());
}

void DrawnProgressBar::DrawFrame(HDC dc)
{
    DGdiObject<HPEN> dark(CreatePen(PS_SOLID, 2, 0x525252));
    DGdiObject<HPEN> light(CreatePen(PS_SOLID, 2, 0xFFFFFF));
    ScopedSelect keep(dc, dark.Get());
    MoveToEx(dc, outer_.left, outer_.bottom, nullptr);
    LineTo(dc, outer_.left, outer_.top);
    LineTo(dc, outer_.right, outer_.top);
    SelectObject(dc, light.Get());
    LineTo(dc, outer_.right, outer_.bottom);
    LineTo(dc, outer_.left, outer_.bottom);
}

void DrawnProgressBar::DrawBar(HDC dc)
{
    if (!barWidth_)
        return;
    RECT bar = {innerLeft_, innerTop_, innerLeft_ + barWidth_, innerBottom_};
    FillRect(dc, &bar, barBrush_ ? barBrush_ : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void DrawnProgressBar::Draw(HDC given)
{
    TargetDC dc(parent_, given);
    if (!dc.Get())
        return;
    ClearInside(dc.Get());
    DrawFrame(dc.Get());
    DrawBar(dc.Get());
}

void DrawnProgressBar::FreeBrush()
{
    if (barBrush_)
        DeleteObject(barBrush_);
    barBrush_ = nullptr;
}

// ---- ScrollTextPanel -------------------------------------------------------------------

const DScrollNotify ScrollTextPanel::kBarNotify = {
    [](void* c, DScroll*, int p) { static_cast<ScrollTextPanel*>(c)->ScrollToLine(p); },
    [](void* c, DScroll*, int p) { static_cast<ScrollTextPanel*>(c)->ScrollToLine(p); },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

ScrollTextPanel::~ScrollTextPanel()
{
    if (bar_.GetHwnd())
        DestroyWindow(bar_.GetHwnd());
    ReleaseText();
    font_ = nullptr;
}

void ScrollTextPanel::ReleaseText()
{
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    length_ = 0;
}

bool ScrollTextPanel::Create(HWND parent, HINSTANCE instance)
{
    parent_ = parent;
    background_ = 0xD3D3D3;
    textColor_ = 0;
    font_ = nullptr;
    barShown_ = false;
    DScrollDesc d = {DScrollStyle::kVertical, this, parent, 0, 0, 0, 0, instance, 0, 0, 0, 0, 0, nullptr, &kBarNotify};
    return bar_.Create(&d);
}

void ScrollTextPanel::SetRect(int x, int y, int width, int height)
{
    x_ = x;
    y_ = y;
    width_ = width < 0 ? 0 : width;
    height_ = height < 0 ? 0 : height;
    if (bar_.GetHwnd())
        MoveWindow(bar_.GetHwnd(), x_ + width_ - kBarWidth, y_, kBarWidth, height_, FALSE);
}

void ScrollTextPanel::SetText(const wchar_t* text, int length, HDC given)
{
    firstLine_ = 0;
    if (text && length < 0)
        length = static_cast<int>(wcslen(text));
    // The caller may hand back our own text (SetFont does): copy before freeing.
    wchar_t* copy = text && length > 0 ? HeapCopy(text, length, false) : nullptr;
    ReleaseText();
    if (!copy) {
        bar_.Show(false);
        barShown_ = false;
        Draw(given);
        return;
    }
    text_ = copy;
    length_ = length;
    {
        TargetDC dc(parent_, given);
        if (dc.Get()) {
            ScopedSelect font(dc.Get(), font_);   // measured as it will be drawn
            TEXTMETRICW tm = {};
            GetTextMetricsW(dc.Get(), &tm);
            lineHeight_ = tm.tmHeight + tm.tmExternalLeading;
            const UINT kMeasure = DT_WORDBREAK | DT_EXTERNALLEADING | DT_CALCRECT;
            RECT r = {0, 0, width_ - 1, height_ - 1};
            DrawTextW(dc.Get(), text_, length_, &r, kMeasure);
            if (r.bottom >= height_) {
                r = RECT{0, 0, width_ - 1 - kBarWidth, height_ - 1};
                DrawTextW(dc.Get(), text_, length_, &r, kMeasure);
                int lines = lineHeight_ > 0 ? (r.bottom + lineHeight_ - 1) / lineHeight_ : 0;
                int page = lineHeight_ >= 1 ? height_ / lineHeight_ : 1;
                DScrollInfo info = {DScrollMask::kMax | DScrollMask::kPos | DScrollMask::kPage, 0, lines, 0, page};
                bar_.SetInfo(&info);
                bar_.Show(true);
                barShown_ = true;
            } else {
                bar_.Show(false);
                barShown_ = false;
            }
        }
    }
    Draw(given);
}

void ScrollTextPanel::SetColor(COLORREF background)
{
    background_ = background;
    Draw(nullptr);
}

void ScrollTextPanel::SetFont(HFONT font)
{
    font_ = font;
    SetText(text_, length_, nullptr);
}

void ScrollTextPanel::ScrollToLine(int line)
{
    if (line == firstLine_)
        return;
    firstLine_ = line;
    Draw(nullptr);
}

void ScrollTextPanel::Draw(HDC given)
{
    TargetDC dc(parent_, given);
    HDC d = dc.Get();
    if (!d || width_ <= 2 || height_ <= 2)
        return;
    RECT r = {x_ + 1, y_ + 1, x_ + width_ - 1, y_ + height_ - 1};
    if (barShown_)
        r.right -= kBarWidth;
    int oldMode = SetBkMode(d, OPAQUE);
    FillSolidRect(d, &r, background_);
    if (text_) {
        // Clipped to the text rectangle, and put back as it was.
        HRGN previous = CreateRectRgn(0, 0, 0, 0);
        bool hadClip = GetClipRgn(d, previous) == 1;
        IntersectClipRect(d, r.left, r.top, r.right, r.bottom);
        RECT text = {r.left + 2, r.top - bar_.GetPos() * lineHeight_, r.right - 1, r.bottom};
        ScopedSelect font(d, font_);
        COLORREF oldText = SetTextColor(d, textColor_);
        COLORREF oldBack = SetBkColor(d, background_);
        DrawTextW(d, text_, length_, &text, DT_WORDBREAK | DT_EXTERNALLEADING);
        SetBkColor(d, oldBack);
        SetTextColor(d, oldText);
        SelectClipRgn(d, hadClip ? previous : nullptr);
        DeleteObject(previous);
    }
    SetBkMode(d, oldMode);
    ScopedSelect pen(d, GetStockObject(BLACK_PEN));
    MoveToEx(d, r.left - 1, r.bottom, nullptr);
    LineTo(d, r.left - 1, r.top - 1);
    LineTo(d, r.right, r.top - 1);
    SelectObject(d, GetStockObject(WHITE_PEN));
    LineTo(d, r.right, r.bottom);
    LineTo(d, r.left - 1, r.bottom);
}
