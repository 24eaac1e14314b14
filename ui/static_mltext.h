// DStaticMLText: a child window that holds a text with its colours and font.
// Its window procedure leaves every message to the default processing.
#pragma once

#include "ui/dwnd.h"

struct DStaticMLTextDesc {
    DWORD unused;
    HWND parent;
    HINSTANCE instance;
    const wchar_t* text;
    int length;         // -1: up to the terminator
    int x;
    int y;
    int width;
    int height;
};
static_assert(sizeof(DStaticMLTextDesc) == 36, "nine 32-bit words");

class DStaticMLText : public DWnd {
public:
    DStaticMLText() = default;
    ~DStaticMLText();

    bool Create(const DStaticMLTextDesc* desc);   // whether a window exists
    bool SetText(const wchar_t* text, int length);
    void ClearText();
    bool SetTextColor(COLORREF color);
    bool SetBkColor(COLORREF color);
    // Clears the text and forgets the window without destroying it.
    void Detach();

    const wchar_t* Text() const { return text_; }
    int TextLength() const { return textLength_; }

    static bool RegisterClass(HINSTANCE instance);
    static void UnregisterClass(HINSTANCE instance);
    static constexpr const wchar_t* kClassName = L"DStaticMLText Class";

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void FreeText();

    HFONT font_ = nullptr;
    wchar_t* text_ = nullptr;   // process-heap copy
    int textLength_ = 0;
    SIZE client_ = {};
    COLORREF bkColor_ = 0;
    COLORREF textColor_ = 0;
};
