// Answers the program's text input window (app/inputtext.h) as a user types:
// for the tests of the folders that link the shell.
#pragma once

#include "app/inputtext.h"
#include "ui/window_create.h"

namespace harness {

// Types the text into the text input window and accepts it with Enter; false
// when the window is not one.
inline bool AnswerInputText(HWND input, const wchar_t* text)
{
    InpTextWnd* window = WindowObject<InpTextWnd>(input);
    if (!window)
        return false;
    HWND edit = window->GetEdit();
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (const wchar_t* c = text; *c; ++c)
        SendMessageW(edit, WM_CHAR, *c, 1);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    return true;
}

}  // namespace harness
