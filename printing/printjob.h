// PrintJob: one printer device context with the document and the page on it,
// and a page coordinate system in hundredths of a millimetre (0.01 mm) whose
// origin is the top-left corner of the printable area inside the page
// margins, y growing downwards (printing/pagesetup.h). It keeps the text
// cursor (x, y) and the height of a line of the font last selected, and
// prints text, lines and page breaks for the report and picture printers.
//
// States (`State()`):
//   -1 no device context: constructed, or after Close.
//    0 device context open, no document: after Open, EndDoc or AbortDoc.
//    1 document started: after StartDoc.
// Transitions: Open (-1 -> 0), StartDoc (0 -> 1), EndDoc (1 -> 0), AbortDoc
// (1 -> 0 when the spooler accepts it), Close (any -> -1, aborting a started
// document first; the destructor closes). Pages: StartPage lays the page out
// (margins, minimum sizes and the printer's printable region are checked
// then) and puts the cursor at (0, 0); EndPage ends it; NewPage does both.
// The page count counts the pages started since StartDoc.
//
// Every failure is thrown as a StrExc with the id of a string-table text
// (the callers catch it and show the text).
#pragma once

#include "printing/pagesetup.h"

#include <windows.h>

// A failure of printing: the id of its string-table text.
struct StrExc {
    unsigned id;
};

// The user asked to stop printing; the type alone tells.
struct ExcAbortPrint {
};

// A failed system call of printing: its Win32 error code.
struct Win32Exc {
    DWORD code;
};

// Alignment and cursor flags of PrintText and DrawTextAligned.
namespace PrintFlags {
constexpr unsigned kLeft = 0, kRight = 1, kCentre = 2, kAlignMask = 3;
constexpr unsigned kKeepY = 4;   // PrintText draws, y stays
}  // namespace PrintFlags

class PrintJob {
public:
    PrintJob();
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // CreateDCW(driver, device, output, devMode). Throws 322 when a device
    // context is already held, 323 when none can be created. Resets the
    // minimum sizes to 0.
    void Open(const wchar_t* driver, const wchar_t* device, const wchar_t* output, const DEVMODEW* devMode);
    // A job on a device context the caller made and keeps (a memory or a
    // metafile device context) standing for a printer with these
    // capabilities: the pages are laid out from `caps` as on that printer,
    // and the document and page calls are counted without reaching the
    // spooler. Throws 322 when a device context is already held.
    void OpenMemory(HDC dc, const PageDeviceCaps& caps);
    // Aborts a started document, deletes the device context (not one given
    // to OpenMemory); nothing when none is held.
    void Close();

    // Starts the document; returns the print job id the spooler gave it.
    // Throws 324.
    int StartDoc(const DOCINFOW& info);
    void EndDoc();     // throws 325
    void AbortDoc();   // only with a started document

    // Starts a page and lays it out from the margins and minimum sizes below:
    // throws 326 (after the system error box) when the page cannot be
    // started, and the page layout's ids (329 to 334, or the printer's
    // missing resolution) when the margins do not fit the printer.
    void StartPage();
    void EndPage();    // throws 327
    void NewPage();    // EndPage, then StartPage

    // Printable height below the cursor.
    int RemainingHeight() const { return printableHeight_ - y; }

    // Selects the font (null: keeps the current one) and takes the height of
    // its lines (tmHeight + tmExternalLeading); returns the font selected
    // before (null for a null font), which the caller selects back the same way.
    HFONT SelectFont(HFONT font);

    // A line across the printable width at the cursor's y, in the current pen.
    void DrawHLine();
    void DrawLine(int x1, int y1, int x2, int y2);

    // The text (length -1: up to the terminator) from the cursor to the right
    // edge of the printable area, each line of the text one printed line
    // (broken between words only where it is wider than the page), aligned by
    // the flags; y grows by the height drawn unless kKeepY is set. Texts are drawn whole, as measured (printing/printtext.h):
    // a right-aligned line ends on the printable area's right edge.
    void PrintText(const wchar_t* text, int length, unsigned flags);
    // The text on the current line from x: x grows by its width, up to the
    // printable width; y stays.
    void PrintInline(const wchar_t* text, int length);
    // The width PrintInline moves x by for the text in the current font.
    int TextWidth(const wchar_t* text, int length) const;
    // Measures the text as PrintText would draw it over the whole printable
    // area; true when it fits into the remaining height. Draws nothing.
    bool DrawTextAligned(const wchar_t* text, int length, unsigned flags);

    HDC GetDC() const { return dc_; }
    int State() const { return state_; }
    int PageCount() const { return pageCount_; }
    int PaperWidth() const { return paperWidth_; }
    int PaperHeight() const { return paperHeight_; }
    int PrintableWidth() const { return printableWidth_; }
    int PrintableHeight() const { return printableHeight_; }

    // Set by the caller before StartPage (0.01 mm).
    int leftMargin = 0, rightMargin = 0, topMargin = 0, bottomMargin = 0;
    int minWidth = 0, minHeight = 0;   // smallest printable area accepted (0: any)
    // The text cursor and the current line height (0.01 mm). A caller that
    // draws on the device context itself moves y by what it drew.
    int x = 0, y = 0;
    int lineHeight = 0;

private:
    void SetupPage();

    int state_ = -1;            // -1 no device context, 0 open, 1 document started
    bool memory_ = false;       // OpenMemory: the caller's device context, caps_ stand for the printer
    PageDeviceCaps caps_ = {};
    bool pageSetUp_ = false;    // the current page has been laid out
    HDC dc_ = nullptr;
    int pageCount_ = 0;         // pages started since StartDoc
    int printableWidth_ = 0;    // paper minus the margins of that direction
    int printableHeight_ = 0;
    int paperWidth_ = 0;        // the physical page
    int paperHeight_ = 0;
};

// Selects a font for the life of the scope (a null font keeps the current one).
class JobFont {
public:
    JobFont(PrintJob& job, HFONT font) : job_(job), previous_(job.SelectFont(font)) {}
    ~JobFont()
    {
        if (previous_)
            job_.SelectFont(previous_);
    }
    JobFont(const JobFont&) = delete;
    JobFont& operator=(const JobFont&) = delete;

private:
    PrintJob& job_;
    HFONT previous_;
};
