// How a dialog looks: see dialog_look.h.
#include "common/dialog_look.h"

#include "common/window_harness.h"

#include <cwchar>

namespace harness {

ThreadLanguage::ThreadLanguage(LANGID lang) : ui_(GetThreadUILanguage()), locale_(GetThreadLocale())
{
    SetThreadUILanguage(lang);
    SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
}

ThreadLanguage::~ThreadLanguage()
{
    SetThreadLocale(locale_);
    SetThreadUILanguage(ui_);
}

std::wstring PictureFolder()
{
    wchar_t dir[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH))
        return dir;
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path = module;
    return path.substr(0, path.find_last_of(L"\\/")) + L"\\..";
}

bool SaveBmp(const PixelGrab& grab, const std::wstring& path)
{
    const int width = grab.Width(), height = grab.Height();
    std::vector<DWORD> pixels;
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = grab.At(x, y);
            pixels.push_back((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD imageBytes = static_cast<DWORD>(pixels.size() * sizeof(DWORD));
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + imageBytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) && written == sizeof header;
    ok = ok && WriteFile(file, &info, sizeof info, &written, nullptr) && written == sizeof info;
    ok = ok && WriteFile(file, pixels.data(), imageBytes, &written, nullptr) && written == imageBytes;
    CloseHandle(file);
    return ok;
}

bool SaveWindowBmp(HWND window, const std::wstring& path)
{
    PixelGrab grab(window, true);
    return grab.Ok() && SaveBmp(grab, path);
}

void SaveWindowPicture(HWND window, const wchar_t* name)
{
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH))
        return;
    Repainted(window);
    SaveWindowBmp(window, std::wstring(dir) + L"\\" + name + L".bmp");
}

bool TextInLanguage(const std::wstring& text, bool russian)
{
    bool cyrillic = false, latinLower = false;
    for (wchar_t c : text) {
        cyrillic |= c >= 0x0400 && c <= 0x04FF;
        latinLower |= c >= L'a' && c <= L'z';
    }
    return russian ? cyrillic || !latinLower : !cyrillic;
}

namespace {

bool IsClass(HWND window, const wchar_t* name)
{
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

struct ControlInfo {
    HWND window;
    RECT rect;   // in the dialog's client coordinates
    bool group;
};

BOOL CALLBACK CollectControl(HWND window, LPARAM out)
{
    auto* controls = reinterpret_cast<std::vector<ControlInfo>*>(out);
    if (!IsWindowVisible(window))
        return TRUE;
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const bool group = IsClass(window, L"Button") && (GetWindowLongW(window, GWL_STYLE) & 0xF) == BS_GROUPBOX;
    controls->push_back(ControlInfo{window, r, group});
    return TRUE;
}

std::wstring Describe(HWND window)
{
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return L"control " + std::to_wstring(GetDlgCtrlID(window)) + L" \"" + text + L"\"";
}

}  // namespace

// The text in the control's font within its width: on one line, or for a
// label that wraps and a multi-line button on as many lines as its height
// holds; with room for a check box's box and a button's edges.
bool TextFits(HWND window)
{
    const bool isButton = IsClass(window, L"Button"), isStatic = IsClass(window, L"Static");
    if (!isButton && !isStatic)
        return true;
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG staticKind = style & SS_TYPEMASK;
    if (isStatic && staticKind != SS_LEFT && staticKind != SS_CENTER && staticKind != SS_RIGHT &&
        staticKind != SS_LEFTNOWORDWRAP && staticKind != SS_SIMPLE)
        return true;   // icons, frames and pictures
    wchar_t text[256] = {};
    const int n = GetWindowTextW(window, text, 256);
    if (n <= 0)
        return true;
    RECT client;
    GetClientRect(window, &client);
    int room = client.right;
    const LONG kind = style & 0xF;
    const bool box =
        kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON;
    if (isButton && box)
        room -= 18;
    else if (isButton && kind != BS_GROUPBOX)
        room -= 6;   // the push button's edges
    else if (isButton)
        room -= 12;  // the group box's frame around its caption
    const bool wraps = isButton ? (style & BS_MULTILINE) != 0
                                : staticKind == SS_LEFT || staticKind == SS_CENTER || staticKind == SS_RIGHT;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT need = {0, 0, room, 0}, line = {0, 0, room, 0};
    DrawTextW(dc, text, n, &need, DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    DrawTextW(dc, L"A", 1, &line, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    // A wrapping text may take more lines than one only where the control is
    // that high.
    const LONG height = client.bottom > line.bottom ? client.bottom : line.bottom;
    return need.right <= room && (!wraps || need.bottom <= height);
}

namespace {

BOOL CALLBACK CollectText(HWND child, LPARAM out)
{
    // What the user typed or the program filled in is data, not the dialog's text.
    if (IsClass(child, L"Edit") || IsClass(child, L"ListBox") || IsClass(child, L"ComboBox") ||
        IsClass(child, L"SysListView32"))
        return TRUE;
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    reinterpret_cast<std::vector<std::wstring>*>(out)->push_back(text);
    return TRUE;
}

}  // namespace

std::vector<std::wstring> DialogTexts(HWND dialog)
{
    std::vector<std::wstring> texts;
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    texts.push_back(caption);
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::wstring TextNotInLanguage(HWND dialog, bool russian)
{
    for (const std::wstring& text : DialogTexts(dialog))
        if (!TextInLanguage(text, russian))
            return text.empty() ? L"?" : text;
    return std::wstring();
}

std::wstring LayoutFault(HWND dialog)
{
    std::vector<ControlInfo> controls;
    EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&controls));
    RECT client;
    GetClientRect(dialog, &client);
    for (const ControlInfo& c : controls) {
        if (GetParent(c.window) != dialog)
            continue;   // parts of a control (a combo box's edit)
        if (c.rect.left < 0 || c.rect.top < 0 || c.rect.right > client.right || c.rect.bottom > client.bottom)
            return Describe(c.window) + L" reaches outside the dialog";
        if (!TextFits(c.window))
            return Describe(c.window) + L": its text is clipped";
    }
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const ControlInfo &a = controls[i], &b = controls[j];
            if (a.group || b.group || GetParent(a.window) != dialog || GetParent(b.window) != dialog)
                continue;
            RECT overlap;
            if (IntersectRect(&overlap, &a.rect, &b.rect))
                return Describe(a.window) + L" overlaps " + Describe(b.window);
        }
    return std::wstring();
}

}  // namespace harness
