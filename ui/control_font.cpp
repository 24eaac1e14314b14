#include "ui/control_font.h"

#include <vector>
#include <wchar.h>

HFONT ControlFont;
LOGFONTW ControlLogFont;

bool DControl::InitFont()
{
    LOGFONTW lf = {};
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = RUSSIAN_CHARSET;
    lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    lf.lfClipPrecision = 0;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = 0;
    ControlFont = CreateFontIndirectW(&lf);
    return true;
}

void DControl::FreeFont()
{
    if (ControlFont)
        DeleteObject(ControlFont);
    ControlFont = nullptr;
}

namespace {
// Called by the system: nothing may be thrown from here. When the list
// cannot grow, the windows collected so far are told.
BOOL CALLBACK CollectOwnWindows(HWND hwnd, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId())
        return TRUE;
    try {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void BroadcastFontChange(const wchar_t* name, const LOGFONTW& font)
{
    FontChangeNotice notice = {};
    if (name) {
        size_t n = wcsnlen(name, 255);
        wmemcpy(notice.name, name, n);
        notice.name[n] = 0;
    }
    notice.kind = 0;
    notice.one = 1;
    notice.dataSize = sizeof(LOGFONTW);
    notice.font = font;
    // Collect first: windows that come or go while the notice travels do not
    // disturb the enumeration.
    std::vector<HWND> windows;
    EnumWindows(CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(hwnd, WM_FONTCHANGED_APP, reinterpret_cast<WPARAM>(&notice), 0, SMTO_NORMAL, 1000, &result);
    }
}
