// Report layout on a memory printer: the columns' widths, the header row
// placed by its cells' vertical alignment, rows with their borders and
// alignment, page breaks, rows and text blocks higher than a page printed in
// slices with nothing lost, text blocks, the counter column, and a stop
// asked for in the print-state window.
#include "print_site.h"

#include "common/prompt_script.h"
#include "fake_spooler.h"
#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/reportdesc.h"
#include "printing/printfonts.h"
#include "printing/printstatewnd.h"
#include "printing/reportlayout.h"
#include "printing/reportprint.h"

#include <algorithm>
#include <set>

using namespace printtest;

namespace {

// A filter form whose one field is not used unless the user fills it.
const wchar_t kNoFilter[] = L"form { caption = \"Filter\" } items { { \"Family name\", \"Name1\", varchar(32) } }";

// A4 at 300 dpi with 2 cm margins left and right, 1.5 cm top and bottom.
void StartPages(PrintJob& job, int left = 2000, int right = 2000)
{
    job.leftMargin = left;
    job.rightMargin = right;
    job.topMargin = 1500;
    job.bottomMargin = 1500;
    DOCINFOW info = {sizeof info, L"memory"};
    job.StartDoc(info);
    job.StartPage();
}

HFONT TestFont(int height)
{
    return CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"DejaVu Sans");
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.Ok()) << db.Error();
        font = TestFont(423);   // 12 points in 0.01 mm
    }
    void TearDown() override { DeleteObject(font); }

    // Parses a report description written into the description folder.
    bool Report(ReportDesc& report, const std::wstring& name, const std::wstring& text)
    {
        db.WriteCfg(name, text);
        return report.Parse(name.c_str()) != 0;
    }

    PrivateSettings settings;
    DemoDatabase db;
    HFONT font = nullptr;
};

}  // namespace

TEST(ColumnLayout, WidthsFromTheFieldsWidthValues)
{
    std::vector<ColumnSpan> spans;
    ASSERT_TRUE(LayOutColumns({0, -500}, 19000, &spans));
    ASSERT_EQ(2u, spans.size());
    EXPECT_EQ(0, spans[0].x);
    EXPECT_EQ(9500, spans[0].width);
    EXPECT_EQ(9500, spans[1].x);
    EXPECT_EQ(9500, spans[1].width);
    EXPECT_FALSE(LayOutColumns({12000, 8000}, 19000, &spans)) << "wider than the page";
    EXPECT_TRUE(spans.empty());
    ASSERT_TRUE(LayOutColumns({-1, 3000, -250}, 20000, &spans));
    EXPECT_EQ(6666, spans[0].width);
    EXPECT_EQ(6666, spans[1].x);
    EXPECT_EQ(3000, spans[1].width);
    EXPECT_EQ(5000, spans[2].width);
    for (int want : {25000, -300, 0, 100})
        ASSERT_TRUE(LayOutColumns({want}, 19000, &spans)) << want;
    EXPECT_EQ(19000, spans[0].width) << "one column spans the page whatever its width";
    EXPECT_EQ(0, spans[0].x);
}

TEST(ColumnLayout, AlignmentFlags)
{
    EXPECT_EQ(UINT(DT_CENTER), HorizontalFormat(4));
    EXPECT_EQ(UINT(DT_RIGHT), HorizontalFormat(8 | 1));
    EXPECT_EQ(UINT(DT_LEFT), HorizontalFormat(2));
    EXPECT_EQ(0, VerticalOffset(0, 900, 300));
    EXPECT_EQ(300, VerticalOffset(1, 900, 300));
    EXPECT_EQ(600, VerticalOffset(2, 900, 300));
    EXPECT_EQ(600, VerticalOffset(2 | 4, 900, 300)) << "the horizontal bits do not move a cell up or down";
}

