// Reports and picture sheets of the demo database printed to PDF through
// the run's CUPS printer, the whole way the program prints them: the
// printer of the job kind, the print-state window on its own thread, the
// document, and the wait for the spooler, which under Wine ends without a
// box (any prompt fails these tests). The PDF is read back: the words and
// their places (pdftotext), the pages and their size, and the picture's
// greys (pdftoppm).
#include "print_site.h"

#include "common/prompt_script.h"
#include "forms/desccache.h"
#include "forms/reportdesc.h"
#include "images/viewer/viewerservices.h"
#include "printing/printerprofile.h"
#include "printing/printstatewnd.h"
#include "printing/reportprint.h"
#include "printing/sheetprint.h"
#include "resources/strings.h"
#include "foundation/textutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>

using namespace printtest;

namespace {

// The classes a print needs, as the program's initialization table has them.
class PrintClasses {
public:
    PrintClasses() { DocPrintStateWnd::RegisterClass(); }
    ~PrintClasses() { DocPrintStateWnd::UnregisterClass(); }

private:
    InputClasses controls_;
};

std::wstring Words(const PdfPage& page)
{
    std::wstring all;
    for (const PdfWord& w : page.words)
        all += w.text + L" ";
    return all;
}

class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CUPS();
        ASSERT_TRUE(db.Ok()) << db.Error();
    }

    // The site's report "patients with images of the period", its filters
    // taken as they are (every patient).
    void SiteReport(ReportDesc& report, ReportFilters& filters, const std::wstring& docName)
    {
        for (const wchar_t* name : {L"ImagesPeriod.cfg", L"RepFilt.cfg", L"RepPatient.cfg"})
            db.CopySiteCfg(name);
        ASSERT_TRUE(report.Parse(L"ImagesPeriod.cfg"));
        ASSERT_TRUE(filters.Prepare(&report, docName.c_str()));
    }

    std::set<std::wstring> FamilyNames()
    {
        std::set<std::wstring> names;
        for (long id : db.Patients())
            names.insert(db.Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(id) + L";"));
        return names;
    }

    // The first image of the patient that has a description.
    int DescribedImage(long patient)
    {
        return std::stoi(db.Scalar(L"SELECT MIN(Snimok) FROM Snimok WHERE Patient=" + std::to_wstring(patient) +
                                   L" AND Apicriz IS NOT NULL;"));
    }

    // The request the viewer hands to the picture sheet for the patient's
    // image: `pixels`, rows of `width` bytes padded to four, and `picture`
    // standing for the image (false when it cannot be made).
    bool SheetRequest(std::vector<BYTE>& pixels, int width, int height, long patient, int image,
                      DPicturePtr& picture, PrintSnimokRequest& request)
    {
        if (!picture.CreateNew())
            return false;
        picture->imageId = static_cast<uint32_t>(image);
        picture->patient.SetPatientId(static_cast<uint32_t>(patient));
        request = {nullptr, pixels.data(), width, height, 0, picture.Get()};
        return true;
    }

    PrintClasses classes;
    DemoDatabase db;
    PrintSetup setup;
};

}  // namespace

