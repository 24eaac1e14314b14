// Picture sheets on a memory printer: the clinic header, the patient lines,
// the examination date, the note and the picture in their places; the
// picture fitted to its box with its aspect and sent once as one 8-bit grey
// bitmap; the texts read from the demo database (a name without a middle
// part, the date from the image's row or the picture); a note higher than a
// page; the picture box that does not fit; a stop while the picture is copied.
#include "print_site.h"

#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "fake_spooler.h"
#include "foundation/datetime.h"
#include "foundation/textutil.h"
#include "printing/printfonts.h"
#include "printing/printstatewnd.h"
#include "printing/sheetprint.h"
#include "resources/strings.h"

using namespace printtest;

namespace {

// Four vertical bands of grey (32, 96, 160, 224), rows padded to 4 bytes.
std::vector<BYTE> Bands(int width, int height)
{
    const int stride = (width + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * stride + x] = static_cast<BYTE>(32 + 64 * (x * 4 / width));
    return pixels;
}

class Sheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.Ok()) << db.Error();
        LoadPrintFonts();
        ASSERT_TRUE(Font1.Handle() && Font2.Handle());
        patient = db.Patients()[0];
        image = std::stoi(db.Scalar(L"SELECT MIN(Snimok) FROM Snimok WHERE Patient=" + std::to_wstring(patient) +
                                    L" AND Apicriz IS NOT NULL;"));
        cfg = SnimokPrintCfg();
        SetDefaultSnimokPrintCfg(cfg);
        cfg.noteFromDatabase = 1;
        cfg.patient = static_cast<int>(patient);
        cfg.snimok = image;
    }

    void Print(MemoryPrinter& printer, const DocPrintStateWnd* window = nullptr)
    {
        PrintJob& job = printer.Job();
        job.leftMargin = cfg.leftField;
        job.rightMargin = cfg.rightField;
        job.topMargin = cfg.topField;
        job.bottomMargin = cfg.bottomField;
        DOCINFOW info = {sizeof info, L"sheet"};
        job.StartDoc(info);
        job.StartPage();
        SheetTexts texts;
        ReadSheetTexts(cfg, &texts);
        PrintSheetPages(job, cfg, texts, window);
        job.EndPage();
    }

    std::wstring Column(const wchar_t* column, const wchar_t* table, long key)
    {
        return db.Scalar(std::wstring(L"SELECT ") + column + L" FROM " + table + L" WHERE " + table + L"=" +
                         std::to_wstring(key) + L";");
    }

    DemoDatabase db;
    PrintSetup setup{nullptr};
    SnimokPrintCfg cfg;
    long patient = 0;
    int image = 0;
};

}  // namespace

TEST(SheetArithmetic, ThePictureFillsItsBoxWithItsAspectKept)
{
    PictureFit fit = FitPicture(1000, 500, 19000, 19000);
    EXPECT_EQ(19000, fit.width);
    EXPECT_EQ(9500, fit.height);
    fit = FitPicture(500, 1000, 19000, 19000);
    EXPECT_EQ(9500, fit.width);
    EXPECT_EQ(19000, fit.height);
    fit = FitPicture(3000, 3000, 19000, 12000);
    EXPECT_EQ(12000, fit.width);
    EXPECT_EQ(12000, fit.height);
    fit = FitPicture(10, 10, 0, 100);
    EXPECT_EQ(0, fit.width);
}

TEST(SheetArithmetic, RowsAreTurnedBottomUpWhateverTheirWidth)
{
    const int width = 301, height = 3, stride = 304;
    std::vector<BYTE> top(stride * height, 0), out(stride * height, 0xAA);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            top[y * stride + x] = static_cast<BYTE>(y * 10 + x % 7);
    ASSERT_TRUE(CopyRowsBottomUp(top.data(), width, height, out.data(), nullptr, nullptr));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(top[(height - 1 - y) * stride + x], out[y * stride + x]) << x << "," << y;
    EXPECT_EQ(0xAA, out[stride - 1]) << "the padding is not the source's to write";
    int asked = 0;
    auto stopAtSecond = [](const void* count) { return ++*static_cast<int*>(const_cast<void*>(count)) > 1; };
    EXPECT_FALSE(CopyRowsBottomUp(top.data(), width, height, out.data(), stopAtSecond, &asked));
    EXPECT_EQ(2, asked);
}

