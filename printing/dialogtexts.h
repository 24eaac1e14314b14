// The printing dialogs' templates carry no texts of their own: each dialog
// takes its caption and its controls' texts from the string table in the
// running language when it opens.
#pragma once

#include <windows.h>

struct DialogText {
    int control;     // control id; 0 for the dialog's caption
    unsigned text;   // string id
};

// Sets each listed text; the list ends with {0, 0}.
void ApplyDialogTexts(HWND dialog, const DialogText* texts);
// Ends a modal dialog with the result.
void EndModal(HWND dialog, INT_PTR result);
