#include "app/fontsettings.h"

#include "foundation/globals.h"
#include "foundation/registry.h"
#include "ui/control_font.h"
#include "ui/header.h"
#include "ui/listview.h"
#include "ui/tooltip.h"

namespace {

const wchar_t kFontValue[] = L"Font";

// Reads "Font" of the subkey into `font`; false (font untouched) when the
// subkey is missing or the value is not a valid LOGFONTW.
bool ReadFontOf(HKEY root, const wchar_t* subKey, LOGFONTW& font)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool ok = RegReadLogFont(font, key, kFontValue);
    RegCloseKey(key);
    return ok;
}

}  // namespace

void LoadListViewFont(HKEY root)
{
    LOGFONTW font;
    if (!ReadFontOf(root, L"ListView", font))
        return;
    ControlLogFont = font;
    DListView::SetDefaultFont(font);
}

void LoadHeaderFont(HKEY root)
{
    LOGFONTW font = ControlLogFont;
    ReadFontOf(root, L"Header", font);
    DHeader::SetDefaultFont(font);
}

void LoadStatusFont(HKEY root)
{
    LOGFONTW font;
    if (!ReadFontOf(root, L"StatusFont", font))
        return;
    if (HFONT made = CreateFontIndirectW(&font)) {
        if (StatusFont)
            DeleteObject(StatusFont);
        StatusFont = made;
    }
}

void LoadToolTipFont(HKEY root)
{
    LOGFONTW font;
    if (!ReadFontOf(root, L"ToolTipFont", font))
        return;
    if (HFONT made = CreateFontIndirectW(&font))
        DToolTip::SetFont(made);
}
