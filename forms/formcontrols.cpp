// What the card and the filter form share: see formcontrols.h.
#include "forms/formcontrols.h"

#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"

namespace formctl {

WNDPROC ClassProc(const wchar_t* name)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExW(nullptr, name, &wc) ? wc.lpfnWndProc : nullptr;
}

bool LoadClassProcs(WNDPROC* edit, WNDPROC* combo)
{
    if (*edit == nullptr)
        *edit = ClassProc(L"EDIT");
    if (*combo == nullptr)
        *combo = ClassProc(L"COMBOBOX");
    return *edit != nullptr && *combo != nullptr;
}

bool ShiftHeld()
{
    return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

DButtonDesc ButtonDesc(HWND parent, DWORD style, void* cookie, const wchar_t* caption, const DButtonNotify* notify,
                       const DButtonInput* input)
{
    DButtonDesc d = {};
    d.size = sizeof(DButtonDesc);
    d.parent = parent;
    d.style = style;
    d.cookie = cookie;
    d.caption = caption;
    d.instance = hInstance;
    d.input = input;
    d.notify = notify;
    return d;
}

void ReportWindowFailure(HWND owner, const wchar_t* formName)
{
    const DWORD error = GetLastError();
    wchar_t pattern[256] = L"";
    LoadStringW(hInstance, IDS_FORM_WINDOW_ERROR, pattern, 256);
    wchar_t text[512] = L"";
    DStrBuf message(text, 512);
    message.Format(pattern, formName != nullptr ? formName : L"");
    LogError(error, text);
    ShowPrompt(owner, text, nullptr, MB_OK | MB_ICONERROR);
}

}  // namespace formctl
