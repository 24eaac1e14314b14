// The texts of the data-exchange dialogs in the running language: a dialog
// resource holds no text of its own; its caption and its controls' texts are
// set from the string table when it opens.
#pragma once

#include <windows.h>

struct DialogText
{
    int control;        // 0: the dialog's caption
    UINT text;          // string-table id
};

// Sets every listed text; controls the dialog does not have are skipped.
void SetDialogTexts(HWND dialog, const DialogText* texts, size_t count);

template <size_t N>
void SetDialogTexts(HWND dialog, const DialogText (&texts)[N])
{
    SetDialogTexts(dialog, texts, N);
}
