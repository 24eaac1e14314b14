// What the card and the filter form share: see formcontrols.h.
#include "forms/formcontrols.h"

#include "foundation/globals.h"

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

}  // namespace formctl