TEST_F(PrintToPdf, TheSitesReportPrintsEveryPatientInItsColumnsWithoutABox)
{
    ReportDesc report;
    ReportFilters filters;
    const std::wstring docName = UniqueDocName(L"tfreport");
    SiteReport(report, filters, docName);
    AwaitIdlePrinters();
    EXPECT_TRUE(PrintReport(filters, nullptr));
    EXPECT_EQ(nullptr, harness::FindOwnWindow(DocPrintStateWnd::kClassName)) << "the state window is gone";
    const std::string pdf = WaitForPdf(docName);
    ASSERT_FALSE(pdf.empty()) << "no PDF of the report";
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_FALSE(pages.empty());
    EXPECT_LT(pages[0].width, pages[0].height) << "portrait";

    // The header: the title centred over the printable width (2 cm to 1 cm
    // from the paper's edges), the room at the left margin.
    const std::vector<PdfWord> title = FindWords(pages[0], L"Patients");
    const std::vector<PdfWord> period = FindWords(pages[0], L"period");
    ASSERT_FALSE(title.empty());
    ASSERT_FALSE(period.empty());
    const double centre = (Points(2000) + pages[0].width - Points(1000)) / 2;
    EXPECT_NEAR(centre, (title[0].xMin + period[0].xMax) / 2, 3.0);
    const std::vector<PdfWord> room = FindWords(pages[0], L"X-ray");
    ASSERT_FALSE(room.empty());
    EXPECT_NEAR(Points(2000), room[0].xMin, 2.0);

    // Every patient once, the family name in its column (8 % of 18 cm in),
    // the count centred before it.
    const double printable = pages[0].width - Points(3000);
    const double familyColumn = Points(2000) + printable * 0.08;
    std::map<std::wstring, int> seen;
    std::set<std::wstring> names = FamilyNames();
    for (const PdfPage& page : pages)
        for (const PdfWord& word : page.words)
            if (names.count(word.text)) {
                ++seen[word.text];
                EXPECT_NEAR(familyColumn, word.xMin, 3.0) << Narrow(word.text);
                EXPECT_LT(word.yMax, page.height - Points(1500) + 1) << "inside the bottom margin";
            }
    for (const std::wstring& name : names)
        EXPECT_EQ(1, seen[name]) << Narrow(name);
    const std::vector<PdfWord> last = FindWords(pages.back(), std::to_wstring(names.size()));
    ASSERT_FALSE(last.empty()) << "the counter counts every row";
    EXPECT_NEAR((Points(2000) + familyColumn) / 2, (last[0].xMin + last[0].xMax) / 2, 2.0) << "centred in its column";
}

