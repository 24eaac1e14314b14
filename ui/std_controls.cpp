#include "ui/std_controls.h"

#include "foundation/globals.h"

#include <commctrl.h>

#include <vector>

namespace {

HWND CreateChild(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, HWND parent, int id,
                 HINSTANCE instance)
{
    return CreateWindowExW(exStyle, className, title, style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

// WM_GETTEXT into a buffer of `capacity` characters, always terminated.
int GetTerminatedText(HWND hwnd, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return 0;
    int n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer)));
    if (n < 0)
        n = 0;
    if (n > capacity - 1)
        n = capacity - 1;
    buffer[n] = 0;
    return n;
}

void DestroyAndForget(HWND& hwnd)
{
    if (hwnd)
        DestroyWindow(hwnd);
    hwnd = nullptr;
}

}  // namespace

bool DEdit::Create(HWND parentWindow, int id, DWORD newStyle)
{
    parent = parentWindow;
    if (newStyle)
        style = newStyle;
    hwnd = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", nullptr, style, parent, id, hInstance);
    return true;
}

void DEdit::SetFont(HFONT font, BOOL redraw)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

int DEdit::GetText(wchar_t* buffer, int capacity)
{
    return GetTerminatedText(hwnd, buffer, capacity);
}

LRESULT DEdit::SetText(const wchar_t* text)
{
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

bool ButtonCtl::Create(HWND parent, int id, DWORD style)
{
    hwnd = CreateChild(0, L"BUTTON", nullptr, style, parent, id, hInstance);
    return hwnd != nullptr;
}

void ButtonCtl::SetFont(HFONT font, BOOL redraw)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

void ButtonCtl::SetText(const wchar_t* text)
{
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

LRESULT ButtonCtl::GetCheck()
{
    return SendMessageW(hwnd, BM_GETCHECK, 0, 0);
}

void ButtonCtl::SetCheck(int state)
{
    SendMessageW(hwnd, BM_SETCHECK, LOWORD(state), 0);
}

bool StaticCtl::Create(HWND parent, DWORD newStyle)
{
    if (newStyle)
        style = newStyle;
    hwnd = CreateChild(0, L"STATIC", nullptr, style, parent, 1, hInstance);
    return true;
}

void StaticCtl::SetFont(HFONT font, BOOL redraw)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

void StaticCtl::SetText(const wchar_t* text)
{
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

int StaticCtl::GetText(wchar_t* buffer, int capacity)
{
    return GetTerminatedText(hwnd, buffer, capacity);
}

bool DComboBox::Create(HWND parentWindow, HINSTANCE instance, int id, DWORD style)
{
    parent = parentWindow;
    hwnd = CreateChild(0, L"COMBOBOX", nullptr, style, parent, id, instance);
    return true;
}

void DComboBox::Destroy()
{
    DestroyAndForget(hwnd);
}

bool DComboBox::AddItem(const wchar_t* text, LPARAM data)
{
    LRESULT index = SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0)
        return false;
    if (data == 0)
        return true;
    return SendMessageW(hwnd, CB_SETITEMDATA, index, data) >= 0;
}

bool DComboBox::SetCurSel(int index)
{
    return SendMessageW(hwnd, CB_SETCURSEL, index, 0) >= 0;
}

bool DComboBox::GetCurSelText(wchar_t* buffer)
{
    LRESULT index = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return false;
    return SendMessageW(hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)) >= 0;
}

bool DComboBox::GetCurSelData(LPARAM* value)
{
    LRESULT index = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return false;
    LRESULT data = SendMessageW(hwnd, CB_GETITEMDATA, index, 0);
    if (data < 0)
        return false;
    *value = data;
    return true;
}

bool DProgressCtl::Create(HWND parent, int id, DWORD extraStyle)
{
    style |= extraStyle;
    hwnd = CreateChild(WS_EX_CLIENTEDGE, PROGRESS_CLASSW, nullptr, style, parent, id, hInstance);
    return hwnd != nullptr;
}

void DProgressCtl::SetRange(int max, int min)
{
    SendMessageW(hwnd, PBM_SETRANGE, 0, MAKELPARAM(min, max));
    SendMessageW(hwnd, PBM_SETSTEP, 1, 0);
    maximum = max;
}

void DProgressCtl::MoveBy(int delta)
{
    SendMessageW(hwnd, PBM_DELTAPOS, delta, 0);
}

void DProgressCtl::SetPos(int position)
{
    SendMessageW(hwnd, PBM_SETPOS, position, 0);
}

void DProgressCtl::Destroy()
{
    DestroyAndForget(hwnd);
}

bool DGroupBoxCtl::Create(HWND parent, int id, const wchar_t* caption)
{
    hwnd = CreateChild(0, L"BUTTON", caption, WS_CHILD | BS_GROUPBOX, parent, id, hInstance);
    return hwnd != nullptr;
}

void DGroupBoxCtl::SetFont(HFONT font, BOOL redraw)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

void DGroupBoxCtl::Destroy()
{
    DestroyAndForget(hwnd);
}

bool DBorderStaticCtl::Create(HWND parent, int id, DWORD extraStyle)
{
    style |= extraStyle;
    hwnd = CreateChild(WS_EX_CLIENTEDGE, L"STATIC", nullptr, style, parent, id, hInstance);
    return true;
}

void DBorderStaticCtl::SetFont(HFONT font, BOOL redraw)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

void DBorderStaticCtl::SetText(const wchar_t* text)
{
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void DBorderStaticCtl::Destroy()
{
    DestroyAndForget(hwnd);
}

std::wstring ListViewText(HWND list, int row, int column, int capacity)
{
    std::vector<wchar_t> text(static_cast<size_t>(capacity), 0);
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = capacity;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text.data();
}
