// Thin wrappers of the system's own controls (EDIT, BUTTON, STATIC, COMBOBOX,
// progress bar). Their notifications go to the parent window; the wrappers
// only create the controls and make the few calls their owners need. Every
// child is created at (0, 0) with size (0, 0) in the program's module; the
// owner places it afterwards. Each wrapper owns its window (DWnd).
#pragma once

#include "ui/dwnd.h"

#include <string>

class DEdit : public DWnd {
public:
    // Remembers the parent; a non-zero style replaces the default. True whether
    // or not the window was created: the caller tests the handle.
    bool Create(HWND parent, int id, DWORD style);
    void SetFont(HFONT font, BOOL redraw);
    // Reads at most capacity - 1 characters and always terminates; returns the count.
    int GetText(wchar_t* buffer, int capacity);
    LRESULT SetText(const wchar_t* text);

    HWND parent = nullptr;
    DWORD style = WS_CHILD | WS_BORDER | ES_AUTOHSCROLL;
};

class ButtonCtl : public DWnd {
public:
    bool Create(HWND parent, int id, DWORD style);
    void SetFont(HFONT font, BOOL redraw);
    void SetText(const wchar_t* text);
    LRESULT GetCheck();
    void SetCheck(int state);
};

class StaticCtl : public DWnd {
public:
    bool Create(HWND parent, DWORD style);   // control id 1; true
    void SetFont(HFONT font, BOOL redraw);
    void SetText(const wchar_t* text);
    int GetText(wchar_t* buffer, int capacity);

    DWORD style = WS_CHILD | SS_LEFTNOWORDWRAP;
};

class DComboBox : public DWnd {
public:
    ~DComboBox() { Destroy(); }
    bool Create(HWND parent, HINSTANCE instance, int id, DWORD style);   // true
    // DestroyWindow when a window is held, and forget it.
    void Destroy();
    BOOL Move(int x, int y, int width, int height, BOOL repaint) { return DWnd::Move(x, y, width, height, repaint); }
    void Show() { ShowWindow(hwnd, SW_SHOW); }
    // Adds the text; data 0 sets no item data.
    bool AddItem(const wchar_t* text, LPARAM data);
    bool SetCurSel(int index);
    // The current item's text; the buffer must hold CB_GETLBTEXTLEN + 1 characters.
    bool GetCurSelText(wchar_t* buffer);
    // The current item's data; false (value unchanged) when nothing is selected.
    bool GetCurSelData(LPARAM* value);

    HWND parent = nullptr;
};

class DProgressCtl : public DWnd {
public:
    bool Create(HWND parent, int id, DWORD extraStyle);
    void SetRange(int maximum, int minimum);
    void MoveBy(int delta);
    void SetPos(int position);
    void Destroy();

    DWORD style = WS_CHILD | WS_BORDER;
    int maximum = 0;
};

class DGroupBoxCtl : public DWnd {
public:
    bool Create(HWND parent, int id, const wchar_t* caption);
    void SetFont(HFONT font, BOOL redraw);
    void Destroy();
};

class DBorderStaticCtl : public DWnd {
public:
    bool Create(HWND parent, int id, DWORD extraStyle);   // true
    void SetFont(HFONT font, BOOL redraw);
    void SetText(const wchar_t* text);
    void Destroy();

    DWORD style = WS_CHILD | WS_BORDER;
};

// The text of a cell of the system's list view, at most `capacity` - 1
// characters of it.
std::wstring ListViewText(HWND list, int row, int column, int capacity = 512);