TEST_F(PrintToPdf, TallRowsBreakPagesAndALandscapeReportPrintsLandscape)
{
    db.CopySiteCfg(L"RepFilt.cfg");
    db.WriteCfg(L"tallrows.cfg",
                L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\" nosave\n"
                L"list { { \"Family name\", \"Name1\", varchar(32), height = 2500, border = top|bottom }\n"
                L"       { \"Birthday\", \"Birthday\", date, format \"dd/MM/yyyy\", width = -300, align =right } }");
    db.WriteCfg(L"wide.cfg",
                L"page { left = 1000 right = 1000 top = 1000 bottom = 1000 orientation = 1 }\n"
                L"header { align =center text = \"Wide list\" }\n"
                L"table { list = \"tallrows.cfg\" filt = \"RepFilt.cfg\" }\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"wide.cfg"));
    ReportFilters filters;
    const std::wstring docName = UniqueDocName(L"tfwide");
    ASSERT_TRUE(filters.Prepare(&report, docName.c_str()));
    AwaitIdlePrinters();
    EXPECT_TRUE(PrintReport(filters, nullptr));
    const std::string pdf = WaitForPdf(docName);
    ASSERT_FALSE(pdf.empty());
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_FALSE(pages.empty());
    EXPECT_GT(pages[0].width, pages[0].height) << "landscape";
    // 19 cm of rows of 2.5 cm a page, below the title and the header row.
    const int patients = static_cast<int>(db.Patients().size());
    EXPECT_GE(static_cast<int>(pages.size()), (patients + 6) / 7);
    std::set<std::wstring> names = FamilyNames();
    std::map<std::wstring, int> seen;
    for (const PdfPage& page : pages)
        for (const PdfWord& word : page.words)
            if (names.count(word.text)) {
                ++seen[word.text];
                EXPECT_LT(word.yMax, page.height - Points(1000) + 1);
            }
    for (const std::wstring& name : names)
        EXPECT_EQ(1, seen[name]) << Narrow(name);
    // Dates by the column's picture, right-aligned in their column: half
    // the printable width (a width not given) and 30 % after it.
    int dates = 0;
    for (const PdfPage& page : pages)
        for (const PdfWord& word : page.words)
            if (word.text.size() == 10 && word.text[2] == L'/' && word.text[5] == L'/') {
                ++dates;
                EXPECT_NEAR(Points(1000) + 0.8 * (page.width - Points(2000)), word.xMax, 3.0);
            }
    EXPECT_EQ(patients, dates);
    // The stored profile stays portrait.
    GUID guid;
    ASSERT_TRUE(GetJobProfileGuid(kReportJob, &guid));
    PrinterProfileList list;
    list.Load();
    ASSERT_EQ(1, list.Count());
    EXPECT_EQ(DMORIENT_PORTRAIT, list.At(0)->DevMode()->dmOrientation);
}

TEST_F(PrintToPdf, ThePanelsPictureSheetShowsItsPartsAndTheGreysOfItsPicture)
{
    setup.SetHeader(L"Company1", L"Central Clinic");
    setup.SetHeader(L"Cabinet", L"Room 12");
    const long patient = db.Patients()[0];
    const int image = DescribedImage(patient);
    // A picture of 4 grey bands, 2:1, 302 pixels wide (rows padded to 304).
    const int width = 302, height = 151, stride = 304;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * stride + x] = static_cast<BYTE>(32 + 64 * (x * 4 / width));
    DPicturePtr picture;
    PrintSnimokRequest request = {};
    ASSERT_TRUE(SheetRequest(pixels, width, height, patient, image, picture, request));
    std::string pdf;
    AwaitIdlePrinters();
    const std::vector<std::string> before = PdfFiles(L"Printing_Picture");
    PrintSnimokWithCfg(nullptr, &request);
    pdf = WaitForNewPdf(L"Printing_Picture", before);
    ASSERT_FALSE(pdf.empty()) << "no PDF of the sheet";
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_EQ(1u, pages.size());
    const std::wstring words = Words(pages[0]);
    EXPECT_NE(std::wstring::npos, words.find(L"Central Clinic"));
    EXPECT_NE(std::wstring::npos, words.find(L"Room 12"));
    EXPECT_NE(std::wstring::npos, words.find(L"Examination:"));
    const std::wstring family =
        db.Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";");
    EXPECT_NE(std::wstring::npos, words.find(family));
    const std::wstring note = db.Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=" + std::to_wstring(image) + L";");
    EXPECT_NE(std::wstring::npos, words.find(note.substr(0, note.find(L' '))));
    double textBottom = 0;
    for (const PdfWord& w : pages[0].words)
        textBottom = std::max(textBottom, w.yMax);

    // The picture at 50 dpi: across the printable width (margins 1 cm), half
    // as high, below the texts, its four greys in order.
    GreyImage page;
    ASSERT_TRUE(RenderFirstPage(pdf, 50, &page));
    const double scale = 50.0 / 72.0;
    const int left = static_cast<int>(std::lround(Points(1000) * scale));
    const int right = static_cast<int>(std::lround((pages[0].width - Points(1000)) * scale));
    // Its top and bottom: the rows below the texts whose middle is not white.
    int top = -1, bottom = -1;
    for (int y = static_cast<int>(textBottom * scale) + 1; y < page.height; ++y)
        if (page.At((left + right) / 2, y) < 200) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    ASSERT_GE(top, 0) << "no picture below the texts";
    const int drawnWidth = right - left, drawnHeight = bottom - top + 1;
    EXPECT_NEAR(drawnWidth / 2.0, drawnHeight, 2.0) << "its aspect";
    const int middle = (top + bottom) / 2;
    EXPECT_GT(page.At(left - 3, middle), 240) << "white left of it";
    EXPECT_GT(page.At(right + 3, middle), 240) << "white right of it";
    for (int band = 0; band < 4; ++band) {
        const int x = left + drawnWidth * (2 * band + 1) / 8;
        EXPECT_NEAR(32 + 64 * band, page.At(x, middle), 12) << "band " << band;
        // Bands run straight down: no skew from the rows' padding.
        EXPECT_NEAR(page.At(x, top + 2), page.At(x, bottom - 2), 12) << "band " << band;
    }
}