TEST_F(Layout, ColumnsHeaderRowsAndBordersOfAPatientList)
{
    db.WriteCfg(L"cols.cfg",
                L"table = \"Patient\" key = \"Patient\" orderby = \"Name1, Name2\" nosave\n"
                L"list {\n"
                L" { \"No.\", \"Patient\", int32 special counter, format \"%03u\", width = -100, align =right,"
                L" capalign =center|vcenter, border = left | top | right | bottom }\n"
                L" { \"Family\\nname\", \"Name1\", varchar(32), width = -400, border = top | bottom }\n"
                L" { \"Birthday\", \"Birthday\", date, format \"yyyy-MM-dd\", width = -200, align =center,"
                L" capalign =bottom }\n"
                L" { \"Sex\", \"Pol\", bool, format { \"Male\" \"Female\" }, width = 0 }\n"
                L"}\n");
    db.WriteCfg(L"colsfilt.cfg", kNoFilter);
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"cols-report.cfg",
                       L"page { left = 2000 right = 2000 top = 1500 bottom = 1500 }\n"
                       L"table { list = \"cols.cfg\" filt = \"colsfilt.cfg\" }\n"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Columns"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job);
    job.SelectFont(font);
    PrintReportPages(job, filters, nullptr);
    job.EndPage();
    printer.Read();

    for (const MemoryPrinter::Text& t : printer.Texts())
        EXPECT_FALSE(t.clipped) << "a cell's text is drawn whole";
    // 17000 wide: 1700, 6800, 3400 and a quarter (4250).
    const int left = 0;
    const MemoryPrinter::Text* number = printer.Find(L"No.");
    const MemoryPrinter::Text* family = printer.Find(L"Family");
    const MemoryPrinter::Text* name = printer.Find(L"name");
    const MemoryPrinter::Text* birthday = printer.Find(L"Birthday");
    const MemoryPrinter::Text* sex = printer.Find(L"Sex");
    ASSERT_TRUE(number && family && name && birthday && sex);
    // (Positions come back through the device's pixels: within 0.1 mm.)
    EXPECT_NEAR(left + 1700, family->x, 10);
    EXPECT_NEAR(left + 1700 + 6800 + 3400, sex->x, 10);
    EXPECT_NEAR(left + 1700 + 6800, birthday->x, 10);
    // The header band is two lines high (the family name's two lines).
    const int line = name->y - family->y;
    EXPECT_GT(line, 300);
    EXPECT_EQ(family->y, sex->y) << "top";
    EXPECT_NEAR(family->y + line / 2, number->y, 2) << "vertically centred in the band";
    EXPECT_EQ(name->y, birthday->y) << "at the bottom of the band";

    // One row per patient, counted, with the formats.
    const int patients = static_cast<int>(db.Patients().size());
    int counted = 0, males = 0, females = 0;
    std::set<int> rowsY;
    for (const MemoryPrinter::Text& t : printer.Texts()) {
        if (t.text.size() == 3 && t.text[0] >= L'0' && t.text[0] <= L'9') {
            ++counted;
            EXPECT_GT(t.x, 0) << "right-aligned in its column";
            rowsY.insert(t.y + t.page * 100000);
        }
        males += t.text == L"Male";
        females += t.text == L"Female";
    }
    EXPECT_EQ(patients, counted);
    EXPECT_EQ(patients, males + females);
    EXPECT_TRUE(printer.Find(L"001"));
    EXPECT_TRUE(printer.Find(wchar_t(L'0') + std::to_wstring(patients)));
    EXPECT_EQ(static_cast<size_t>(patients), rowsY.size());
    bool isoDate = false;
    for (const MemoryPrinter::Text& t : printer.Texts())
        if (t.text.size() == 10 && t.text[4] == L'-' && t.text[7] == L'-') {
            isoDate = true;
            EXPECT_GT(t.x, 1700 + 6800 + 200) << "centred in its column";
            EXPECT_LT(t.x, 1700 + 6800 + 1700);
        }
    EXPECT_TRUE(isoDate) << "dates by the column's own picture";

    // The counter column's four borders and the name column's top and bottom.
    int verticals = 0;
    for (const MemoryPrinter::Line& l : printer.Lines())
        if (l.x1 == l.x2 && (abs(l.x1) <= 10 || abs(l.x1 - 1700) <= 10))
            ++verticals;
    EXPECT_EQ(2 * patients, verticals);
}

