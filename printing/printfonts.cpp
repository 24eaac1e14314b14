#include "printing/printfonts.h"

#include "foundation/applocale.h"
#include "foundation/registry.h"
#include "printing/printsettings.h"

#include <cwchar>

PrintFont Font1;
PrintFont Font2;

namespace {

const wchar_t kPrinterKey[] = L"Printer";

// The fallback of an unset font: the face the Fonts dialog starts from, in
// the sizes of a clinic's printed forms.
struct StoredFont {
    PrintFont* font;
    const wchar_t* value;
    int points;   // fallback size
    LONG weight;  // fallback weight
};
const StoredFont kFonts[] = {{&Font1, L"Font1", 12, FW_BOLD}, {&Font2, L"Font2", 10, FW_NORMAL}};

// A stored font of height 0 ("any size") would be made at the device's
// default height in 0.01 mm units: a speck. It takes the fallback's size.
void KeepReadable(LOGFONTW& font, const StoredFont& stored)
{
    if (font.lfHeight == 0)
        font.lfHeight = -PointsToHiMetric(stored.points);
}

void CreateFallback(const StoredFont& stored)
{
    LOGFONTW font;
    DefaultPrintFont(stored.value, &font);
    stored.font->CreateFallback(font);
}

}  // namespace

int PointsToHiMetric(int points)
{
    return (points * 2540 + 36) / 72;
}

bool DefaultPrintFont(const wchar_t* valueName, LOGFONTW* font)
{
    for (const StoredFont& stored : kFonts) {
        if (wcscmp(valueName, stored.value) != 0)
            continue;
        InitDefaultLogFont(font);
        font->lfHeight = -PointsToHiMetric(stored.points);
        font->lfWeight = stored.weight;
        return true;
    }
    return false;
}

bool PrintFont::Create(const LOGFONTW& font)
{
    if (font_)
        return false;
    font_ = CreateFontIndirectW(&font);
    fallback_ = false;
    return font_ != nullptr;
}

bool PrintFont::CreateFallback(const LOGFONTW& font)
{
    if (!Create(font))
        return false;
    fallback_ = true;
    return true;
}

bool PrintFont::DeleteFont()
{
    if (!font_)
        return false;
    DeleteObject(font_);
    font_ = nullptr;
    fallback_ = false;
    return true;
}

HGDIOBJ PrintFont::Select(HDC dc) const
{
    return font_ ? SelectObject(dc, font_) : nullptr;
}

int PixelsToHiMetric(int height, int pixelsPerInch)
{
    if (pixelsPerInch <= 0)
        return 0;
    return static_cast<int>(static_cast<long long>(height) * 2540 / pixelsPerInch);
}

bool DisplayPixelsToHiMetric(LONG& height)
{
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!ic) {
        height = 0;
        return false;
    }
    const int dpi = GetDeviceCaps(ic, LOGPIXELSY);
    DeleteDC(ic);
    height = PixelsToHiMetric(height, dpi);
    return dpi > 0;
}

void LoadPrintFonts()
{
    if (Font1.Handle() && !Font1.IsFallback() && Font2.Handle() && !Font2.IsFallback())
        return;
    PrintKey key;
    if (key.Open(kPrinterKey, KEY_READ | KEY_SET_VALUE, false) != ERROR_SUCCESS)
        key.Open(kPrinterKey, KEY_READ, false);
    for (const StoredFont& stored : kFonts) {
        if (stored.font->Handle() && !stored.font->IsFallback())
            continue;
        LOGFONTW font;
        if (key.Get() && RegReadLogFont(font, key.Get(), stored.value)) {
            DisplayPixelsToHiMetric(font.lfHeight);
            KeepReadable(font, stored);
            stored.font->DeleteFont();
            stored.font->Create(font);
        } else if (key.Get()) {
            RegDeleteValueW(key.Get(), stored.value);
        }
        // Unset (or not to be made): the fallback, until a font is stored.
        if (!stored.font->Handle())
            CreateFallback(stored);
    }
}

void SavePrintFonts(const wchar_t* valueName, LOGFONTW& font)
{
    DisplayPixelsToHiMetric(font.lfHeight);
    for (const StoredFont& stored : kFonts) {
        if (wcscmp(valueName, stored.value) == 0 && stored.font->Handle()) {
            KeepReadable(font, stored);
            stored.font->DeleteFont();
            stored.font->Create(font);
        }
    }
}

bool SelectPrintFonts(HDC dc)
{
    for (const StoredFont& stored : kFonts) {
        HGDIOBJ previous = stored.font->Select(dc);
        GetTextMetricsW(dc, &stored.font->metrics);
        if (previous)
            SelectObject(dc, previous);
    }
    return true;
}

void FreePrintFonts()
{
    Font1.DeleteFont();
    Font2.DeleteFont();
}
