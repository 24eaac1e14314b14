// Text on the printed page: how a text is broken into lines, and that every
// text of a picture sheet is drawn whole (never clipped), inside the
// printable width, apart from every other text of its line, with the
// right-aligned phone ending on the edge as measured, whatever the print
// fonts are (none stored, labels much larger than values or the other way
// round, texts longer than a line) and in both languages.
#include "print_site.h"

#include "app/reghelpers.h"
#include "common/dialog_look.h"
#include "foundation/textutil.h"
#include "printing/printfonts.h"
#include "printing/printtext.h"
#include "printing/sheetprint.h"
#include "resources/strings.h"

#include <algorithm>
#include <string>

using namespace printtest;

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// A memory device context in a font whose every character is as wide as
// the next (the lines' widths then count characters).
class MonoDc {
public:
    MonoDc()
    {
        dc_ = CreateCompatibleDC(nullptr);
        font_ = CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH,
                            L"DejaVu Sans Mono");
        old_ = SelectObject(dc_, font_);
        SIZE one = {};
        GetTextExtentPoint32W(dc_, L"x", 1, &one);
        char_ = one.cx;
    }
    ~MonoDc()
    {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    HDC Get() const { return dc_; }
    int Char() const { return char_; }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
    int char_ = 0;
};

// The lines' texts.
std::vector<std::wstring> Lines(HDC dc, const std::wstring& text, int width, UINT format)
{
    std::vector<PrintLine> lines;
    LayOutPrintText(dc, text.c_str(), static_cast<int>(text.size()), width, format, &lines);
    std::vector<std::wstring> out;
    for (const PrintLine& line : lines)
        out.push_back(text.substr(static_cast<size_t>(line.start), static_cast<size_t>(line.length)));
    return out;
}

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

const MemoryPrinter::Text* Starting(const MemoryPrinter& printer, const std::wstring& start)
{
    for (const MemoryPrinter::Text& t : printer.Texts())
        if (t.text.compare(0, start.size(), start) == 0)
            return &t;
    return nullptr;
}

LOGFONTW Face(int height, LONG weight)
{
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"DejaVu Sans");
    return font;
}

// Print fonts of these heights in display pixels (0: none stored) for the
// rest of the scope, loaded as a print loads them.
void UsePrintFonts(PrivateSettings& settings, int labels, int values)
{
    HKEY key = settings.Open(L"Printer");
    RegDeleteValueW(key, L"Font1");
    RegDeleteValueW(key, L"Font2");
    if (labels)
        RegWriteLogFont(Face(labels, FW_BOLD), key, L"Font1");
    if (values)
        RegWriteLogFont(Face(values, FW_NORMAL), key, L"Font2");
    RegCloseKey(key);
    FreePrintFonts();
    LoadPrintFonts();
}

const int kEightPoints = 282;   // 0.01 mm

}  // namespace

TEST(PrintTextLayout, LinesBreakAtBreaksAndBetweenWordsAndLongWordsStayOnThePage)
{
    MonoDc dc;
    const int c = dc.Char();
    ASSERT_GT(c, 0);
    const UINT wrap = DT_NOPREFIX | DT_WORDBREAK;
    struct Case {
        const wchar_t* text;
        int chars;   // the area's width in characters (0: no width)
        UINT format;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
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
    for (const Case& k : cases) {
        EXPECT_EQ(k.lines, Lines(dc.Get(), k.text, k.chars * c, k.format)) << Narrow(k.text) << " in " << k.chars;
        std::vector<PrintLine> lines;
        const int height = LayOutPrintText(dc.Get(), k.text, static_cast<int>(wcslen(k.text)), k.chars * c, k.format,
                                           &lines);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc.Get(), &metrics);
        EXPECT_EQ(static_cast<int>(k.lines.size()) * metrics.tmHeight, height) << Narrow(k.text);
        for (const PrintLine& line : lines)
            EXPECT_EQ(line.length * c, line.width) << Narrow(k.text);
    }
    EXPECT_EQ(7 * c, PrintTextWidth(dc.Get(), L"one two", 7));
}

// The picture sheet's texts on a memory printer, for fonts and texts that
// used to make labels run into their values and cut right-aligned texts.
TEST(PrintedText, EverySheetTextIsWholeInsideThePageAndApartWhateverTheFonts)
{
    struct Case {
        const char* name;
        int labels, values;   // display pixels; 0: none stored, as on a fresh site
        LANGID language;
        bool longTexts;       // a name and an address wider than a line
    };
    const Case cases[] = {
        {"a fresh site", 0, 0, 0x409, false},
        {"a fresh site in Russian", 0, 0, 0x419, false},
        {"labels far larger than values", -48, -10, 0x409, false},
        {"values far larger than labels", -8, -48, 0x419, false},
        {"texts longer than a line", -20, -20, 0x409, true},
    };
    PrintSetup setup(nullptr, false);
    PrivateSettings& settings = setup.Settings();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        harness::ThreadLanguage language(k.language);
        UsePrintFonts(settings, k.labels, k.values);
        const std::wstring phone = L"+7 495 123-45-67";
        const std::wstring address =
            k.longTexts ? L"Moscow, Lenina street 1, building 2, entrance from the yard, second floor, room 212"
                        : L"Moscow, Lenina 1";
        HKEY key = settings.Open(L"Header");
        for (const auto& [name, value] : {std::pair<const wchar_t*, std::wstring>{L"Company1", L"Central Clinic"},
                                          {L"Address", address},
                                          {L"Phon", phone},
                                          {L"Cabinet", L"Room 12"}})
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        SheetTexts texts;
        texts.name = k.longTexts ? std::wstring(255, L'W') : L"Brown Alice Marie";
        texts.birthday = L"01/01/1941";
        texts.note = L"Chest, two views. No focal changes.";
        GetSystemTimeAsFileTime(&texts.examDate);
        SnimokPrintCfg cfg = {};
        SetDefaultSnimokPrintCfg(cfg);
        cfg.noteFromDatabase = 1;
        cfg.printSnimok = 0;

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
        for (const std::wstring& label : {LoadText(IDS_PRINT_LABEL_NAME), LoadText(IDS_PRINT_LABEL_BIRTH_DATE),
                                          LoadText(IDS_PRINT_LABEL_EXAM_DATE)})
            EXPECT_TRUE(Starting(printer, label)) << Narrow(label) << " printed";
        EXPECT_TRUE(Starting(printer, texts.name.substr(0, 5))) << "the name printed";
        if (k.labels == 0) {
            for (const MemoryPrinter::Text& t : printer.Texts())
                EXPECT_GE(t.height, kEightPoints) << Narrow(t.text) << " is too small to read";
        }
    }
    FreePrintFonts();
}