TEST_F(PrintToPdf, TheNoteWindowsSheetPrintsTheDescriptionWithoutAPicture)
{
    const int image = std::stoi(db.Scalar(L"SELECT MAX(Snimok) FROM Snimok WHERE Apicriz IS NOT NULL;"));
    const long patient =
        std::stol(db.Scalar(L"SELECT Patient FROM Snimok WHERE Snimok=" + std::to_wstring(image) + L";"));
    db.Exec(L"UPDATE Patient SET Name3 = NULL WHERE Patient=" + std::to_wstring(patient) + L";");
    std::string pdf;
    AwaitIdlePrinters();
    const std::vector<std::string> before = PdfFiles(L"Printing_Picture");
    StartDefaultPrintJob(nullptr, static_cast<DWORD>(image), static_cast<DWORD>(patient));
    pdf = WaitForNewPdf(L"Printing_Picture", before);
    ASSERT_FALSE(pdf.empty());
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_EQ(1u, pages.size());
    const std::wstring words = Words(pages[0]);
    const std::wstring first = db.Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";");
    const std::wstring second =
        db.Scalar(L"SELECT Name2 FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";");
    EXPECT_NE(std::wstring::npos, words.find(first + L" " + second)) << "a name without its middle part";
    const std::wstring note = db.Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=" + std::to_wstring(image) + L";");
    const std::wstring lastWord = note.substr(note.find_last_of(L' ') + 1);
    EXPECT_NE(std::wstring::npos, words.find(lastWord)) << "the whole note";
    // Margins of 1 cm: the label at the left margin.
    const std::vector<PdfWord> label = FindWords(pages[0], L"Date");
    ASSERT_FALSE(label.empty());
    EXPECT_NEAR(Points(1000), label[0].xMin, 2.0);
    GreyImage page;
    ASSERT_TRUE(RenderFirstPage(pdf, 30, &page));
    int dark = 0;
    for (int y = page.height / 2; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            dark += page.At(x, y) < 100 ? 1 : 0;
    EXPECT_LT(dark, 50) << "no picture";
}

namespace {

// The lines of each page of the PDF as pdftotext -layout sets them out in
// characters (pages parted by form feeds).
std::vector<std::vector<std::string>> ReadPdfLayout(const std::string& pdf)
{
    int status = -1;
    const std::string text = RunUnix("pdftotext -layout '" + pdf + "' -", &status);
    EXPECT_EQ(0, status) << text;
    std::vector<std::vector<std::string>> pages(1);
    std::string line;
    for (char c : text) {
        if (c == '\f') {
            if (!line.empty())
                pages.back().push_back(line);
            line.clear();
            pages.emplace_back();
        } else if (c == '\n') {
            pages.back().push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        pages.back().push_back(line);
    while (!pages.empty() && pages.back().empty())
        pages.pop_back();
    return pages;
}

// The first line holding the text, or -1.
int LineWith(const std::vector<std::string>& lines, const std::string& text)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

// The words of the page that are the text, one (failing the test when not
// exactly one).
PdfWord OneWord(const PdfPage& page, const std::wstring& text)
{
    const std::vector<PdfWord> found = FindWords(page, text);
    EXPECT_EQ(1u, found.size()) << Narrow(text);
    return found.empty() ? PdfWord{text, 0, 0, 0, 0} : found[0];
}

}  // namespace

// A header of aligned text blocks of several lines and a table of number
// columns, each by its own picture and alignment: in the PDF every line of a
// block stands alone, aligned as its block, and every number is formatted and
// placed in its column as its field says.
TEST_F(PrintToPdf, TextBlocksAndNumberColumnsKeepTheirLinesFormatsAndAlignment)
{
    db.Exec(L"CREATE TABLE Dose (Dose int NOT NULL PRIMARY KEY, Region nvarchar (20) NOT NULL, Kv int NULL,"
            L" Code int NULL);");
    db.Exec(L"INSERT INTO Dose (Dose, Region, Kv, Code) VALUES (1, 'Chest', 7, 255);");
    db.Exec(L"INSERT INTO Dose (Dose, Region, Kv, Code) VALUES (2, 'Hand', 1234, 4096);");
    db.Exec(L"INSERT INTO Dose (Dose, Region, Kv, Code) VALUES (3, 'Skull', 56789, 48879);");
    db.WriteCfg(L"dosefilt.cfg", L"form { caption = \"Filter\" } items { { \"Region\", \"Region\", varchar(20) } }");
    // Region 40 % of the printable width, then three of 20 %: right, centre, right.
    db.WriteCfg(L"doses.cfg",
                L"table = \"Dose\" key = \"Dose\" orderby = \"Dose\" nosave\n"
                L"list { { \"Region\", \"Region\", varchar(20), width = -400 }\n"
                L"       { \"Kv\", \"Kv\", int32, format \"%05d\", width = -200, align =right }\n"
                L"       { \"Code\", \"Code\", int32, format \"0x%04X\", width = -200, align =center }\n"
                L"       { \"Entry\", \"Dose\", int32, format \"No. %d\", width = -200, align =right } }");
    db.WriteCfg(L"doses-report.cfg",
                L"page { left = 2000 right = 1000 top = 1500 bottom = 1500 }\n"
                L"header {\n"
                L" align =center text = \"Doses of the week\\nRoom 3, ground floor\"\n"
                L" align =right text = \"Checked by\\nDr. Ivanova\\nradiologist\"\n"
                L" line\n"
                L" align =left string = \"Series A\"\n"
                L" align =right string = \"Sheet 1\"\n"
                L"}\n"
                L"table { list = \"doses.cfg\" filt = \"dosefilt.cfg\" }\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"doses-report.cfg"));
    ReportFilters filters;
    const std::wstring docName = UniqueDocName(L"tfdoses");
    ASSERT_TRUE(filters.Prepare(&report, docName.c_str()));
    AwaitIdlePrinters();
    EXPECT_TRUE(PrintReport(filters, nullptr));
    const std::string pdf = WaitForPdf(docName);
    ASSERT_FALSE(pdf.empty()) << "no PDF of the report";
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_EQ(1u, pages.size());
    const PdfPage& page = pages[0];
    const double left = Points(2000), right = page.width - Points(1000), printable = right - left;

    // The layout as text: each line of a block on a line of its own, in
    // order, the strings of one run on one line, each row on one line with
    // its values formatted and in the columns' order.
    const std::vector<std::vector<std::string>> layout = ReadPdfLayout(pdf);
    ASSERT_EQ(1u, layout.size());
    const std::vector<std::string>& lines = layout[0];
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    const char* const order[] = {"Doses of the week", "Room 3, ground floor", "Checked by", "Dr. Ivanova",
                                 "radiologist", "Series A", "Region", "Chest", "Hand", "Skull"};
    int previous = -1;
    for (const char* text : order) {
        const int at = LineWith(lines, text);
        EXPECT_GT(at, previous) << text << " on a line of its own below the one before:\n" << all;
        previous = std::max(previous, at);
    }
    EXPECT_EQ(LineWith(lines, "Series A"), LineWith(lines, "Sheet 1")) << all;
    EXPECT_EQ(-1, LineWith(lines, "week Room")) << "a line break is kept:\n" << all;
    const int checked = LineWith(lines, "Checked by"), doctor = LineWith(lines, "Dr. Ivanova");
    const int job = LineWith(lines, "radiologist");
    ASSERT_TRUE(checked >= 0 && doctor >= 0 && job >= 0) << all;
    // Right-aligned lines end in about the same character column, centred
    // ones have about the same middle, right of the middle of the line (the
    // characters are as wide as the proportional font's, rounded).
    auto endOf = [&](int line, const std::string& text) {
        return static_cast<double>(lines[line].find(text) + text.size());
    };
    const double end = endOf(checked, "Checked by");
    EXPECT_NEAR(end, endOf(doctor, "Dr. Ivanova"), 2.0) << all;
    EXPECT_NEAR(end, endOf(job, "radiologist"), 2.0) << all;
    const int title = LineWith(lines, "Doses of the week"), place = LineWith(lines, "Room 3, ground floor");
    ASSERT_TRUE(title >= 0 && place >= 0) << all;
    const double titleMiddle = (lines[title].find("Doses") + endOf(title, "Doses of the week")) / 2;
    EXPECT_NEAR(titleMiddle, (lines[place].find("Room") + endOf(place, "Room 3, ground floor")) / 2, 2.0) << all;
    EXPECT_GT(lines[checked].find("Checked by"), titleMiddle) << all;
    const char* const rows[3][4] = {{"Chest", "00007", "0x00FF", "No. 1"},
                                    {"Hand", "01234", "0x1000", "No. 2"},
                                    {"Skull", "56789", "0xBEEF", "No. 3"}};
    std::vector<size_t> firstStarts;
    for (const auto& row : rows) {
        const int at = LineWith(lines, row[0]);
        ASSERT_GE(at, 0) << row[0] << "\n" << all;
        size_t from = 0;
        std::vector<size_t> starts;
        for (const char* value : row) {
            const size_t found = lines[at].find(value, from);
            EXPECT_NE(std::string::npos, found) << value << " after the values before it in: " << lines[at];
            from = found == std::string::npos ? from : found + strlen(value);
            starts.push_back(found);
        }
        // Values of one length in one column start in about one character
        // column (the hexadecimal letters are not all of one width).
        if (firstStarts.empty())
            firstStarts = starts;
        for (size_t i = 0; i < starts.size(); ++i)
            EXPECT_NEAR(static_cast<double>(firstStarts[i]), static_cast<double>(starts[i]), 1.0)
                << row[i] << "\n" << all;
    }

    // The places, in points: the centred lines about the middle of the
    // printable width, the right-aligned ones and the right string at its
    // right edge, the left string at its left edge.
    const double middle = (left + right) / 2;
    const PdfWord doses = OneWord(page, L"Doses"), week = OneWord(page, L"week");
    EXPECT_NEAR(middle, (doses.xMin + week.xMax) / 2, 2.0);
    const PdfWord room = OneWord(page, L"Room"), floor = OneWord(page, L"floor");
    EXPECT_NEAR(middle, (room.xMin + floor.xMax) / 2, 2.0);
    EXPECT_GT(room.yMin, doses.yMax - 1) << "the second line below the first";
    EXPECT_NEAR(right, OneWord(page, L"by").xMax, 2.0);
    EXPECT_NEAR(right, OneWord(page, L"Ivanova").xMax, 2.0);
    EXPECT_NEAR(right, OneWord(page, L"radiologist").xMax, 2.0);
    EXPECT_GT(OneWord(page, L"Checked").xMin, middle) << "right-aligned, not from the left";
    const PdfWord series = OneWord(page, L"Series"), sheet = OneWord(page, L"Sheet");
    EXPECT_NEAR(left, series.xMin, 2.0);
    EXPECT_NEAR(series.yMin, sheet.yMin, 1.0) << "one line";
    bool sheetNumber = false;
    for (const PdfWord& w : FindWords(page, L"1"))
        if (std::fabs(w.yMin - sheet.yMin) < 1.0) {
            sheetNumber = true;
            EXPECT_NEAR(right, w.xMax, 2.0);
        }
    EXPECT_TRUE(sheetNumber);

    // The values: "%05d" right at 60 %, "0x%04X" centred in 60-80 %, "No. %d"
    // right at the printable right edge; one row under another.
    const double kvRight = left + printable * 0.6;
    const double codeMiddle = left + printable * 0.7;
    double lastTop = 0;
    for (const auto& row : rows) {
        const PdfWord region = OneWord(page, std::wstring(row[0], row[0] + strlen(row[0])));
        const PdfWord kv = OneWord(page, std::wstring(row[1], row[1] + strlen(row[1])));
        const PdfWord code = OneWord(page, std::wstring(row[2], row[2] + strlen(row[2])));
        const std::string entry = row[3];
        PdfWord number = {};
        for (const PdfWord& w : FindWords(page, std::wstring(entry.begin() + 4, entry.end())))
            if (std::fabs(w.yMin - region.yMin) < 1.0)
                number = w;
        EXPECT_NEAR(left, region.xMin, 2.0) << row[0];
        EXPECT_NEAR(kvRight, kv.xMax, 2.0) << row[1];
        EXPECT_NEAR(codeMiddle, (code.xMin + code.xMax) / 2, 2.0) << row[2];
        EXPECT_NEAR(right, number.xMax, 2.0) << row[3];
        EXPECT_NEAR(region.yMin, kv.yMin, 1.0) << row[0];
        EXPECT_NEAR(region.yMin, code.yMin, 1.0) << row[0];
        EXPECT_NEAR(region.yMin, number.yMin, 1.0) << row[0];
        EXPECT_GT(region.yMin, lastTop) << row[0];
        lastTop = region.yMin;
    }
}

namespace {

// The first PDF not among `before` that holds the word (the picture sheet's
// document name is the same for every print, and in Russian it leaves no
// name to tell files apart), waited for (bounded); empty when none comes.
std::string NewPdfWith(const std::vector<std::string>& before, const std::wstring& word)
{
    std::set<std::string> read(before.begin(), before.end());
    for (int tries = 0; tries < 600; ++tries) {
        for (const std::string& file : PdfFiles(L"")) {
            if (read.count(file))
                continue;
            const std::string base = file.substr(file.find_last_of('/') + 1);
            const std::string done = WaitForPdf(std::wstring(base.begin(), base.end() - 4));
            read.insert(file);
            for (const PdfPage& page : ReadPdfWords(done.empty() ? file : done))
                if (!FindWords(page, word).empty())
                    return done.empty() ? file : done;
        }
        Sleep(100);
    }
    return std::string();
}

// A site as it is first set up: a profile of the PDF printer for both job
// kinds, no print font stored. Each print runs in a process of its own.
enum class FirstPrint { kReport, kSheetInRussian, kDescription };

class FreshSite : public PrintToPdf, public ::testing::WithParamInterface<FirstPrint> {
protected:
    void SetUp() override
    {
        PrintToPdf::SetUp();
        setup.SetPrintFonts(0, 0);
    }
};

}  // namespace

// What a new user prints first, with no print font stored, through the real
// printer: the site's report, the image panel's picture sheet (in Russian)
// and the note window's description. Every word is readable (8 points or
// more), and the header's right-aligned phone is whole and ends on the right
// margin as measured. (Labels apart from their values, whatever the fonts,
// on a memory printer: printtext_test.cpp.)
TEST_P(FreshSite, PrintsReadableWithTheRightAlignedPhoneWhole)
{
    const std::wstring clinic = UniqueDocName(L"Clinic");   // one word, this test's own
    setup.SetHeader(L"Company1", clinic.c_str());
    setup.SetHeader(L"Address", L"Moscow, Lenina 1");
    setup.SetHeader(L"Phon", L"+7 495 123-45-67");
    const long patient = db.Patients()[0];
    const int image = DescribedImage(patient);
    harness::ThreadLanguage speaking(GetParam() == FirstPrint::kSheetInRussian ? 0x419 : 0x409);
    std::string pdf;
    if (GetParam() == FirstPrint::kReport) {
        ReportDesc report;
        ReportFilters filters;
        const std::wstring docName = UniqueDocName(L"tffresh");
        SiteReport(report, filters, docName);
        AwaitIdlePrinters();
        EXPECT_TRUE(PrintReport(filters, nullptr));
        pdf = WaitForPdf(docName);
    } else {
        std::vector<BYTE> pixels(static_cast<size_t>(64) * 32, 0x80);
        DPicturePtr picture;
        PrintSnimokRequest request = {};
        ASSERT_TRUE(SheetRequest(pixels, 64, 32, patient, image, picture, request));
        AwaitIdlePrinters();
        const std::vector<std::string> before = PdfFiles(L"");
        if (GetParam() == FirstPrint::kSheetInRussian)
            PrintSnimokWithCfg(nullptr, &request);
        else
            StartDefaultPrintJob(nullptr, static_cast<DWORD>(image), static_cast<DWORD>(patient));
        pdf = NewPdfWith(before, clinic);
    }
    ASSERT_FALSE(pdf.empty()) << "no PDF";
    const std::vector<PdfPage> pages = ReadPdfWords(pdf);
    ASSERT_FALSE(pages.empty());
    for (const PdfPage& page : pages)
        for (const PdfWord& w : page.words)
            EXPECT_GE(w.yMax - w.yMin, 8.0) << "\"" << Narrow(w.text) << "\" is too small to read";
    if (GetParam() == FirstPrint::kReport)
        return;
    const std::vector<PdfWord> phone = FindWords(pages[0], L"123-45-67");
    ASSERT_EQ(1u, phone.size()) << "the phone whole: " << Narrow(Words(pages[0]));
    EXPECT_NEAR(pages[0].width - Points(1000), phone[0].xMax, 1.0) << "it ends on the right margin";
}

INSTANTIATE_TEST_SUITE_P(FirstPrints, FreshSite,
                         ::testing::Values(FirstPrint::kReport, FirstPrint::kSheetInRussian, FirstPrint::kDescription),
                         [](const ::testing::TestParamInfo<FirstPrint>& info) {
                             return std::string(info.param == FirstPrint::kReport           ? "Report"
                                                : info.param == FirstPrint::kSheetInRussian ? "SheetInRussian"
                                                                                            : "Description");
                         });

// A clinic prints all day from one process: report and picture sheet in
// turn, each with its state window on a thread of its own. A window thread
// that damaged the heap as it ended crashed such a process after about a
// dozen prints.
TEST_F(PrintToPdf, SixteenPrintsInOneProcessLeaveItWhole)
{
    const long patient = db.Patients()[0];
    const int image = DescribedImage(patient);
    std::vector<BYTE> pixels(static_cast<size_t>(64) * 32, 0x80);
    DPicturePtr picture;
    PrintSnimokRequest request = {};
    ASSERT_TRUE(SheetRequest(pixels, 64, 32, patient, image, picture, request));
    AwaitIdlePrinters();
    const std::vector<std::string> before = PdfFiles(L"");
    for (int i = 0; i < 16; ++i) {
        if (i % 2)
            PrintSnimokWithCfg(nullptr, &request);
        else
            StartDefaultPrintJob(nullptr, static_cast<DWORD>(image), static_cast<DWORD>(patient));
    }
    // Every print reached the printer: sixteen new files, once CUPS has
    // printed them all, each written in full.
    AwaitIdlePrinters();
    std::vector<std::string> printed;
    harness::PumpUntil([&] {
        printed.clear();
        for (const std::string& file : PdfFiles(L""))
            if (std::find(before.begin(), before.end(), file) == before.end())
                printed.push_back(file);
        return printed.size() >= 16;
    }, 60000);
    EXPECT_EQ(16u, printed.size());
    for (const std::string& file : printed) {
        const std::string base = file.substr(file.find_last_of('/') + 1);
        EXPECT_FALSE(WaitForPdf(std::wstring(base.begin(), base.end() - 4)).empty()) << base;
    }
}

// A print that fails after its document began (the report's columns are
// wider than the page) leaves its state window reading as a failure: the
// error in the red state band, "Not printed", no "0/0" pages, no blue in
// the bar; closing it ends the print.
TEST_F(PrintToPdf, AFailedPrintReadsAsAFailureInItsStateWindow)
{
    db.CopySiteCfg(L"RepFilt.cfg");
    db.WriteCfg(L"toowide.cfg", L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\" nosave\n"
                                L"list { { \"Family name\", \"Name1\", varchar(32), width = 12000 }\n"
                                L"       { \"Birthday\", \"Birthday\", date, width = 9000 } }");
    db.WriteCfg(L"toowide-report.cfg", L"table { list = \"toowide.cfg\" filt = \"RepFilt.cfg\" }\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"toowide-report.cfg"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, UniqueDocName(L"tffailed").c_str()));
    harness::ScreenLock screen;
    DocPrintStateWnd::View seen = {};
    int blue = -1, failedBand = -1;
    bool closed = false;
    Helper user([&] {
        const DWORD start = GetTickCount();
        HWND window = nullptr;
        DocPrintStateWnd* state = nullptr;
        while (GetTickCount() - start < 20000) {
            window = harness::FindOwnWindow(DocPrintStateWnd::kClassName);
            state = window ? reinterpret_cast<DocPrintStateWnd*>(GetWindowLongW(window, 0)) : nullptr;
            if (state && state->Read().failed)
                break;
            state = nullptr;
            Sleep(20);
        }
        if (!state)
            return;
        seen = state->Read();
        // The window as its thread paints the failure: read once it has
        // nothing left to paint; the band's colour is what shows it done.
        while (GetTickCount() - start < 20000) {
            if (!harness::Repainted(window))
                continue;
            harness::PixelGrab grab(window);
            const RECT inside = state->BarInside();
            const int y = (inside.top + inside.bottom) / 2;
            blue = grab.Count(RGB(0, 0, 255), RECT{inside.left, y, inside.right, y + 1});
            const RECT band = state->StateBand();
            failedBand = grab.Count(RGB(0xF4, 0xC8, 0xC8), RECT{band.right - 20, 1, band.right - 1, 2});
            if (failedBand > 0)
                break;
        }
        closed = PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
    });
    AwaitIdlePrinters();
    EXPECT_TRUE(PrintReport(filters, nullptr)) << "an error shown in the window counts as printed";
    user.Join();
    ASSERT_TRUE(closed) << "the state window did not show a failure";
    EXPECT_TRUE(seen.failed);
    EXPECT_EQ(LoadText(IDS_COLUMNS_CREATE_ERROR), seen.state);
    EXPECT_EQ(LoadText(IDS_PRINT_STATE_NOT_PRINTED), seen.outcome);
    EXPECT_EQ(L"", seen.pages) << "no pages were reported";
    EXPECT_EQ(0, blue) << "nothing printed in the bar";
    EXPECT_GT(failedBand, 0) << "the state band in the failure's colour";
    EXPECT_EQ(nullptr, harness::FindOwnWindow(DocPrintStateWnd::kClassName));
}