TEST_F(Layout, ARowHigherThanAPageIsPrintedInSlicesAndTheTablesAfterItStill)
{
    // Every row of the first table is 1.5 pages high; the second table
    // follows them.
    db.WriteCfg(L"tall.cfg",
                L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\" nosave\n"
                L"list { { \"Family name\", \"Name1\", varchar(32), height = 40000,"
                L" border = left | right | top | bottom } }");
    db.WriteCfg(L"after.cfg",
                L"table = \"Modality\" key = \"id_modality\" nosave\n"
                L"list { { \"Modality\", \"Name\", varchar(32) } }");
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"tall-report.cfg",
                       L"table { list = \"tall.cfg\" filt = \"nofilt.cfg\" }\n"
                       L"table { list = \"after.cfg\" filt = \"nofilt.cfg\" }\n"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Tall"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job);
    job.SelectFont(font);
    PrintReportPages(job, filters, nullptr);
    const int pages = job.PageCount();
    job.EndPage();
    printer.Read();

    const int patients = static_cast<int>(db.Patients().size());
    std::set<std::wstring> names;
    for (long id : db.Patients())
        names.insert(db.Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(id) + L";"));
    int printed = 0;
    for (const MemoryPrinter::Text& t : printer.Texts())
        printed += names.count(t.text) ? 1 : 0;
    EXPECT_GE(printed, patients) << "no row is dropped";
    EXPECT_GE(pages, patients * 3 / 2) << "each row goes over a page and a half";
    const int modalities = std::stoi(db.Scalar(L"SELECT COUNT(*) FROM Modality;"));
    ASSERT_GT(modalities, 0);
    int modalityRows = 0;
    for (const MemoryPrinter::Text& t : printer.Texts())
        modalityRows += t.page == pages && t.text != L"Modality" ? 1 : 0;
    EXPECT_GE(modalityRows, modalities) << "the next table still prints";
    // The top and bottom lines come once per row (besides the two lines of
    // each table's header row); each slice has its side lines.
    int across = 0, sides = 0;
    for (const MemoryPrinter::Line& l : printer.Lines()) {
        across += l.y1 == l.y2 ? 1 : 0;
        sides += l.x1 == l.x2 ? 1 : 0;
    }
    EXPECT_EQ(2 * patients + 2 * 2, across);
    EXPECT_EQ(2 * (pages - 1), sides) << "left and right on every page of the first table";
}

TEST_F(Layout, RowsThatDoNotFitStartANewPageAndAreNotCut)
{
    db.WriteCfg(L"rows.cfg",
                L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\" nosave\n"
                L"list { { \"Family name\", \"Name1\", varchar(32), height = 3000 } { \"First name\", \"Name2\","
                L" varchar(32) } }");
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"rows-report.cfg", L"table { list = \"rows.cfg\" filt = \"nofilt.cfg\" }"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Rows"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job);
    job.SelectFont(font);
    const int printable = job.PrintableHeight();
    PrintReportPages(job, filters, nullptr);
    job.EndPage();
    printer.Read();
    // Rows of 3 cm on pages of 26.7 cm below a header row: 8 a page.
    const int patients = static_cast<int>(db.Patients().size());
    EXPECT_EQ((patients + 7) / 8, printer.Texts().back().page);
    for (const MemoryPrinter::Text& t : printer.Texts())
        EXPECT_LE(t.y, printable) << "nothing beyond the bottom margin";
}

