#include "dialog_script.h"

#include "app/inputtext.h"
#include "ui/window_create.h"

#include "common/window_harness.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace dlgtest {
namespace {

DialogScript* gScript = nullptr;

void CALLBACK TickProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (gScript)
        gScript->Tick();
}

void CALLBACK ExpireProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (gScript)
        gScript->Expire();
}

bool IsClass(HWND window, const wchar_t* name)
{
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

bool IsModalCandidate(HWND window)
{
    return IsWindowVisible(window) && IsWindowEnabled(window) &&
           (IsClass(window, L"#32770") || IsClass(window, InpTextWnd::kClassName));
}

BOOL CALLBACK FindActive(HWND window, LPARAM out)
{
    if (IsModalCandidate(window)) {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CancelOne(HWND window, LPARAM)
{
    if (IsClass(window, L"#32770") && IsWindowVisible(window))
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else if (IsClass(window, InpTextWnd::kClassName))
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    return TRUE;
}

}  // namespace

DialogScript::DialogScript(DWORD timeoutMs)
{
    gScript = this;
    timer_ = SetTimer(nullptr, 0, 20, TickProc);
    watchdog_ = SetTimer(nullptr, 0, timeoutMs, ExpireProc);
}

DialogScript::~DialogScript()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    if (watchdog_ && !expired_)
        KillTimer(nullptr, watchdog_);
    gScript = nullptr;
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog step(s) never ran";
}

DialogScript& DialogScript::Then(int markerId, Step step)
{
    steps_.push_back(Entry{markerId, std::move(step)});
    return *this;
}

DialogScript& DialogScript::ThenInput(Step step)
{
    steps_.push_back(Entry{-1, std::move(step)});
    return *this;
}

void DialogScript::Tick()
{
    if (steps_.empty() || expired_)
        return;
    HWND window = ActiveModalWindow();
    if (!window)
        return;
    const Entry& next = steps_.front();
    const bool isInput = IsClass(window, InpTextWnd::kClassName);
    if (next.markerId == -1 ? !isInput : (isInput || (next.markerId != 0 && !GetDlgItem(window, next.markerId))))
        return;
    // Off the queue first: the step may open a nested dialog, whose loop
    // runs the next steps from this same timer.
    Step step = std::move(steps_.front().step);
    steps_.pop_front();
    step(window);
}

void DialogScript::Expire()
{
    expired_ = true;
    ADD_FAILURE() << "the dialogs were still open after the time-out; " << steps_.size() << " step(s) left";
    steps_.clear();
    EnumThreadWindows(GetCurrentThreadId(), CancelOne, 0);
}

HWND ActiveModalWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindActive, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Click(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetText(HWND dialog, int id, const std::wstring& text)
{
    SetDlgItemTextW(dialog, id, text.c_str());
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    const int n = GetDlgItemTextW(dialog, id, text, 1024);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring Title(HWND window)
{
    wchar_t text[256] = {};
    const int n = GetWindowTextW(window, text, 256);
    return std::wstring(text, n > 0 ? n : 0);
}

bool SelectComboData(HWND dialog, int id, DWORD data)
{
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (static_cast<DWORD>(SendMessageW(combo, CB_GETITEMDATA, i, 0)) == data) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return true;
        }
    return false;
}

LRESULT SelectedComboData(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return selected < 0 ? -1 : SendMessageW(combo, CB_GETITEMDATA, selected, 0);
}

void SelectListLine(HWND dialog, int id, int line)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, LB_SETCURSEL, line, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::wstring ListLine(HWND dialog, int id, int line)
{
    HWND list = GetDlgItem(dialog, id);
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, line, 0);
    if (length < 0)
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

int ListCount(HWND dialog, int id)
{
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), LB_GETCOUNT, 0, 0));
}

int FocusedId(HWND dialog)
{
    HWND focus = GetFocus();
    return focus && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
}

void TypeAndEnter(HWND input, const std::wstring& text)
{
    HWND edit = WindowObject<InpTextWnd>(input)->GetEdit();
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 1);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
}

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

void SaveWindowPicture(HWND window, const wchar_t* name)
{
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH))
        return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    harness::Pump(100);
    harness::PixelGrab grab(window, true);
    if (!grab.Ok())
        return;
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
    const std::wstring path = std::wstring(dir) + L"\\" + name + L".bmp";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, &header, sizeof header, &written, nullptr);
    WriteFile(file, &info, sizeof info, &written, nullptr);
    WriteFile(file, pixels.data(), imageBytes, &written, nullptr);
    CloseHandle(file);
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

// The text's width in the control's font, with room for a check box's box.
bool TextFits(HWND window)
{
    const bool isButton = IsClass(window, L"Button"), isStatic = IsClass(window, L"Static");
    if (!isButton && !isStatic)
        return true;
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (isStatic && (style & SS_TYPEMASK) == SS_ICON)
        return true;
    wchar_t text[256] = {};
    const int n = GetWindowTextW(window, text, 256);
    if (n <= 0)
        return true;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, n, &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    RECT client;
    GetClientRect(window, &client);
    int room = client.right;
    const LONG kind = style & 0xF;
    if (isButton && (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON))
        room -= 18;
    else if (isButton && kind != BS_GROUPBOX)
        room -= 6;   // the push button's edges
    else if (isButton)
        room -= 12;  // the group box's frame around its caption
    return size.cx <= room;
}

}  // namespace

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

}  // namespace dlgtest
