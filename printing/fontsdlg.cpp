// The dialog "Fonts": the fonts of the screen elements and the two print fonts.
#include "printing/configdialogs.h"

#include "app/reghelpers.h"
#include "foundation/applocale.h"
#include "foundation/globals.h"
#include "foundation/registry.h"
#include "printing/printfonts.h"
#include "printing/printsettings.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/dialogtexts.h"

#include <commdlg.h>

namespace {

// The entries in their order; the item data is the number.
struct FontEntry {
    int number;
    unsigned text;
    const wchar_t* key;
    const wchar_t* value;
    bool print;   // a print font: SavePrintFonts, not the broadcast
};
const FontEntry kEntries[] = {
    {1, IDS_FONT_LIST, L"ListView", L"Font", false},
    {2, IDS_FONT_LIST_HEADER, L"Header", L"Font", false},
    {3, IDS_FONT_BUTTON, L"Button", L"Font", false},
    {4, IDS_FONT_TOOLTIP, L"ToolTipFont", L"Font", false},
    {5, IDS_FONT_STATUS, L"StatusFont", L"Font", false},
    {6, IDS_FONT_PATIENT_INFO, L"Forms", L"Font", false},
    {7, IDS_FONT_PRINT_HEADERS, L"Printer", L"Font1", true},
    {8, IDS_FONT_PRINT_BASE, L"Printer", L"Font2", true},
};

bool ChooseScreenFont(HWND owner, LOGFONTW& font)
{
    CHOOSEFONTW choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner;
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_TTONLY;
    return ChooseFontW(&choose) != FALSE;
}

FontChooser gChooser = ChooseScreenFont;

const DialogText kTexts[] = {{0, IDS_FONTS}, {IDOK, IDS_FONT_SET}, {IDCANCEL, IDS_CLOSE}, {0, 0}};

bool OnInit(HWND dialog)
{
    ApplyDialogTexts(dialog, kTexts);
    HWND list = GetDlgItem(dialog, IDC_FONT_LIST);
    for (const FontEntry& entry : kEntries) {
        wchar_t text[128];
        LoadStringW(hInstance, entry.text, text, 128);
        const LRESULT item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (item < 0)
            return false;
        SendMessageW(list, LB_SETITEMDATA, item, entry.number);
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    return true;
}

void OnSet(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FONT_LIST);
    const LRESULT item = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (item == LB_ERR)
        return;
    const LRESULT number = SendMessageW(list, LB_GETITEMDATA, item, 0);
    if (number < 1 || number > 8)
        return;
    const FontEntry& entry = kEntries[number - 1];
    PrintKey key;
    if (key.Open(entry.key, KEY_READ | KEY_WRITE, true) != ERROR_SUCCESS)
        return;
    LOGFONTW font;
    if (!RegReadLogFont(font, key.Get(), entry.value))
        InitDefaultLogFont(&font);
    if (!gChooser(dialog, font))
        return;
    if (!RegWriteLogFont(font, key.Get(), entry.value))
        return;
    if (entry.print)
        SavePrintFonts(entry.value, font);
    else
        BroadcastFontChange(entry.key, font);
}

INT_PTR CALLBACK FontsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        if (!OnInit(dialog))
            EndModal(dialog, -1);
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: OnSet(dialog); return TRUE;
    case IDCANCEL: EndModal(dialog, 0); return TRUE;
    }
    return FALSE;
}

}  // namespace

FontChooser SetFontChooser(FontChooser chooser)
{
    FontChooser previous = gChooser;
    gChooser = chooser ? chooser : ChooseScreenFont;
    return previous;
}

INT_PTR RunFontsDlg(HWND owner)
{
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_FONTS), owner, GuardedDialogProc<FontsDialogProc>, 0);
}