TEST_F(Sheet, EveryPartInItsPlace)
{
    setup.SetHeader(L"Company1", L"Central Clinic");
    setup.SetHeader(L"Company2", L"Radiology");
    setup.SetHeader(L"Phon", L"Phone 555");
    setup.SetHeader(L"Address", L"Main Street");
    setup.SetHeader(L"Cabinet", L"Room 12");
    std::vector<BYTE> pixels = Bands(400, 200);
    cfg.pixels = pixels.data();
    cfg.pixelWidth = 400;
    cfg.pixelHeight = 200;
    MemoryPrinter printer;
    Print(printer);
    const int width = printer.Job().PrintableWidth();
    printer.Read();

    const MemoryPrinter::Text* company1 = printer.Find(L"Central Clinic");
    const MemoryPrinter::Text* company2 = printer.Find(L"Radiology");
    const MemoryPrinter::Text* phone = printer.Find(L"Phone 555");
    const MemoryPrinter::Text* address = printer.Find(L"Main Street");
    const MemoryPrinter::Text* cabinet = printer.Find(L"Room 12");
    const MemoryPrinter::Text* nameLabel = printer.Find(LoadText(IDS_PRINT_LABEL_NAME));
    const MemoryPrinter::Text* birthLabel = printer.Find(LoadText(IDS_PRINT_LABEL_BIRTH_DATE) + L" ");
    const MemoryPrinter::Text* examLabel = printer.Find(LoadText(IDS_PRINT_LABEL_EXAM_DATE) + L" ");
    ASSERT_TRUE(company1 && company2 && phone && address && cabinet && nameLabel && birthLabel && examLabel);
    EXPECT_GT(company1->x, 3000) << "centred";
    EXPECT_LT(company1->x, width / 2);
    EXPECT_NEAR(0, address->x, 10);
    EXPECT_GT(phone->x, width / 2) << "at the right";
    EXPECT_EQ(phone->y, address->y) << "one line";
    EXPECT_LT(company1->y, company2->y);
    EXPECT_LT(company2->y, phone->y);
    EXPECT_LT(phone->y, cabinet->y);
    EXPECT_LT(cabinet->y, nameLabel->y);
    EXPECT_NEAR(0, nameLabel->x, 10);
    EXPECT_NEAR(11000, birthLabel->x, 10);
    EXPECT_EQ(nameLabel->y, birthLabel->y);
    EXPECT_LT(nameLabel->y, examLabel->y);

    // The patient's name and birthday after their labels, in the base font.
    const std::wstring name = Column(L"Name1", L"Patient", patient) + L" " + Column(L"Name2", L"Patient", patient) +
                              L" " + Column(L"Name3", L"Patient", patient);
    const MemoryPrinter::Text* shownName = printer.Find(name);
    ASSERT_TRUE(shownName) << "the name parts joined";
    EXPECT_GT(shownName->x, nameLabel->x);
    EXPECT_LT(shownName->x, 11000);
    // The examination date from the image's row, by the date picture.
    FILETIME examDate = {};
    {
        BoundStatement query(g_DbSession, L"SELECT [Date file] FROM Snimok WHERE Snimok=?;");
        query.Params().SetValI4(1, image);
        ASSERT_TRUE(query.First());
        ASSERT_TRUE(RowDate(query.Row(), 0, &examDate));
    }
    wchar_t date[64];
    FormatFileTime(date, 64, DatePicture, &examDate);
    const MemoryPrinter::Text* shownDate = printer.Find(date);
    ASSERT_TRUE(shownDate);
    EXPECT_GE(shownDate->y, examLabel->y) << "on the label's baseline";
    EXPECT_LT(shownDate->y, examLabel->y + 100);
    EXPECT_GT(shownDate->x, examLabel->x);

    // The note below the date, from the image's row.
    const std::wstring note = Column(L"Apicriz", L"Snimok", image);
    ASSERT_FALSE(note.empty());
    const std::wstring firstWords = note.substr(0, note.find(L' '));
    const MemoryPrinter::Text* noteLine = nullptr;
    for (const MemoryPrinter::Text& t : printer.Texts())
        if (t.text.compare(0, firstWords.size(), firstWords) == 0)
            noteLine = &t;
    ASSERT_TRUE(noteLine);
    EXPECT_GT(noteLine->y, examLabel->y);

    // The picture: below the texts, the whole printable width, 2:1, centred,
    // one 8-bit grey bitmap of its own size.
    ASSERT_EQ(1u, printer.Dibs().size());
    const MemoryPrinter::Dib& dib = printer.Dibs()[0];
    EXPECT_EQ(8, dib.bitCount);
    EXPECT_TRUE(dib.grey);
    EXPECT_FALSE(dib.inverted);
    EXPECT_EQ(400, dib.sourceWidth);
    EXPECT_EQ(200, dib.sourceHeight);
    EXPECT_NEAR(0, dib.x, 10);
    EXPECT_NEAR(width, dib.width, 10);
    EXPECT_NEAR(width / 2, dib.height, 10);
    EXPECT_GT(dib.y, noteLine->y);
    EXPECT_EQ(1, dib.page);
}

