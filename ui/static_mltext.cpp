#include "ui/static_mltext.h"

#include "ui/handler_table.h"
#include "ui/window_create.h"

#include <wchar.h>

DStaticMLText::~DStaticMLText()
{
    if (hwnd)
        DestroyWindow(hwnd);
    FreeText();
}

void DStaticMLText::FreeText()
{
    if (text_)
        HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    textLength_ = 0;
}

bool DStaticMLText::Create(const DStaticMLTextDesc* desc)
{
    if (!desc || hwnd)
        return false;
    DWindowDesc wd = {this,    &hwnd,   WndProc,      WS_EX_STATICEDGE, kClassName, nullptr,        WS_CHILD,
                      desc->x, desc->y, desc->width,  desc->height,     desc->parent, nullptr,      desc->instance,
                      nullptr};
    if (!CreateWindowFromDesc(&wd))
        return false;
    SetText(desc->text, desc->length);
    ShowWindow(hwnd, SW_SHOWNA);
    return hwnd != nullptr;
}

bool DStaticMLText::SetText(const wchar_t* text, int length)
{
    if (!hwnd)
        return false;
    if (!text)
        length = 0;
    else if (length < 0)
        length = static_cast<int>(wcslen(text));
    FreeText();
    if (length == 0)
        return true;
    text_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, length * sizeof(wchar_t)));
    if (!text_)
        return false;
    wmemcpy(text_, text, length);
    textLength_ = length;
    InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

void DStaticMLText::ClearText()
{
    FreeText();
    if (hwnd)
        InvalidateRect(hwnd, nullptr, TRUE);
}

bool DStaticMLText::SetTextColor(COLORREF color)
{
    textColor_ = color;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
    return hwnd != nullptr;
}

bool DStaticMLText::SetBkColor(COLORREF color)
{
    bkColor_ = color;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, TRUE);
    return hwnd != nullptr;
}

void DStaticMLText::Detach()
{
    FreeText();
    if (hwnd)
        SetWindowLongW(hwnd, 0, 0);   // the window may outlive this object
    hwnd = nullptr;
}

// The window leaves every message to the default processing: its table is empty.
HandlerTable gStaticTextHandlers;

LRESULT CALLBACK DStaticMLText::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return TableWindowProc<DStaticMLText, gStaticTextHandlers>(hwnd, message, wParam, lParam);
}

bool DStaticMLText::RegisterClass(HINSTANCE instance)
{
    return RegisterObjectClass(kClassName, CS_HREDRAW | CS_VREDRAW, instance, reinterpret_cast<HBRUSH>(5)) != 0;
}

void DStaticMLText::UnregisterClass(HINSTANCE instance)
{
    ::UnregisterClassW(kClassName, instance);
}
