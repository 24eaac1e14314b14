// The one way a dialog of the program gets its texts and keeps its failures.
//
// A dialog template holds the layout and the control ids only. Its caption
// and its controls' texts come from the string table in the running
// language, set at WM_INITDIALOG with ApplyDialogTexts, so one template
// serves English and Russian. A control that only one language's layout has
// stands in the template and is shown for that language alone
// (ShowForLanguage).
//
// No exception crosses a dialog procedure: the system's frames between
// DialogBoxParamW and the procedure cannot carry one, and the dialog's own
// message loop is the system's, which would not show a kept one. The program
// runs its procedures through GuardedDialogProc, which shows what a
// procedure throws over the dialog (through the program's exception shower,
// ui/window_errors.h) and goes on with the dialog open.
#pragma once

#include <windows.h>

struct DialogText {
    int control;     // control id; 0 for the dialog's caption
    unsigned text;   // string id
};

// Sets each listed text; the list ends with {0, 0}. A text the string table
// lacks leaves its control as it is.
void ApplyDialogTexts(HWND dialog, const DialogText* texts);

// The primary language (LANG_ENGLISH, LANG_RUSSIAN, ...) the program's texts
// come in on this thread: the thread locale's, which the resource loader
// follows (start-up gives the thread's UI language the same one).
WORD RunningLanguage();

// Shows and enables the control when the program runs in the language,
// hides and disables it otherwise.
void ShowForLanguage(HWND dialog, int control, WORD primaryLanguage);

// Ends a modal dialog with the result.
void EndModal(HWND dialog, INT_PTR result);

// Shows the exception being handled over the dialog; call only inside a
// catch block. Never throws.
void ShowDialogException(HWND dialog) noexcept;

// The dialog procedure to hand to DialogBoxParamW or CreateDialogParamW in
// place of `Procedure`: it runs `Procedure`, and when that throws it shows
// the exception over the dialog and answers FALSE (the message counts as not
// handled; the dialog stays open).
template <DLGPROC Procedure>
INT_PTR CALLBACK GuardedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return Procedure(dialog, message, wParam, lParam);
    } catch (...) {
        ShowDialogException(dialog);
        return FALSE;
    }
}
