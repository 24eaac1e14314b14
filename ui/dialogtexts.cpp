// Dialog texts and failures: see dialogtexts.h.
#include "ui/dialogtexts.h"

#include "foundation/globals.h"
#include "ui/window_errors.h"

#include <exception>

void ApplyDialogTexts(HWND dialog, const DialogText* texts)
{
    for (const DialogText* t = texts; t->text; ++t) {
        wchar_t text[256];
        if (LoadStringW(hInstance, t->text, text, 256) <= 0)
            continue;
        if (t->control == 0)
            SetWindowTextW(dialog, text);
        else
            SetDlgItemTextW(dialog, t->control, text);
    }
}

WORD RunningLanguage()
{
    return PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale()));
}

void ShowForLanguage(HWND dialog, int control, WORD primaryLanguage)
{
    HWND window = GetDlgItem(dialog, control);
    if (!window)
        return;
    const bool shown = RunningLanguage() == primaryLanguage;
    EnableWindow(window, shown ? TRUE : FALSE);
    ShowWindow(window, shown ? SW_SHOW : SW_HIDE);
}

void EndModal(HWND dialog, INT_PTR result)
{
    EndDialog(dialog, result);
}

void ShowDialogException(HWND dialog) noexcept
{
    try {
        // A child dialog (the panel of a common dialog) shows it over the
        // window it belongs to.
        HWND owner = dialog && IsWindow(dialog) ? GetAncestor(dialog, GA_ROOT) : nullptr;
        ShowWindowException(owner, std::current_exception());
    } catch (...) {
        // Showing failed as well (no memory for the box): nothing more to do.
    }
}
