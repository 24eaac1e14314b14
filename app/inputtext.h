// InputText: one line of text asked for in a small modal window, an edit
// field with an accept button at its right. Enter or the button accepts,
// Escape cancels. The result is the length of the text copied into the
// caller's buffer, or -1.
//
// The window's class "InpTextWnd" is registered by the initialization table
// (row "Register InpTextWnd").
//
// Created -> modal loop (owner disabled) -> accepted (result = length) or
// cancelled (-1) -> destroyed (owner enabled and activated). A WM_QUIT that
// arrives meanwhile cancels the input and is posted again for the caller's loop.
#pragma once

#include "foundation/messages.h"
#include "ui/button.h"
#include "ui/dwnd.h"

#include <windows.h>

// Alignment bits of InputTextAt's point.
namespace InputAlign {
constexpr int kLeft = 0, kRight = 1, kCentreX = 2, kHorizontalMask = 3;
constexpr int kTop = 0, kBottom = 4, kCentreY = 8, kVerticalMask = 12;
}  // namespace InputAlign

// Centred on the usable screen. The field starts with the buffer's text when
// `prefill` is nonzero, else empty. At most capacity - 1 characters can be
// typed, so the whole text always fits the buffer with its terminator.
int InputText(HWND owner, wchar_t* buffer, int capacity, IdOrText title, BOOL prefill);
// The same at a point of the screen with the alignment bits.
int InputTextAt(HWND owner, wchar_t* buffer, int capacity, IdOrText title, BOOL prefill, int x, int y,
                int alignment);

class InpTextWnd : public DWnd {
public:
    static constexpr const wchar_t* kClassName = L"InpTextWnd";
    static constexpr int kWidth = 400;

    InpTextWnd() = default;
    ~InpTextWnd();

    // Fails when the window exists or there is no result address. The
    // initial text: a text goes into the field, a string id into the title.
    BOOL Create(HWND owner, wchar_t* buffer, int capacity, int* result, IdOrText initial, IdOrText title, int x,
                int y, int alignment);

    static bool RegisterClass();
    static void UnregisterClass();

    HWND GetEdit() const { return edit_; }
    DButton* GetButton() { return &button_; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    static void OnButtonClicked(void* cookie, DButton* button);
    static void OnButtonHover(void* cookie, DButton* button);
    static void OnButtonKey(void* cookie, DButton* button, WPARAM key, LPARAM data);

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnSetFocus(WPARAM previous);
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);
    // Enter and Escape, from the field or the button.
    bool OnKey(WPARAM key);
    void Accept();

    HWND edit_ = nullptr;
    DButton button_;
    wchar_t* buffer_ = nullptr;   // the caller's
    int capacity_ = 0;            // in characters, terminator included
    int* result_ = nullptr;       // the caller's
    int editHeight_ = 0;
    int windowHeight_ = 0;        // set by WM_CREATE
};
