// The print job on the run's real CUPS printers: its states and failures,
// the text cursor, the margin checks against a printer with an unprintable
// border, and real PDF files in which a line drawn across the printable
// width ends at the right margin, in portrait and in landscape.
#include "print_fixture.h"

#include "foundation/prompt.h"
#include "printing/printjob.h"
#include "resources/strings.h"

#include <cmath>

using namespace printtest;

namespace {

// Opens the job on a printer with its A4 DEVMODE.
void OpenOn(PrintJob& job, const wchar_t* printer, bool landscape = false)
{
    std::vector<BYTE> mode = PrinterDevMode(printer, landscape);
    ASSERT_FALSE(mode.empty()) << "no DEVMODE for the printer";
    try {
        job.Open(nullptr, printer, nullptr, reinterpret_cast<const DEVMODEW*>(mode.data()));
    } catch (const StrExc& e) {
        FAIL() << "Open failed with string " << e.id << ", error " << GetLastError();
    }
}

int StartDoc(PrintJob& job, const std::wstring& name)
{
    DOCINFOW info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();
    try {
        return job.StartDoc(info);
    } catch (const StrExc& e) {
        ADD_FAILURE() << "StartDoc failed with string " << e.id << ", error " << GetLastError();
    }
    return 0;
}

void SetMargins(PrintJob& job, int left, int right, int top, int bottom)
{
    job.leftMargin = left;
    job.rightMargin = right;
    job.topMargin = top;
    job.bottomMargin = bottom;
}

// The id StartPage throws, 0 when it does not.
unsigned StartPageFailure(PrintJob& job)
{
    try {
        job.StartPage();
    } catch (const StrExc& e) {
        return e.id;
    }
    return 0;
}

HFONT TestFont(int height)
{
    return CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"DejaVu Sans");
}

}  // namespace

TEST(PrintJobStates, CloseWithoutPrinterDoesNothing)
{
    PrintJob job;
    EXPECT_EQ(-1, job.State());
    job.Close();
    EXPECT_EQ(-1, job.State());
    EXPECT_EQ(nullptr, job.GetDC());
}

TEST(PrintJobStates, UnknownPrinterIsAnOpenError)
{
    PrintJob job;
    try {
        job.Open(nullptr, L"No such printer here", nullptr, nullptr);
        ADD_FAILURE() << "opened a printer that does not exist";
    } catch (const StrExc& e) {
        EXPECT_EQ(unsigned(IDS_PRINTER_OPEN_ERROR), e.id);
    }
    EXPECT_EQ(-1, job.State());
}

TEST(PrintJobStates, OpenDocumentPagesAndClose)
{
    REQUIRE_CUPS();
    AwaitIdlePrinters();
    PrintJob job;
    OpenOn(job, kPdfPrinter);
    EXPECT_EQ(0, job.State());
    EXPECT_NE(nullptr, job.GetDC());
    try {
        job.Open(nullptr, kPdfPrinter, nullptr, nullptr);
        ADD_FAILURE() << "a second Open succeeded";
    } catch (const StrExc& e) {
        EXPECT_EQ(unsigned(IDS_PRINTER_ALREADY_OPEN), e.id);
    }
    EXPECT_GT(StartDoc(job, UniqueDocName(L"tfstates")), 0);
    EXPECT_EQ(1, job.State());
    SetMargins(job, 1000, 1000, 1000, 1000);
    job.StartPage();
    EXPECT_EQ(1, job.PageCount());
    job.y = 5000;
    job.x = 300;
    job.NewPage();
    EXPECT_EQ(2, job.PageCount());
    EXPECT_EQ(0, job.x);
    EXPECT_EQ(0, job.y);
    job.EndPage();
    // Close aborts the started document: nothing is printed.
    job.Close();
    EXPECT_EQ(-1, job.State());
    EXPECT_EQ(nullptr, job.GetDC());
}

TEST(PrintJobPage, SizesFollowTheMarginsAndTheMappingIsHundredthsOfAMillimetre)
{
    REQUIRE_CUPS();
    AwaitIdlePrinters();
    PrintJob job;
    OpenOn(job, kPdfPrinter);
    StartDoc(job, UniqueDocName(L"tfmapping"));
    SetMargins(job, 1000, 1500, 2000, 500);
    ASSERT_EQ(0u, StartPageFailure(job));
    // A4 as PostScript has it: 595 x 842 points, less what the truncation
    // to pixels loses.
    EXPECT_NEAR(595 * 2540 / 72, job.PaperWidth(), 10);
    EXPECT_NEAR(842 * 2540 / 72, job.PaperHeight(), 10);
    EXPECT_EQ(job.PaperWidth() - 2500, job.PrintableWidth());
    EXPECT_EQ(job.PaperHeight() - 2500, job.PrintableHeight());
    EXPECT_EQ(job.PrintableHeight(), job.RemainingHeight());
    // One inch of logical units is LOGPIXELS device pixels, y downwards, and
    // the origin lies at the margins.
    HDC dc = job.GetDC();
    POINT points[3] = {{0, 0}, {2540, 0}, {0, 2540}};
    LPtoDP(dc, points, 3);
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    EXPECT_EQ(dpiX, points[1].x - points[0].x);
    EXPECT_EQ(dpiY, points[2].y - points[0].y);
    EXPECT_EQ(1000 * dpiX / 2540 - GetDeviceCaps(dc, PHYSICALOFFSETX), points[0].x);
    EXPECT_EQ(2000 * dpiY / 2540 - GetDeviceCaps(dc, PHYSICALOFFSETY), points[0].y);
    job.Close();
}

