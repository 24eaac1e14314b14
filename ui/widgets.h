// Windowless widgets: small display elements that draw on their parent's DC.
//
// The owning window calls Draw from its WM_PAINT handler (with the paint DC)
// and SetRect from its WM_SIZE handler; Draw with a null DC takes the
// parent's DC and releases it. Every routine leaves a DC as it came in.
//   DrawnLabel        one line of text in a rectangle
//   DrawnGroupFrame   an etched frame with a caption set into its top edge
//   DrawnProgressBar  a sunken bar that fills in whole steps (64-bit counts:
//                     the archive reports bytes)
//   ScrollTextPanel   word-wrapped text with its own vertical DScroll
#pragma once

#include "ui/scroll.h"

#include <windows.h>

// An etched rectangle with a gap in its top edge, from gapStart to
// gapStart + gapWidth (x coordinates): the highlight pen one pixel right of and
// below the shadow pen.
void DrawEtchedFrame(HDC dc, const RECT& rect, int gapStart, int gapWidth, HPEN shadow, HPEN highlight);

class DrawnLabel {
public:
    DrawnLabel() = default;
    ~DrawnLabel() { Clear(); }
    DrawnLabel(const DrawnLabel&) = delete;
    DrawnLabel& operator=(const DrawnLabel&) = delete;

    void Init(HWND parent, HFONT font);
    void SetRect(int left, int top, int right, int bottom);
    // Replaces the text (negative length: up to the terminator; null: none)
    // and measures it with the font on the parent's DC.
    void SetText(const wchar_t* text, int length);
    int GetTextWidth() const { return textWidth_; }
    int GetTextHeight() const { return textHeight_; }
    const wchar_t* GetText() const { return text_; }
    int GetLength() const { return length_; }
    void SetFormat(UINT format) { format_ = format; }
    void Draw(HDC dc);
    void Clear();

private:
    HWND parent_ = nullptr;
    HFONT font_ = nullptr;
    RECT rect_ = {};
    int length_ = 0;
    wchar_t* text_ = nullptr;    // heap copy, terminated
    UINT format_ = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
    int textWidth_ = 0;
    int textHeight_ = 0;
};

class DrawnGroupFrame {
public:
    static constexpr int kCaptionChars = 256;

    DrawnGroupFrame() { caption_[0] = 0; }
    ~DrawnGroupFrame();
    DrawnGroupFrame(const DrawnGroupFrame&) = delete;
    DrawnGroupFrame& operator=(const DrawnGroupFrame&) = delete;

    void Init(HWND parent, HFONT font);
    // Stores the rectangle and copies the caption (at most 255 characters).
    void SetRect(int left, int top, int right, int bottom, const wchar_t* caption);
    void Draw(HDC dc);
    const wchar_t* GetCaption() const { return caption_; }
    HWND GetParent() const { return parent_; }
    HFONT GetFont() const { return font_; }

private:
    HWND parent_ = nullptr;
    HFONT font_ = nullptr;
    RECT rect_ = {};
    wchar_t caption_[kCaptionChars];
};

class DrawnProgressBar {
public:
    static constexpr COLORREF kBarColor = 0xDB0000;
    static constexpr COLORREF kBackground = 0xD3D3D3;

    DrawnProgressBar() = default;
    ~DrawnProgressBar() { FreeBrush(); }
    DrawnProgressBar(const DrawnProgressBar&) = delete;
    DrawnProgressBar& operator=(const DrawnProgressBar&) = delete;

    void Init(HWND parent, int extra = 0);
    void SetRect(int left, int top, int right, int bottom, int steps);
    // The total may be written from a worker thread.
    void SetTotal(LONGLONG total) { InterlockedExchange64(&total_, total); }
    LONGLONG GetTotal() const { return InterlockedCompareExchange64(const_cast<LONGLONG*>(&total_), 0, 0); }
    // Moves the bar to the position (clamped to 0 .. total), in whole steps;
    // draws on the parent's DC when the bar changed.
    void SetPos(LONGLONG position);
    LONGLONG GetPos() const { return position_; }
    int GetBarWidth() const { return barWidth_; }
    int GetInnerWidth() const { return innerWidth_; }
    int GetStepWidth() const { return stepWidth_; }
    void Reset();
    void Draw(HDC dc);        // background, frame, bar
    void DrawFrame(HDC dc);
    void DrawBar(HDC dc);
    void FreeBrush();

private:
    void ClearInside(HDC dc);

    HWND parent_ = nullptr;
    RECT outer_ = {};
    int innerLeft_ = 0;
    int innerTop_ = 0;
    int innerWidth_ = 0;
    int innerBottom_ = 0;
    int stepWidth_ = 0;
    int barWidth_ = 0;
    volatile LONGLONG total_ = 0;
    LONGLONG position_ = 0;
    HBRUSH barBrush_ = nullptr;
    COLORREF background_ = kBackground;
};

class ScrollTextPanel {
public:
    static constexpr int kBarWidth = 20;

    ScrollTextPanel() = default;
    ~ScrollTextPanel();
    ScrollTextPanel(const ScrollTextPanel&) = delete;
    ScrollTextPanel& operator=(const ScrollTextPanel&) = delete;

    // Creates the panel's (hidden) scroll bar on the parent; whether it exists.
    bool Create(HWND parent, HINSTANCE instance);
    void SetRect(int x, int y, int width, int height);
    // Replaces the text (negative length: up to the terminator), measures it
    // word-wrapped with the panel's font, shows the bar when it does not fit,
    // and draws (on `dc`, or the parent's DC when null).
    void SetText(const wchar_t* text, int length, HDC dc = nullptr);
    void SetColor(COLORREF background);
    void SetFont(HFONT font);
    void ScrollToLine(int line);
    void Draw(HDC dc);
    void ReleaseText();

    bool IsBarShown() const { return barShown_; }
    int GetLineHeight() const { return lineHeight_; }
    int GetFirstLine() const { return firstLine_; }
    int GetLength() const { return length_; }
    DScroll& Bar() { return bar_; }

private:
    static const DScrollNotify kBarNotify;

    wchar_t* text_ = nullptr;    // heap copy, not terminated
    HWND parent_ = nullptr;
    int length_ = 0;
    int lineHeight_ = 0;         // tmHeight + tmExternalLeading
    bool barShown_ = false;
    COLORREF background_ = 0xD3D3D3;
    COLORREF textColor_ = 0;
    HFONT font_ = nullptr;       // null: the DC's font
    DScroll bar_;
    int firstLine_ = 0;
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
};
