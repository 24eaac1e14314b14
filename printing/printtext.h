// Text on a printed page: one routine lays a text out in lines and both
// measures and draws it, so that what the page layout measured is what the
// printer draws.
//
// Why not DrawTextW. GDI measures a text on the printer's device context in
// whole device pixels per glyph (hinted) and turns the sum into the page's
// 0.01 mm units; DrawTextW then hands the printer the text alone, and the
// printer (the PostScript driver, the PDF it becomes) sets the glyphs by the
// font's own advances. The two widths differ by up to a few per cent: a
// right-aligned text ends beyond the edge it was aligned to, where DrawTextW's
// clip cuts its last glyph, and a value printed where its label was measured
// to end runs into the label. Here every line is drawn with ExtTextOutW and
// the advance of each character as measured (GetTextExtentExPointW), and
// nothing is clipped: the printer puts each glyph where the layout put it,
// and a text is always whole.
//
// The formats are DrawTextW's, as far as printing uses them: DT_LEFT,
// DT_CENTER or DT_RIGHT within the area's width; DT_SINGLELINE (line breaks
// are not looked at); DT_WORDBREAK (lines break between words, and a word
// wider than the area is broken between characters, so that it stays on
// the page); DT_EXTERNALLEADING (lines step by the font's height plus its
// external leading, else by its height). Without DT_SINGLELINE a text breaks
// at "\r\n", "\n" and "\r"; a break at its very end starts no line.
#pragma once

#include <windows.h>

#include <vector>

// One line of a laid-out text.
struct PrintLine {
    int start;    // first character in the text
    int length;   // characters drawn (the spaces a word break took are not among them)
    int width;    // as measured, 0.01 mm (or the device context's units)
};

// Lays the text out in lines `width` wide (width <= 0: no word breaks) in the
// device context's current font; returns the height of the lines.
int LayOutPrintText(HDC dc, const wchar_t* text, int length, int width, UINT format, std::vector<PrintLine>* lines);
// The height the text takes in an area `width` wide.
int MeasurePrintText(HDC dc, const wchar_t* text, int length, int width, UINT format);
// The width of the text on one line.
int PrintTextWidth(HDC dc, const wchar_t* text, int length);
// Draws the text into the area (its top, its left and right edges for the
// alignment; nothing is clipped to it) and returns the height drawn.
int DrawPrintText(HDC dc, const wchar_t* text, int length, const RECT& area, UINT format);
// Draws one line with its left edge at x and its top at y, each character at
// its measured advance; returns its width.
int DrawPrintLine(HDC dc, int x, int y, const wchar_t* text, int length);
