#include "printing/printtext.h"

namespace {

bool IsBreak(wchar_t c)
{
    return c == L'\r' || c == L'\n';
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

int LineStep(HDC dc, UINT format)
{
    TEXTMETRICW metrics = {};
    if (!GetTextMetricsW(dc, &metrics))
        return 0;
    return metrics.tmHeight + ((format & DT_EXTERNALLEADING) ? metrics.tmExternalLeading : 0);
}

// The running widths of the text's characters: partial[i] is the width of
// its first i + 1 characters.
void PartialWidths(HDC dc, const wchar_t* text, int length, std::vector<int>* partial)
{
    partial->assign(static_cast<size_t>(length), 0);
    if (length <= 0)
        return;
    SIZE size = {};
    if (!GetTextExtentExPointW(dc, text, length, 0, nullptr, partial->data(), &size))
        partial->assign(static_cast<size_t>(length), 0);
}

// The width of the line [start, end) of a paragraph whose running widths are
// given.
int Span(const std::vector<int>& partial, int start, int end)
{
    if (end <= start)
        return 0;
    return partial[static_cast<size_t>(end - 1)] - (start > 0 ? partial[static_cast<size_t>(start - 1)] : 0);
}

// Breaks one paragraph (no line breaks in it) into lines `width` wide.
void WrapParagraph(HDC dc, const wchar_t* text, int start, int length, int width, std::vector<PrintLine>* lines)
{
    const wchar_t* p = text + start;
    std::vector<int> partial;
    PartialWidths(dc, p, length, &partial);
    int at = 0;
    do {
        // The characters from `at` that fit the width.
        int end = at;
        while (end < length && Span(partial, at, end + 1) <= width)
            ++end;
        int next = end;
        if (end < length) {
            int space = end;
            while (space > at && !IsBlank(p[space]))
                --space;
            if (IsBlank(p[space]) && space > at) {
                end = space;   // between words
            } else if (IsBlank(p[end])) {
                // the line ends where blanks begin
            } else {
                // One word wider than the area: broken between characters,
                // never inside a surrogate pair, at least one character a line.
                if (end == at)
                    end = at + 1;
                if (end < length && IsLowSurrogate(p[end]) && end - 1 > at)
                    --end;
                else if (end < length && IsLowSurrogate(p[end]))
                    ++end;
            }
            next = end;
            while (next < length && IsBlank(p[next]))
                ++next;
            while (end > at && IsBlank(p[end - 1]))
                --end;
        }
        lines->push_back(PrintLine{start + at, end - at, Span(partial, at, end)});
        at = next;
    } while (at < length);
}

}  // namespace

int LayOutPrintText(HDC dc, const wchar_t* text, int length, int width, UINT format, std::vector<PrintLine>* lines)
{
    lines->clear();
    if (!text || length <= 0)
        return 0;
    const bool single = (format & DT_SINGLELINE) != 0;
    const bool wrap = !single && (format & DT_WORDBREAK) != 0 && width > 0;
    int at = 0;
    while (at < length) {
        int end = at;
        if (!single)
            while (end < length && !IsBreak(text[end]))
                ++end;
        else
            end = length;
        if (wrap && end > at)
            WrapParagraph(dc, text, at, end - at, width, lines);
        else
            lines->push_back(PrintLine{at, end - at, PrintTextWidth(dc, text + at, end - at)});
        // "\r\n" is one break; a break at the very end starts no line.
        if (end < length && text[end] == L'\r' && end + 1 < length && text[end + 1] == L'\n')
            ++end;
        at = end + 1;
    }
    return static_cast<int>(lines->size()) * LineStep(dc, format);
}

int MeasurePrintText(HDC dc, const wchar_t* text, int length, int width, UINT format)
{
    std::vector<PrintLine> lines;
    return LayOutPrintText(dc, text, length, width, format, &lines);
}

int PrintTextWidth(HDC dc, const wchar_t* text, int length)
{
    std::vector<int> partial;
    PartialWidths(dc, text, length, &partial);
    return length > 0 ? partial.back() : 0;
}

int DrawPrintLine(HDC dc, int x, int y, const wchar_t* text, int length)
{
    if (!text || length <= 0)
        return 0;
    std::vector<int> partial;
    PartialWidths(dc, text, length, &partial);
    std::vector<int> advances(partial.size());
    for (size_t i = 0; i < partial.size(); ++i)
        advances[i] = partial[i] - (i > 0 ? partial[i - 1] : 0);
    ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), advances.data());
    return partial.back();
}

int DrawPrintText(HDC dc, const wchar_t* text, int length, const RECT& area, UINT format)
{
    std::vector<PrintLine> lines;
    const int height = LayOutPrintText(dc, text, length, area.right - area.left, format, &lines);
    if (lines.empty())
        return 0;
    const int step = height / static_cast<int>(lines.size());
    int y = area.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_BOTTOM)
            y = area.bottom - height;
        else if (format & DT_VCENTER)
            y = area.top + (area.bottom - area.top - height) / 2;
    }
    for (const PrintLine& line : lines) {
        int x = area.left;
        if (format & DT_RIGHT)
            x = area.right - line.width;
        else if (format & DT_CENTER)
            x = area.left + (area.right - area.left - line.width) / 2;
        DrawPrintLine(dc, x, y, text + line.start, line.length);
        y += step;
    }
    return height;
}
