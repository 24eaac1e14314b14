// Window creation and class registration: binding a new window to its object.
//
// Every window of the program is owned by an object. The creator fills a
// creation descriptor, parks it in a per-thread slot and calls
// CreateWindowExW; the first message Windows sends to the new window reaches
// the class's first-message procedure, which takes the descriptor out of the
// slot, stores the handle in the object and the object in the window's extra
// bytes (index 0), swaps in the class's real procedure and forwards the
// message to it. So WM_NCCREATE, WM_GETMINMAXINFO and WM_CREATE already reach
// the object, and a WM_CREATE handler may create children (the slot is empty
// again before the message is forwarded).
//
// Slot states per thread: empty -> holding a descriptor (CreateWindowFromDesc
// or DWindow::CreateEx, until the first message) -> empty. The descriptor lives
// in the creator's frame; the slot never owns it.
//
// This file holds the plain set, used by the owner-drawn controls and the
// table-dispatched windows; the DWindow set is in ui/dwindow.h.
#pragma once

#ifndef UNICODE
#error The window framework is Unicode only.
#endif

#include <windows.h>

static_assert(sizeof(void*) == 4, "the workstation is a 32-bit program");

// Creation descriptor of the plain set: 15 pointer-sized words, in this order.
struct DWindowDesc {
    void* object;           // stored in the window's extra bytes at index 0
    HWND* handleField;      // receives the new handle at the first message
    WNDPROC windowProc;     // the class's real procedure, installed at the first message
    DWORD exStyle;
    const wchar_t* className;
    const wchar_t* title;   // or null
    DWORD style;
    int x;
    int y;
    int width;
    int height;
    HWND parent;            // or null
    HMENU menuOrId;         // the menu, or the control id of a child
    HINSTANCE instance;
    void* param;            // lpParam of CreateWindowExW
};
static_assert(sizeof(DWindowDesc) == 15 * sizeof(void*), "the descriptor is 15 words");

// Creates the window the descriptor describes; returns its handle, or null
// (also for a null descriptor, without any call). An exception thrown by a
// handler while the window was being created is rethrown here, after the slot
// is empty again.
HWND CreateWindowFromDesc(const DWindowDesc* desc);

// A window class of the program: what differs from class to class. Every
// class keeps its object in 4 bytes of window extra (index 0).
struct WindowClass {
    const wchar_t* name;
    UINT style = 0;                 // CS_ bits
    HBRUSH background = nullptr;    // a brush or COLOR_x + 1; null: the window erases its own
    HCURSOR cursor = nullptr;       // null: the arrow
    HICON icon = nullptr;           // the class owns its icons: destroyed when registration fails
    HICON smallIcon = nullptr;
    WNDPROC procedure = nullptr;    // a static-table window's own procedure; null: the binding procedure
    HINSTANCE instance = nullptr;   // null: the program's module (hInstance)
    const wchar_t* menu = nullptr;  // the class menu (MAKEINTRESOURCEW of its id), or null
};

// The one registration of a window class: fills a WNDCLASSEXW from `cls`
// with `binding` as the procedure unless the class names its own. Returns the
// class atom; 0 on failure, after destroying the class's icons. Map windows
// register through DWindow::RegisterMapClass (binding: DWindow's
// first-message procedure), table windows through RegisterTableClass.
ATOM RegisterClassWith(const WindowClass& cls, WNDPROC binding);

// Registers the class of table-dispatched windows (binding:
// FirstMessageThunk) and fills its handler table from `entries` (a table
// filled before is emptied first). Returns the class atom, 0 on failure.
struct HandlerTable;
struct HandlerEntry;
ATOM RegisterTableClass(const WindowClass& cls, HandlerTable& table, const HandlerEntry* entries, size_t count);
template <size_t N>
ATOM RegisterTableClass(const WindowClass& cls, HandlerTable& table, const HandlerEntry (&entries)[N])
{
    return RegisterTableClass(cls, table, entries, N);
}

// Undoes a registration made once per process: when `registered` is set,
// unregisters the class `name` of the program's module, destroys the icon
// that `icon` points at (one the registration loaded; null for none) and
// clears both. Nothing when `registered` is clear.
void UnregisterClassOnce(bool& registered, const wchar_t* name, HICON* icon = nullptr);

// Unregisters the class `name` of `instance` (null: hInstance) and destroys
// the icons it was registered with; false when no such class is registered.
bool UnregisterClassAndIcons(const wchar_t* name, HINSTANCE instance = nullptr);

// Registers the class of the caller's complete WNDCLASSEXW, after setting its
// lpfnWndProc to FirstMessageThunk; returns the class atom, 0 on failure.
ATOM RegisterWindowClass(WNDCLASSEXW* wc);

// A table window's class (RegisterClassWith, binding FirstMessageThunk) with
// the style, module and background brush (or null) given. Returns the class
// atom, 0 on failure.
ATOM RegisterObjectClass(const wchar_t* name, UINT style, HINSTANCE instance, HBRUSH background = nullptr);

// The class procedure of every class registered by RegisterWindowClass; it
// runs for the first message of each window only. A window created without a
// descriptor (a plain CreateWindowExW) gets -1 and no binding.
LRESULT CALLBACK FirstMessageThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The thread's creation slot (used by the DWindow set as well).
namespace CreationSlot {
void Put(void* desc);
void* Take();   // returns the descriptor and empties the slot
void* Peek();   // for tests: what the slot holds now
}  // namespace CreationSlot

// The object stored at index 0 of a window bound by this framework (null when none).
template <class T>
T* WindowObject(HWND hwnd)
{
    return reinterpret_cast<T*>(static_cast<LONG_PTR>(GetWindowLongW(hwnd, 0)));
}