TEST_F(Layout, TextBlocksAlignLinesAndStringsOnOneLine)
{
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    db.WriteCfg(L"empty.cfg",
                L"table = \"Arj\" key = \"Arj\" nosave\nlist { { \"Disk\", \"Name\", varchar(20) } }");
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"blocks.cfg",
                       L"header {\n"
                       L" align =center text = \"Patients of the week\"\n"
                       L" line\n"
                       L" align =left string = \"Room 3\"\n"
                       L" align =right string = \"Dr. Who\"\n"
                       L" align =left text = \"After\"\n"
                       L"}\n"
                       L"table { list = \"empty.cfg\" filt = \"nofilt.cfg\" }\n"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Blocks"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job);
    job.SelectFont(font);
    PrintReportPages(job, filters, nullptr);
    job.EndPage();
    printer.Read();
    const MemoryPrinter::Text* title = printer.Find(L"Patients of the week");
    const MemoryPrinter::Text* room = printer.Find(L"Room 3");
    const MemoryPrinter::Text* doctor = printer.Find(L"Dr. Who");
    const MemoryPrinter::Text* after = printer.Find(L"After");
    const MemoryPrinter::Text* disk = printer.Find(L"Disk");
    ASSERT_TRUE(title && room && doctor && after && disk);
    EXPECT_GT(title->x, 3000) << "centred";
    EXPECT_EQ(0, room->x);
    EXPECT_GT(doctor->x, 10000) << "right-aligned";
    EXPECT_EQ(room->y, doctor->y) << "strings of one run share the line";
    EXPECT_GT(room->y, title->y);
    EXPECT_GT(after->y, room->y);
    EXPECT_GT(disk->y, after->y);
    bool ruled = false;
    for (const MemoryPrinter::Line& l : printer.Lines())
        ruled = ruled || (l.y1 == l.y2 && l.y1 > title->y && l.y1 < room->y && l.x2 - l.x1 == job.PrintableWidth());
    EXPECT_TRUE(ruled);
    // An empty table prints its header row between two lines, and no row.
    EXPECT_EQ(printer.Texts().back().text, L"Disk");
}

TEST_F(Layout, AHeaderTextHigherThanAPageGoesOnOverTheNextPages)
{
    std::wstring text;
    for (int i = 0; i < 140; ++i)
        text += L"Line " + std::to_wstring(i) + L"\\n";
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    db.WriteCfg(L"empty.cfg", L"table = \"Arj\" key = \"Arj\" nosave\nlist { { \"Disk\", \"Name\", varchar(20) } }");
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"long.cfg",
                       L"header { text = \"" + text + L"\" }\ntable { list = \"empty.cfg\" filt = \"nofilt.cfg\" }\n"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Long"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job);
    job.SelectFont(font);
    PrintReportPages(job, filters, nullptr);
    job.EndPage();
    printer.Read();
    ASSERT_TRUE(printer.Find(L"Line 0") && printer.Find(L"Line 139"));
    EXPECT_GE(printer.Texts().back().page, 3);
    // Every line is drawn wholly inside the clip of one page's slice once:
    // a slice draws the whole text and shows only its own lines.
    for (int i = 0; i < 140; ++i) {
        int shown = 0;
        for (const MemoryPrinter::Text& t : printer.Texts())
            if (t.text == L"Line " + std::to_wstring(i) && t.y >= 0 && t.y + 400 <= job.PrintableHeight())
                ++shown;
        EXPECT_EQ(1, shown) << i;
    }
}

TEST_F(Layout, AStopAskedInTheStateWindowEndsThePrintAtTheNextRow)
{
    InputClasses classes;
    ASSERT_TRUE(DocPrintStateWnd::RegisterClass());
    FakeSpooler spooler;
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    db.WriteCfg(L"stop.cfg",
                L"table = \"Patient\" key = \"Patient\" nosave\nlist { { \"Name\", \"Name1\", varchar(32) } }");
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"stop-report.cfg", L"table { list = \"stop.cfg\" filt = \"nofilt.cfg\" }"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Stop"));
    DocPrintStateWnd window;
    ASSERT_TRUE(window.Start(nullptr, L"Stop"));
    PostMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(harness::PumpUntil([&] { return window.IsAbortRequested(); }, 5000));
    MemoryPrinter printer;
    StartPages(printer.Job());
    bool stopped = false;
    try {
        PrintReportPages(printer.Job(), filters, &window);
    } catch (const ExcAbortPrint&) {
        stopped = true;
    }
    EXPECT_TRUE(stopped);
    window.Stop();
    printer.Read();
    for (const MemoryPrinter::Text& t : printer.Texts())
        EXPECT_EQ(L"Name", t.text) << "only the header row";
    DocPrintStateWnd::UnregisterClass();
}

