// The print fonts: the height conversion, loading them from "Printer", and
// their re-creation when the Fonts dialog changes one.
#include "print_fixture.h"

#include "app/reghelpers.h"
#include "foundation/registry.h"
#include "printing/printfonts.h"

using namespace printtest;

namespace {

LOGFONTW Face(int height, const wchar_t* face)
{
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, face);
    return font;
}

// The stored font's height as the printer sees it.
LONG CreatedHeight(const PrintFont& font)
{
    LOGFONTW created = {};
    if (!font.Handle() || !GetObjectW(font.Handle(), sizeof created, &created))
        return 0;
    return created.lfHeight;
}

int DisplayDpi()
{
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    const int dpi = GetDeviceCaps(ic, LOGPIXELSY);
    DeleteDC(ic);
    return dpi;
}

class PrintFonts : public ::testing::Test {
protected:
    void SetUp() override { FreePrintFonts(); }
    void TearDown() override { FreePrintFonts(); }
    PrivateSettings settings;
};

}  // namespace

TEST(PrintFontHeight, DisplayPixelsBecomeHundredthsOfAMillimetre)
{
    EXPECT_EQ(-423, PixelsToHiMetric(-16, 96));   // -423.3, toward zero
    EXPECT_EQ(423, PixelsToHiMetric(16, 96));
    EXPECT_EQ(2540, PixelsToHiMetric(96, 96));
    EXPECT_EQ(-635, PixelsToHiMetric(-30, 120));
    EXPECT_EQ(0, PixelsToHiMetric(0, 96));
    EXPECT_EQ(0, PixelsToHiMetric(-16, 0));
    LONG height = -16;
    EXPECT_TRUE(DisplayPixelsToHiMetric(height));
    EXPECT_EQ(PixelsToHiMetric(-16, DisplayDpi()), height);
}

TEST_F(PrintFonts, LoadedFromTheRegistryWithTheHeightConverted)
{
    HKEY key = settings.Open(L"Printer");
    ASSERT_TRUE(RegWriteLogFont(Face(-16, L"DejaVu Sans"), key, L"Font1"));
    ASSERT_TRUE(RegWriteLogFont(Face(-20, L"DejaVu Serif"), key, L"Font2"));
    RegCloseKey(key);
    LoadPrintFonts();
    ASSERT_NE(nullptr, Font1.Handle());
    ASSERT_NE(nullptr, Font2.Handle());
    EXPECT_EQ(PixelsToHiMetric(-16, DisplayDpi()), CreatedHeight(Font1));
    EXPECT_EQ(PixelsToHiMetric(-20, DisplayDpi()), CreatedHeight(Font2));
    // Loading again keeps the fonts that exist.
    HFONT first = Font1.Handle();
    LoadPrintFonts();
    EXPECT_EQ(first, Font1.Handle());
}

TEST_F(PrintFonts, MalformedValueIsDeletedAndItsFontFallsBack)
{
    HKEY key = settings.Open(L"Printer");
    BYTE shortFont[60] = {};
    RegSetValueExW(key, L"Font1", 0, REG_BINARY, shortFont, sizeof shortFont);
    ASSERT_TRUE(RegWriteLogFont(Face(-16, L"DejaVu Sans"), key, L"Font2"));
    RegCloseKey(key);
    LoadPrintFonts();
    EXPECT_TRUE(Font1.Handle() && Font1.IsFallback());
    EXPECT_TRUE(Font2.Handle() && !Font2.IsFallback());
    key = settings.Open(L"Printer");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, L"Font1", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Font2", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

// A fresh site stores no print font: both fall back to the Fonts dialog's
// face in the sizes of printed forms, and a font stored later replaces its
// fallback at the next print.
TEST_F(PrintFonts, WithoutTheKeyBothFallBackUntilAFontIsStored)
{
    LoadPrintFonts();
    ASSERT_TRUE(Font1.Handle() && Font1.IsFallback());
    ASSERT_TRUE(Font2.Handle() && Font2.IsFallback());
    EXPECT_EQ(-PointsToHiMetric(12), CreatedHeight(Font1));
    EXPECT_EQ(-PointsToHiMetric(10), CreatedHeight(Font2));
    EXPECT_EQ(-423, -PointsToHiMetric(12));
    EXPECT_EQ(-353, -PointsToHiMetric(10));
    HKEY key = settings.Open(L"Printer");
    ASSERT_TRUE(RegWriteLogFont(Face(-16, L"DejaVu Sans"), key, L"Font2"));
    ASSERT_TRUE(RegWriteLogFont(Face(0, L"DejaVu Sans"), key, L"Font1"));
    RegCloseKey(key);
    LoadPrintFonts();
    EXPECT_FALSE(Font1.IsFallback());
    EXPECT_FALSE(Font2.IsFallback());
    EXPECT_EQ(PixelsToHiMetric(-16, DisplayDpi()), CreatedHeight(Font2));
    EXPECT_EQ(-PointsToHiMetric(12), CreatedHeight(Font1)) << "a stored height of 0 takes the fallback's size";
}

TEST_F(PrintFonts, ChangedFontIsCreatedAgainOnlyWhenItExists)
{
    // Before anything was printed: the change creates nothing; the next
    // print loads it from the registry.
    LOGFONTW chosen = Face(-16, L"DejaVu Sans");
    SavePrintFonts(L"Font2", chosen);
    EXPECT_EQ(PixelsToHiMetric(-16, DisplayDpi()), chosen.lfHeight);
    EXPECT_EQ(nullptr, Font2.Handle());

    HKEY key = settings.Open(L"Printer");
    ASSERT_TRUE(RegWriteLogFont(Face(-16, L"DejaVu Sans"), key, L"Font2"));
    RegCloseKey(key);
    LoadPrintFonts();
    ASSERT_NE(nullptr, Font2.Handle());
    // Now a new "Print base" font takes effect at once.
    LOGFONTW bigger = Face(-40, L"DejaVu Sans");
    SavePrintFonts(L"Font2", bigger);
    EXPECT_EQ(PixelsToHiMetric(-40, DisplayDpi()), CreatedHeight(Font2));
    EXPECT_TRUE(Font1.IsFallback()) << "none is stored for it";
}

TEST_F(PrintFonts, SelectingMeasuresEachFontAndRestoresTheDc)
{
    HKEY key = settings.Open(L"Printer");
    ASSERT_TRUE(RegWriteLogFont(Face(-16, L"DejaVu Sans"), key, L"Font1"));
    ASSERT_TRUE(RegWriteLogFont(Face(-32, L"DejaVu Sans"), key, L"Font2"));
    RegCloseKey(key);
    LoadPrintFonts();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = GetCurrentObject(dc, OBJ_FONT);
    EXPECT_TRUE(SelectPrintFonts(dc));
    EXPECT_EQ(before, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_GT(Font2.metrics.tmHeight, Font1.metrics.tmHeight);
    DeleteDC(dc);
}