TEST_F(Sheet, ATallPictureIsCentredAndANegativeGoesThroughAnInvertedPalette)
{
    std::vector<BYTE> pixels = Bands(100, 400);
    DPicturePtr picture;
    ASSERT_TRUE(picture.CreateNew());
    picture->negative = 1;
    cfg.picture = picture;
    cfg.pixels = pixels.data();
    cfg.pixelWidth = 100;
    cfg.pixelHeight = 400;
    cfg.printHeader = cfg.printPatient = cfg.printNote = 0;
    cfg.height = 12000;
    MemoryPrinter printer;
    Print(printer);
    const int width = printer.Job().PrintableWidth();
    printer.Read();
    ASSERT_EQ(1u, printer.Dibs().size());
    const MemoryPrinter::Dib& dib = printer.Dibs()[0];
    EXPECT_TRUE(dib.inverted);
    EXPECT_NEAR(12000, dib.height, 10);
    EXPECT_NEAR(3000, dib.width, 10);
    EXPECT_NEAR((width - 3000) / 2, dib.x, 10);
    EXPECT_TRUE(printer.Find(LoadText(IDS_PRINT_LABEL_EXAM_DATE) + L" ")) << "the date line is always printed";
}

TEST_F(Sheet, APictureFromA3000SquareSourceIsSentOnceAsOneGreyBitmap)
{
    std::vector<BYTE> pixels(3000u * 3000u, 0x80);
    cfg.pixels = pixels.data();
    cfg.pixelWidth = 3000;
    cfg.pixelHeight = 3000;
    MemoryPrinter printer;
    Print(printer);
    const int pages = printer.Job().PageCount();
    printer.Read();
    ASSERT_EQ(1u, printer.Dibs().size());
    EXPECT_EQ(3000, printer.Dibs()[0].sourceWidth);
    EXPECT_EQ(8, printer.Dibs()[0].bitCount);
    EXPECT_LE(static_cast<int>(printer.Dibs().size()), pages);
}

TEST_F(Sheet, ANameWithoutAMiddlePartStillPrints)
{
    db.Exec(L"UPDATE Patient SET Name3 = NULL WHERE Patient=" + std::to_wstring(patient) + L";");
    db.Exec(L"UPDATE Patient SET Name2 = NULL WHERE Patient=" + std::to_wstring(db.Patients()[1]) + L";");
    SheetTexts texts;
    ReadSheetTexts(cfg, &texts);
    EXPECT_EQ(Column(L"Name1", L"Patient", patient) + L" " + Column(L"Name2", L"Patient", patient), texts.name);
    cfg.patient = static_cast<int>(db.Patients()[1]);
    ReadSheetTexts(cfg, &texts);
    EXPECT_EQ(Column(L"Name1", L"Patient", db.Patients()[1]) + L" " + Column(L"Name3", L"Patient", db.Patients()[1]),
              texts.name);
    EXPECT_FALSE(texts.birthday.empty());
}