TEST(PrintJobPage, MarginsInTheUnprintableBorderAreRefusedInOrder)
{
    REQUIRE_CUPS();
    AwaitIdlePrinters();
    PrintJob job;
    OpenOn(job, kMarginsPrinter);
    HDC dc = job.GetDC();
    // The queue's PPD puts the printable region 18 points in from the left
    // and right and 36 points from the top and bottom.
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    EXPECT_NEAR(18 * dpi / 72, GetDeviceCaps(dc, PHYSICALOFFSETX), 1);
    EXPECT_NEAR(36 * dpi / 72, GetDeviceCaps(dc, PHYSICALOFFSETY), 1);
    StartDoc(job, UniqueDocName(L"tfmargins"));
    // 18 points are 6.35 mm, 36 points 12.7 mm.
    SetMargins(job, 0, 0, 0, 0);
    EXPECT_EQ(unsigned(IDS_LEFT_MARGIN_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    SetMargins(job, 700, 0, 1000, 0);
    EXPECT_EQ(unsigned(IDS_TOP_MARGIN_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    SetMargins(job, 700, 0, 1300, 0);
    job.minWidth = 30000;
    EXPECT_EQ(unsigned(IDS_WIDTH_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    job.minWidth = 0;
    job.minHeight = 30000;
    EXPECT_EQ(unsigned(IDS_HEIGHT_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    job.minHeight = 0;
    EXPECT_EQ(unsigned(IDS_RIGHT_MARGIN_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    // 6.0 mm reaches into the right border (6.35 mm), 6.5 mm does not.
    SetMargins(job, 700, 600, 1300, 0);
    EXPECT_EQ(unsigned(IDS_RIGHT_MARGIN_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    SetMargins(job, 700, 700, 1300, 1200);
    EXPECT_EQ(unsigned(IDS_BOTTOM_MARGIN_TOO_SMALL), StartPageFailure(job));
    job.EndPage();
    SetMargins(job, 700, 700, 1300, 1300);
    EXPECT_EQ(0u, StartPageFailure(job));
    job.Close();
}

TEST(PrintJobText, CursorFollowsTextLinesAndInlineRuns)
{
    REQUIRE_CUPS();
    AwaitIdlePrinters();
    PrintJob job;
    OpenOn(job, kPdfPrinter);
    StartDoc(job, UniqueDocName(L"tfcursor"));
    SetMargins(job, 1000, 1000, 1000, 1000);
    job.StartPage();
    HFONT font = TestFont(500);   // 5 mm
    HFONT previous = job.SelectFont(font);
    EXPECT_NE(nullptr, previous);
    ASSERT_GT(job.lineHeight, 400);
    const int line = job.lineHeight;

    job.PrintText(L"first\nsecond", -1, PrintFlags::kLeft);
    EXPECT_NEAR(2 * line, job.y, 2);
    EXPECT_EQ(0, job.x);
    const int y = job.y;
    job.PrintText(L"right, y kept", -1, PrintFlags::kRight | PrintFlags::kKeepY);
    EXPECT_EQ(y, job.y);
    job.PrintText(L"centred", 3, PrintFlags::kCentre);
    EXPECT_NEAR(y + line, job.y, 2);

    const int y2 = job.y;
    job.PrintInline(L"Name ", -1);
    const int afterLabel = job.x;
    EXPECT_GT(afterLabel, 0);
    job.PrintInline(L"Ivanov", -1);
    EXPECT_GT(job.x, afterLabel);
    EXPECT_EQ(y2, job.y);
    // A run longer than the line stops x at the printable width.
    job.PrintInline(L"a very long run of text that goes far past the right margin of the page, on and on and on",
                    -1);
    job.PrintInline(L"and on and on and on past the margin again and again and again and again", -1);
    EXPECT_EQ(job.PrintableWidth(), job.x);
    EXPECT_EQ(y2, job.y);

    EXPECT_TRUE(job.DrawTextAligned(L"fits", -1, 0));
    job.y = job.PrintableHeight() - line / 2;
    EXPECT_FALSE(job.DrawTextAligned(L"does not fit", -1, 0));
    EXPECT_EQ(job.PrintableHeight() - line / 2, job.y);

    EXPECT_EQ(font, job.SelectFont(previous));
    DeleteObject(font);
    job.Close();
}

TEST(PrintJobText, NullFontKeepsTheCurrentOneAndMeasuresIt)
{
    REQUIRE_CUPS();
    AwaitIdlePrinters();
    PrintJob job;
    OpenOn(job, kPdfPrinter);
    StartDoc(job, UniqueDocName(L"tfnullfont"));
    SetMargins(job, 1000, 1000, 1000, 1000);
    job.StartPage();
    HGDIOBJ before = GetCurrentObject(job.GetDC(), OBJ_FONT);
    EXPECT_EQ(nullptr, job.SelectFont(nullptr));
    EXPECT_EQ(before, GetCurrentObject(job.GetDC(), OBJ_FONT));
    EXPECT_GT(job.lineHeight, 0);
    job.Close();
}

namespace {

struct LineEnds {
    int row = -1;
    int first = -1, last = -1;
};

// The longest dark horizontal run of the image: its row and ends.
LineEnds LongestDarkRow(const GreyImage& image)
{
    LineEnds best;
    for (int y = 0; y < image.height; ++y) {
        int first = -1, last = -1, count = 0;
        for (int x = 0; x < image.width; ++x) {
            if (image.At(x, y) < 160) {
                if (first < 0)
                    first = x;
                last = x;
                ++count;
            }
        }
        // A line is dark over most of its length (text is not).
        if (first >= 0 && count > (last - first + 1) * 9 / 10 && (best.row < 0 || last - first > best.last - best.first))
            best = LineEnds{y, first, last};
    }
    return best;
}

// Prints one page with a line across the printable width (margins of 1 cm)
// and a text, and checks the PDF.
void PrintLinePage(bool landscape)
{
    const int margin = 1000;
    const std::wstring name = UniqueDocName(landscape ? L"tflinelandscape" : L"tflineportrait");
    int printableWidth = 0;
    {
        AwaitIdlePrinters();
        PrintJob job;
        OpenOn(job, kPdfPrinter, landscape);
        if (::testing::Test::HasFatalFailure())
            return;
        StartDoc(job, name);
        SetMargins(job, margin, margin, margin, margin);
        job.StartPage();
        HFONT font = TestFont(600);
        HFONT previous = job.SelectFont(font);
        job.PrintText(L"TobalFluoro line to the right margin", -1, PrintFlags::kLeft);
        job.y += 1000;
        job.DrawHLine();
        job.SelectFont(previous);
        DeleteObject(font);
        printableWidth = job.PrintableWidth();
        job.EndPage();
        job.EndDoc();
        job.Close();
    }
    const std::string pdf = WaitForPdf(name);
    ASSERT_FALSE(pdf.empty()) << "no PDF file appeared for the document";

    int status = -1;
    const std::string info = RunUnix("pdfinfo '" + pdf + "'", &status);
    ASSERT_EQ(0, status) << info;
    EXPECT_NE(std::string::npos, info.find("Pages:           1")) << info;
    const std::string text = RunUnix("pdftotext -layout '" + pdf + "' -", &status);
    EXPECT_NE(std::string::npos, text.find("TobalFluoro line to the right margin")) << text;

    const int dpi = 300;
    GreyImage page;
    ASSERT_TRUE(RenderFirstPage(pdf, dpi, &page));
    if (landscape)
        EXPECT_GT(page.width, page.height) << "the page is not in landscape";
    else
        EXPECT_LT(page.width, page.height) << "the page is not in portrait";
    const LineEnds line = LongestDarkRow(page);
    ASSERT_GE(line.row, 0) << "no line on the page";
    const double pixelsPerUnit = dpi / 2540.0;
    const double left = margin * pixelsPerUnit;
    const double right = page.width - margin * pixelsPerUnit;
    // The line's last pixel ends within a pixel of the right margin, its first
    // begins at the left margin, and it is as long as the printable width.
    EXPECT_NEAR(right, line.last + 1, 1.0) << "line ends at " << line.last << " of " << page.width;
    EXPECT_NEAR(left, line.first, 1.0);
    EXPECT_NEAR(printableWidth * pixelsPerUnit, line.last + 1 - line.first, 1.5);
    // 1 cm below the text, which starts at the top margin.
    EXPECT_GT(line.row, margin * pixelsPerUnit + 1000 * pixelsPerUnit);
}

}  // namespace

TEST(PrintJobPdf, LineAcrossThePrintableWidthEndsAtTheRightMarginPortrait)
{
    REQUIRE_CUPS();
    PrintLinePage(false);
}

TEST(PrintJobPdf, LineAcrossThePrintableWidthEndsAtTheRightMarginLandscape)
{
    REQUIRE_CUPS();
    PrintLinePage(true);
}
