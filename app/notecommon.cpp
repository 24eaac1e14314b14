// What the note window and the template editor share: see notecommon.h.
#include "app/notecommon.h"

#include "database/dbstart.h"
#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "resources/strings.h"
#include "ui/control_font.h"

#include <stdio.h>
#include <string.h>

namespace notes {

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

bool CreateButton(DButton& button, HWND parent, void* cookie, UINT caption, UINT icon, DWORD style,
                  const DButtonInput* keys, const DButtonNotify* notify)
{
    const std::wstring text = LoadText(caption);
    HICON image = LoadIconRes(icon);
    DButtonDesc d = {60, parent, style, 0, 0, 100, 40, cookie, text.c_str(), image, IconSize, IconSize,
                     hInstance, keys, notify};
    if (button.Create(&d))
        return true;
    if (image)
        DestroyIcon(image);
    return false;
}

int ButtonHeight(const DButton* buttons, int count)
{
    int b = count > 0 ? buttons[0].GetLineHeight() * 3 / 2 : 0;
    if (b < IconSize + 4)
        b = IconSize + 4;
    return b;
}

void SetMinTrackSize(LPARAM info, int buttonHeight)
{
    MINMAXINFO* mm = reinterpret_cast<MINMAXINFO*>(info);
    mm->ptMinTrackSize.x = 124;
    mm->ptMinTrackSize.y = 7 * buttonHeight;
}

bool ApplyButtonFont(WPARAM notice, DButton* buttons, int count)
{
    const FontChangeNotice* n = reinterpret_cast<const FontChangeNotice*>(notice);
    if (!n || wcscmp(n->name, L"Button") != 0)
        return false;
    for (int i = 0; i < count; ++i)
        buttons[i].SetFont(n->font);
    return true;
}

int TextRoom(DODBParams* block, ULONG index)
{
    const int chars = (int)block->GetMaxChars(index);
    return chars > 0 ? chars - 1 : 0;
}

bool RefuseTooLong(HWND owner, const std::wstring& text, int room, const wchar_t* caption)
{
    if ((int)text.size() <= room)
        return false;
    wchar_t message[512];
    const std::wstring format = LoadText(IDS_DESCRIPTION_TOO_LONG);
    _snwprintf(message, 511, format.c_str(), room, (int)text.size());
    message[511] = 0;
    ShowPrompt(owner, message, caption, MB_OK | MB_ICONEXCLAMATION);
    return true;
}

void SetEditFromRow(HWND edit, DODBParams* row, ULONG column)
{
    int length = 0;
    const wchar_t* text = RowTextPtr(row, column, &length);
    SetWindowTextW(edit, text ? std::wstring(text, length).c_str() : L"");
}

}  // namespace notes