TEST_F(Layout, TheSitesReportsInBothLanguagesPrintEveryRow)
{
    const int patients = static_cast<int>(db.Patients().size());
    const int images = std::stoi(db.Scalar(L"SELECT COUNT(*) FROM Snimok;"));
    for (bool russian : {false, true}) {
        DescCache::Instance().Clear();   // the same names in the other language
        for (const wchar_t* name : {L"ImagesPeriod.cfg", L"RepFilt.cfg", L"RepPatient.cfg", L"ImagesList.cfg",
                                    L"RepImages.cfg", L"RepImgFilt.cfg"})
            db.CopySiteCfg(name, russian);
        const struct {
            const wchar_t* file;
            int rows;
            bool landscape;
        } reports[] = {{L"ImagesPeriod.cfg", patients, false}, {L"ImagesList.cfg", images, true}};
        for (const auto& expected : reports) {
            ReportDesc report;
            ASSERT_TRUE(report.Parse(expected.file)) << russian;
            EXPECT_EQ(expected.landscape, report.Orientation() != 0);
            ReportFilters filters;
            ASSERT_TRUE(filters.Prepare(&report, L"Site"));
            MemoryPrinter printer(expected.landscape);
            PrintJob& job = printer.Job();
            job.leftMargin = report.Left();
            job.rightMargin = report.Right();
            job.topMargin = report.Top();
            job.bottomMargin = report.Bottom();
            DOCINFOW info = {sizeof info, L"site"};
            job.StartDoc(info);
            job.StartPage();
            job.SelectFont(font);
            PrintReportPages(job, filters, nullptr);
            job.EndPage();
            printer.Read();
            // The counter's last value is the number of rows.
            EXPECT_TRUE(printer.Find(std::to_wstring(expected.rows))) << russian;
            EXPECT_FALSE(printer.Find(std::to_wstring(expected.rows + 1))) << russian;
        }
    }
}

TEST_F(Layout, AStatementLongerThanAThousandCharactersPrintsWhole)
{
    // 30 columns whose SELECT takes about 1,800 characters, and a last one
    // wide enough for a family name on one line (a narrower column breaks
    // the name into lines, each whole in it).
    std::wstring list = L"table = \"Patient\" key = \"Patient\" orderby = \"Patient\" nosave\nlist {\n";
    for (int i = 0; i < 30; ++i)
        list += L" { \"C" + std::to_wstring(i) + L"\", \"COALESCE(Name3, Name2, Name1, 'no name at all " +
                std::to_wstring(i) + L"')\", varchar(60), width = -30 }\n";
    list += L" { \"Last\", \"Name1\", varchar(32), width = -100 }\n}\n";
    db.WriteCfg(L"long.cfg", list);
    db.WriteCfg(L"nofilt.cfg", kNoFilter);
    ReportDesc report;
    ASSERT_TRUE(Report(report, L"long-report.cfg", L"table { list = \"long.cfg\" filt = \"nofilt.cfg\" }"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"Long"));
    MemoryPrinter printer;
    PrintJob& job = printer.Job();
    StartPages(job, 500, 500);
    HFONT small = TestFont(100);
    job.SelectFont(small);
    PrintReportPages(job, filters, nullptr);
    job.EndPage();
    printer.Read();
    DeleteObject(small);
    // The last column's values are the family names: every one is there.
    const std::wstring first = db.Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" +
                                         std::to_wstring(db.Patients()[0]) + L";");
    EXPECT_TRUE(printer.Find(first));
    int lastColumn = 0;
    for (const MemoryPrinter::Text& t : printer.Texts())
        lastColumn += t.x > job.PrintableWidth() * 900 / 1000 - 50 ? 1 : 0;
    EXPECT_EQ(static_cast<int>(db.Patients().size()) + 1, lastColumn) << "the header and one value a row";
}
