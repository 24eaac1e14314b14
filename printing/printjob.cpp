#include "printing/printjob.h"

#include "foundation/messages.h"
#include "printing/printtext.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

[[noreturn]] void Fail(unsigned id)
{
    throw StrExc{id};
}

UINT AlignmentFormat(unsigned flags)
{
    switch (flags & PrintFlags::kAlignMask) {
    case PrintFlags::kRight: return DT_RIGHT;
    case PrintFlags::kCentre: return DT_CENTER;
    default: return DT_LEFT;
    }
}

int TextLength(const wchar_t* text, int length)
{
    return length < 0 ? (text ? static_cast<int>(wcslen(text)) : 0) : length;
}

}  // namespace

PrintJob::PrintJob() = default;

PrintJob::~PrintJob()
{
    Close();
}

void PrintJob::Open(const wchar_t* driver, const wchar_t* device, const wchar_t* output, const DEVMODEW* devMode)
{
    if (dc_)
        Fail(IDS_PRINTER_ALREADY_OPEN);
    dc_ = CreateDCW(driver, device, output, devMode);
    if (!dc_)
        Fail(IDS_PRINTER_OPEN_ERROR);
    state_ = 0;
    minWidth = 0;
    minHeight = 0;
    memory_ = false;
}

void PrintJob::OpenMemory(HDC dc, const PageDeviceCaps& caps)
{
    if (dc_)
        Fail(IDS_PRINTER_ALREADY_OPEN);
    if (!dc)
        Fail(IDS_PRINTER_OPEN_ERROR);
    dc_ = dc;
    caps_ = caps;
    memory_ = true;
    state_ = 0;
    minWidth = 0;
    minHeight = 0;
}

void PrintJob::Close()
{
    if (!dc_)
        return;
    if (state_ == 1)
        AbortDoc();
    if (!memory_)
        DeleteDC(dc_);
    memory_ = false;
    dc_ = nullptr;
    state_ = -1;
}

int PrintJob::StartDoc(const DOCINFOW& info)
{
    const int job = memory_ ? 1 : ::StartDocW(dc_, &info);
    if (job <= 0)
        Fail(IDS_DOCUMENT_CREATE_ERROR);
    state_ = 1;
    pageCount_ = 0;
    return job;
}

void PrintJob::EndDoc()
{
    if (!memory_ && ::EndDoc(dc_) < 1)
        Fail(IDS_DOCUMENT_CLOSE_ERROR);
    state_ = 0;
}

void PrintJob::AbortDoc()
{
    if (state_ == 1 && (memory_ || ::AbortDoc(dc_) > 0))
        state_ = 0;
}

void PrintJob::StartPage()
{
    if (!memory_ && ::StartPage(dc_) < 1) {
        ShowLastErrorBox();
        Fail(IDS_PAGE_CREATE_ERROR);
    }
    pageSetUp_ = false;
    SetupPage();
    ++pageCount_;
    x = 0;
    y = 0;
}

void PrintJob::EndPage()
{
    if (!memory_ && ::EndPage(dc_) < 1)
        Fail(IDS_PAGE_CLOSE_ERROR);
}

void PrintJob::NewPage()
{
    EndPage();
    StartPage();
}

void PrintJob::SetupPage()
{
    if (pageSetUp_)
        Fail(IDS_PAGE_ALREADY_SET_UP);
    const PageDeviceCaps caps = memory_ ? caps_
                                        : PageDeviceCaps{GetDeviceCaps(dc_, PHYSICALWIDTH),
                                                         GetDeviceCaps(dc_, PHYSICALHEIGHT),
                                                         GetDeviceCaps(dc_, PHYSICALOFFSETX),
                                                         GetDeviceCaps(dc_, PHYSICALOFFSETY),
                                                         GetDeviceCaps(dc_, HORZRES), GetDeviceCaps(dc_, VERTRES),
                                                         GetDeviceCaps(dc_, LOGPIXELSX),
                                                         GetDeviceCaps(dc_, LOGPIXELSY)};
    const PageRequest request = {leftMargin, rightMargin, topMargin, bottomMargin, minWidth, minHeight};
    PageLayout layout;
    const unsigned failure = LayOutPage(caps, request, &layout);
    paperWidth_ = layout.paperWidth;
    paperHeight_ = layout.paperHeight;
    printableWidth_ = layout.printableWidth;
    printableHeight_ = layout.printableHeight;
    if (failure)
        Fail(failure);
    // 2540 units to the inch, from the printer's own resolution; y down.
    SetMapMode(dc_, MM_ANISOTROPIC);
    SetWindowExtEx(dc_, 2540, 2540, nullptr);
    SetViewportExtEx(dc_, caps.logPixelsX, caps.logPixelsY, nullptr);
    SetViewportOrgEx(dc_, layout.originX, layout.originY, nullptr);
    SetBkMode(dc_, TRANSPARENT);
    pageSetUp_ = true;
}

HFONT PrintJob::SelectFont(HFONT font)
{
    HFONT previous = font ? static_cast<HFONT>(SelectObject(dc_, font)) : nullptr;
    TEXTMETRICW metrics;
    if (GetTextMetricsW(dc_, &metrics))
        lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    return previous;
}

void PrintJob::DrawHLine()
{
    DrawLine(0, y, printableWidth_, y);
}

void PrintJob::DrawLine(int x1, int y1, int x2, int y2)
{
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
}

void PrintJob::PrintText(const wchar_t* text, int length, unsigned flags)
{
    // A line wider than the page breaks between words rather than run off it.
    const RECT area = {x, y, printableWidth_, printableHeight_};
    const int height = DrawPrintText(dc_, text, TextLength(text, length), area,
                                     DT_NOPREFIX | DT_EXTERNALLEADING | DT_WORDBREAK | AlignmentFormat(flags));
    if (!(flags & PrintFlags::kKeepY))
        y += height;
}

void PrintJob::PrintInline(const wchar_t* text, int length)
{
    x += DrawPrintLine(dc_, x, y, text, TextLength(text, length));
    if (x > printableWidth_)
        x = printableWidth_;
}

int PrintJob::TextWidth(const wchar_t* text, int length) const
{
    return PrintTextWidth(dc_, text, TextLength(text, length));
}

bool PrintJob::DrawTextAligned(const wchar_t* text, int length, unsigned flags)
{
    const int height = MeasurePrintText(dc_, text, TextLength(text, length), printableWidth_,
                                        DT_NOPREFIX | DT_EXTERNALLEADING | AlignmentFormat(flags));
    return height <= RemainingHeight();
}