TEST_F(Sheet, TheExaminationDateAlwaysHasASource)
{
    // Without the note the date still comes from the image's row.
    cfg.printNote = 0;
    SheetTexts texts;
    ReadSheetTexts(cfg, &texts);
    EXPECT_TRUE(texts.examDate.dwLowDateTime || texts.examDate.dwHighDateTime);
    EXPECT_TRUE(texts.note.empty());
    // A picture not stored yet: its own date.
    DPicturePtr picture;
    ASSERT_TRUE(picture.CreateNew());
    picture->imageDate = FILETIME{0x12345678, 0x01D9A000};
    cfg.picture = picture;
    cfg.snimok = 0;
    cfg.printNote = 1;
    ReadSheetTexts(cfg, &texts);
    EXPECT_EQ(0x12345678u, texts.examDate.dwLowDateTime);
    // No row for the image is an error of the database.
    cfg.snimok = 999999;
    try {
        ReadSheetTexts(cfg, &texts);
        ADD_FAILURE() << "an image without a row";
    } catch (const StrExc& e) {
        EXPECT_EQ(unsigned(IDS_DATABASE_WORK_ERROR), e.id);
    }
}

TEST_F(Sheet, ACallersNoteHigherThanThePageGoesOnOverTheNextPages)
{
    std::wstring note;
    for (int i = 0; i < 120; ++i)
        note += L"Finding " + std::to_wstring(i) + L"\n";
    cfg.noteFromDatabase = 0;
    cfg.note = note.c_str();
    cfg.noteLength = static_cast<int>(note.size());
    cfg.printSnimok = 0;
    MemoryPrinter printer;
    Print(printer);
    const int height = printer.Job().PrintableHeight();
    const int pages = printer.Job().PageCount();
    printer.Read();
    EXPECT_GE(pages, 2);
    for (int i = 0; i < 120; ++i) {
        int shown = 0;
        for (const MemoryPrinter::Text& t : printer.Texts())
            if (t.text == L"Finding " + std::to_wstring(i) && t.y >= 0 && t.y + 300 <= height)
                ++shown;
        EXPECT_EQ(1, shown) << i;
    }
    // A caller's empty note prints none.
    cfg.noteLength = 0;
    MemoryPrinter empty;
    Print(empty);
    empty.Read();
    for (const MemoryPrinter::Text& t : empty.Texts())
        EXPECT_EQ(std::wstring::npos, t.text.find(L"Finding"));
}

TEST_F(Sheet, APictureBoxTheSheetCannotHoldFails)
{
    std::vector<BYTE> pixels = Bands(40, 40);
    cfg.pixels = pixels.data();
    cfg.pixelWidth = cfg.pixelHeight = 40;
    struct Case {
        int width, height, minWidth, minHeight;
        unsigned id;
    } cases[] = {{25000, 0, 0, 0, IDS_IMAGE_WIDTH_DOES_NOT_FIT},
                 {0, 30000, 0, 0, IDS_IMAGE_HEIGHT_DOES_NOT_FIT},
                 {0, 0, 20000, 0, IDS_IMAGE_WIDTH_DOES_NOT_FIT},
                 {0, 0, 0, 28000, IDS_IMAGE_HEIGHT_DOES_NOT_FIT}};
    for (const Case& c : cases) {
        cfg.width = c.width;
        cfg.height = c.height;
        cfg.minWidth = c.minWidth;
        cfg.minHeight = c.minHeight;
        MemoryPrinter printer;
        unsigned failed = 0;
        try {
            Print(printer);
        } catch (const StrExc& e) {
            failed = e.id;
        }
        EXPECT_EQ(c.id, failed) << c.width << " " << c.height << " " << c.minWidth << " " << c.minHeight;
    }
}

TEST_F(Sheet, AStopWhileThePictureIsCopiedEndsThePrint)
{
    InputClasses classes;
    ASSERT_TRUE(DocPrintStateWnd::RegisterClass());
    FakeSpooler spooler;
    DocPrintStateWnd window;
    ASSERT_TRUE(window.Start(nullptr, L"Stop"));
    PostMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(harness::PumpUntil([&] { return window.IsAbortRequested(); }, 5000));
    std::vector<BYTE> pixels = Bands(64, 64);
    cfg.pixels = pixels.data();
    cfg.pixelWidth = cfg.pixelHeight = 64;
    MemoryPrinter printer;
    bool stopped = false;
    try {
        Print(printer, &window);
    } catch (const ExcAbortPrint&) {
        stopped = true;
    }
    EXPECT_TRUE(stopped);
    window.Stop();
    printer.Read();
    EXPECT_TRUE(printer.Dibs().empty());
    DocPrintStateWnd::UnregisterClass();
}
