// Text on the printed page: how a text is broken into lines (at its breaks,
// between words, a word longer than the area over several lines, each line's
// width its measured advances), and that every text of a picture sheet is
// drawn whole, inside the printable width and apart from every other,
// whatever the print fonts are and in both languages.
#include "print_site.h"

#include "foundation/textutil.h"
#include "printing/printfonts.h"
#include "printing/printtext.h"
#include "printing/sheetprint.h"
#include "resources/strings.h"
#include "ui/gdi.h"

#include <string>
#include <vector>

using namespace printtest;

TEST(PrintTextLayout, LinesBreakAtBreaksAndBetweenWordsAndLongWordsStayOnThePage)
{
    // A font whose every character is as wide as the next: the lines' widths
    // then count characters.
    HDC dc = CreateCompatibleDC(nullptr);
    DGdiObject<HFONT> font(CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH,
                                       L"DejaVu Sans Mono"));
    {
        ScopedSelect select(dc, font.Get());
        SIZE one = {};
        GetTextExtentPoint32W(dc, L"x", 1, &one);
        const int c = one.cx;
        ASSERT_GT(c, 0);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        const UINT wrap = DT_NOPREFIX | DT_WORDBREAK;
        const struct {
            const wchar_t* text;
            int chars;   // the area's width in characters
            UINT format;
            std::vector<std::wstring> lines;
        } cases[] = {
            {L"one two three", 9, wrap, {L"one two", L"three"}},
            {L"one two three", 13, wrap, {L"one two three"}},
            {L"one   two", 5, wrap, {L"one", L"two"}},
            {L"abcdefghij kl", 4, wrap, {L"abcd", L"efgh", L"ij", L"kl"}},
            {L"a\r\nb\nc\rd", 10, wrap, {L"a", L"b", L"c", L"d"}},
            {L"a\n\nb\n", 10, wrap, {L"a", L"", L"b"}},
            {L"one two three", 5, DT_NOPREFIX, {L"one two three"}},
            {L"a\nb", 5, DT_NOPREFIX | DT_SINGLELINE, {L"a\nb"}},
            {L"", 5, wrap, {}},
        };
        for (const auto& k : cases) {
            std::vector<PrintLine> lines;
            const int height =
                LayOutPrintText(dc, k.text, static_cast<int>(wcslen(k.text)), k.chars * c, k.format, &lines);
            std::vector<std::wstring> texts;
            for (const PrintLine& line : lines) {
                texts.emplace_back(k.text + line.start, static_cast<size_t>(line.length));
                EXPECT_EQ(line.length * c, line.width) << Narrow(k.text);
            }
            EXPECT_EQ(k.lines, texts) << Narrow(k.text) << " in " << k.chars;
            EXPECT_EQ(static_cast<int>(k.lines.size()) * metrics.tmHeight, height) << Narrow(k.text);
        }
        EXPECT_EQ(7 * c, PrintTextWidth(dc, L"one two", 7));
    }
    DeleteDC(dc);
}

namespace {

// Every text drawn whole, inside [0, width] and apart from the others of its
// page; the first fault, or an empty text.
std::string TextFault(const std::vector<MemoryPrinter::Text>& texts, int width)
{
    for (const MemoryPrinter::Text& t : texts) {
        if (t.clipped)
            return "\"" + Narrow(t.text) + "\" is clipped";
        if (t.x < 0 || t.x + t.width > width + 1)
            return "\"" + Narrow(t.text) + "\" reaches out of the printable width: " + std::to_string(t.x) + " + " +
                   std::to_string(t.width) + " of " + std::to_string(width);
    }
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j) {
            const MemoryPrinter::Text &a = texts[i], &b = texts[j];
            if (a.page != b.page || a.text.find_first_not_of(L' ') == std::wstring::npos ||
                b.text.find_first_not_of(L' ') == std::wstring::npos)
                continue;
            const bool rows = a.y < b.y + b.height && b.y < a.y + a.height;
            const bool columns = a.x < b.x + b.width && b.x < a.x + a.width;
            if (rows && columns)
                return "\"" + Narrow(a.text) + "\" meets \"" + Narrow(b.text) + "\"";
        }
    return std::string();
}

