#include "ui/window_create.h"

#include "foundation/globals.h"
#include "ui/handler_table.h"
#include "ui/window_errors.h"

namespace {
thread_local void* tSlot;   // the descriptor of the window being created on this thread
}

void CreationSlot::Put(void* desc)
{
    tSlot = desc;
}

void* CreationSlot::Take()
{
    void* desc = tSlot;
    tSlot = nullptr;
    return desc;
}

void* CreationSlot::Peek()
{
    return tSlot;
}

HWND CreateWindowFromDesc(const DWindowDesc* desc)
{
    if (!desc)
        return nullptr;
    // An exception kept before this creation is not ours to rethrow: set it
    // aside so that only what this window's handlers throw is seen below.
    std::exception_ptr earlier = TakeWindowException();
    CreationSlot::Put(const_cast<DWindowDesc*>(desc));
    HWND hwnd = CreateWindowExW(desc->exStyle, desc->className, desc->title, desc->style, desc->x, desc->y,
                                desc->width, desc->height, desc->parent, desc->menuOrId, desc->instance,
                                desc->param);
    CreationSlot::Take();
    std::exception_ptr thrown = TakeWindowException();
    RestoreWindowException(earlier);
    if (thrown) {
        if (hwnd && IsWindow(hwnd))
            DestroyWindow(hwnd);   // Wine may keep a window whose WM_CREATE failed
        std::rethrow_exception(thrown);
    }
    return hwnd;
}

ATOM RegisterWindowClass(WNDCLASSEXW* wc)
{
    wc->lpfnWndProc = FirstMessageThunk;
    return ::RegisterClassExW(wc);
}

ATOM RegisterClassWith(const WindowClass& cls, WNDPROC binding)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = cls.style;
    wc.lpfnWndProc = cls.procedure ? cls.procedure : binding;
    wc.cbWndExtra = 4;
    wc.hInstance = cls.instance ? cls.instance : hInstance;
    wc.hIcon = cls.icon;
    wc.hIconSm = cls.smallIcon;
    wc.hCursor = cls.cursor ? cls.cursor : LoadCursorW(nullptr, IDC_ARROW);   // a loaded cursor: the bare resource value is no handle
    wc.hbrBackground = cls.background;
    wc.lpszMenuName = cls.menu;
    wc.lpszClassName = cls.name;
    const ATOM atom = ::RegisterClassExW(&wc);
    if (!atom) {
        if (cls.icon)
            DestroyIcon(cls.icon);
        if (cls.smallIcon && cls.smallIcon != cls.icon)
            DestroyIcon(cls.smallIcon);
    }
    return atom;
}

ATOM RegisterTableClass(const WindowClass& cls, HandlerTable& table, const HandlerEntry* entries, size_t count)
{
    const ATOM atom = RegisterClassWith(cls, FirstMessageThunk);
    if (atom) {
        table = HandlerTable{};
        table.Fill(entries, count);
    }
    return atom;
}

bool UnregisterClassAndIcons(const wchar_t* name, HINSTANCE instance)
{
    if (!instance)
        instance = hInstance;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, name, &wc))
        return false;
    ::UnregisterClassW(name, instance);
    if (wc.hIcon)
        DestroyIcon(wc.hIcon);
    if (wc.hIconSm && wc.hIconSm != wc.hIcon)
        DestroyIcon(wc.hIconSm);
    return true;
}

void UnregisterClassOnce(bool& registered, const wchar_t* name, HICON* icon)
{
    if (!registered)
        return;
    ::UnregisterClassW(name, hInstance);
    if (icon && *icon) {
        DestroyIcon(*icon);
        *icon = nullptr;
    }
    registered = false;
}

ATOM RegisterObjectClass(const wchar_t* name, UINT style, HINSTANCE instance, HBRUSH background)
{
    return RegisterClassWith(WindowClass{name, style, background, nullptr, nullptr, nullptr, nullptr, instance},
                             FirstMessageThunk);
}

LRESULT CALLBACK FirstMessageThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DWindowDesc* desc = static_cast<const DWindowDesc*>(CreationSlot::Take());
    if (!desc)
        return -1;
    if (desc->handleField)
        *desc->handleField = hwnd;
    SetWindowLongW(hwnd, 0, reinterpret_cast<LONG_PTR>(desc->object));
    SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(desc->windowProc));
    return CallWindowProcW(desc->windowProc, hwnd, message, wParam, lParam);
}
