#include "printing/printfonts.h"

#include "foundation/registry.h"
#include "printing/printsettings.h"

#include <cwchar>

PrintFont Font1;
PrintFont Font2;

namespace {

const wchar_t kPrinterKey[] = L"Printer";

struct StoredFont {
    PrintFont* font;
    const wchar_t* value;
};
const StoredFont kFonts[] = {{&Font1, L"Font1"}, {&Font2, L"Font2"}};

}  // namespace

bool PrintFont::Create(const LOGFONTW& font)
{
    if (font_)
        return false;
    font_ = CreateFontIndirectW(&font);
    return font_ != nullptr;
}

bool PrintFont::DeleteFont()
{
    if (!font_)
        return false;
    DeleteObject(font_);
    font_ = nullptr;
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
    if (Font1.Handle() && Font2.Handle())
        return;
    PrintKey key;
    if (key.Open(kPrinterKey, KEY_READ | KEY_SET_VALUE, false) != ERROR_SUCCESS &&
        key.Open(kPrinterKey, KEY_READ, false) != ERROR_SUCCESS)
        return;
    for (const StoredFont& stored : kFonts) {
        if (stored.font->Handle())
            continue;
        LOGFONTW font;
        if (RegReadLogFont(font, key.Get(), stored.value)) {
            DisplayPixelsToHiMetric(font.lfHeight);
            stored.font->Create(font);
        } else {
            RegDeleteValueW(key.Get(), stored.value);
        }
    }
}

void SavePrintFonts(const wchar_t* valueName, LOGFONTW& font)
{
    DisplayPixelsToHiMetric(font.lfHeight);
    for (const StoredFont& stored : kFonts) {
        if (wcscmp(valueName, stored.value) == 0 && stored.font->Handle()) {
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