// The texts that start with `start`.
int Starting(const MemoryPrinter& printer, const std::wstring& start)
{
    int count = 0;
    for (const MemoryPrinter::Text& t : printer.Texts())
        count += t.text.compare(0, start.size(), start) == 0 ? 1 : 0;
    return count;
}

}  // namespace

// The picture sheet's texts on a memory printer, for fonts and texts that
// used to make labels run into their values and cut right-aligned texts:
// every text whole (never clipped), inside the printable width and apart
// from every other, the right-aligned phone ending on the edge as measured,
// and with no print font stored (a fresh site) none smaller than 8 points.
TEST(PrintedText, EverySheetTextIsWholeInsideThePageAndApartWhateverTheFonts)
{
    const struct {
        const char* name;
        int labels, values;   // display pixels; 0: none stored, as on a fresh site
        LANGID language;
        bool longTexts;       // a name and an address wider than a line
    } cases[] = {
        {"a fresh site", 0, 0, 0x409, false},
        {"a fresh site in Russian", 0, 0, 0x419, false},
        {"labels far larger than values", -48, -10, 0x409, false},
        {"values far larger than labels", -8, -48, 0x419, false},
        {"texts longer than a line", -20, -20, 0x409, true},
    };
    const int kEightPoints = 282;   // 0.01 mm
    const std::wstring phone = L"+7 495 123-45-67";
    PrintSetup setup(nullptr);
    setup.SetHeader(L"Company1", L"Central Clinic");
    setup.SetHeader(L"Phon", phone.c_str());
    setup.SetHeader(L"Cabinet", L"Room 12");
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    cfg.noteFromDatabase = 1;
    cfg.printSnimok = 0;
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        harness::ThreadLanguage language(k.language);
        setup.SetPrintFonts(k.labels, k.values);
        LoadPrintFonts();
        setup.SetHeader(L"Address", k.longTexts ? L"Moscow, Lenina street 1, building 2, entrance from the yard, "
                                                  L"second floor, room 212"
                                                : L"Moscow, Lenina 1");
        SheetTexts texts;
        texts.name = k.longTexts ? std::wstring(255, L'W') : L"Brown Alice Marie";
        texts.birthday = L"01/01/1941";
        texts.note = L"Chest, two views. No focal changes.";
        GetSystemTimeAsFileTime(&texts.examDate);
        MemoryPrinter printer;
        PrintJob& job = printer.Job();
        job.leftMargin = job.rightMargin = job.topMargin = job.bottomMargin = 1000;
        DOCINFOW info = {sizeof info, L"sheet"};
        job.StartDoc(info);
        job.StartPage();
        PrintSheetPages(job, cfg, texts, nullptr);
        job.EndPage();
        const int width = job.PrintableWidth();
        printer.Read();

        EXPECT_EQ("", TextFault(printer.Texts(), width));
        const MemoryPrinter::Text* shownPhone = printer.Find(phone);
        ASSERT_TRUE(shownPhone);
        EXPECT_NEAR(width, shownPhone->x + shownPhone->width, 1) << "the phone ends on the right edge";
        for (UINT label : {IDS_PRINT_LABEL_NAME, IDS_PRINT_LABEL_BIRTH_DATE, IDS_PRINT_LABEL_EXAM_DATE})
            EXPECT_TRUE(Starting(printer, LoadText(label))) << Narrow(LoadText(label)) << " printed";
        EXPECT_GT(Starting(printer, texts.name.substr(0, 5)), k.longTexts ? 1 : 0)
            << "the name printed, on several lines when longer than one";
        for (const MemoryPrinter::Text& t : printer.Texts())
            EXPECT_TRUE(k.labels || t.height >= kEightPoints) << Narrow(t.text) << " is too small to read";
    }
}
